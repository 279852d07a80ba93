#pragma once

#include "channel.h"
#include "managermessage.h"

#include <optional>

namespace pbxsim {

// The two header styles of the manager's call events. Old is what Asterisk 1.4
// managers send ("State: Ringing", "CallerID", Link and Unlink events); New is
// what 1.6 to 11 managers send ("ChannelState: 5", "ChannelStateDesc",
// "ConnectedLineNum", Bridge events with "Bridgestate: Link" or "Unlink").
enum class HeaderStyle
{
    Old,
    New,
};

// Composes the call events of one header style from channel records, with the
// headers in the order the real managers write them.
class EventWriter
{
public:
    explicit EventWriter(HeaderStyle style) : m_style(style) {}

    HeaderStyle style() const { return m_style; }

    ManagerMessage newChannel(const Channel& channel) const;
    ManagerMessage newState(const Channel& channel) const;
    ManagerMessage newExten(const Channel& channel, const QByteArray& application, const QByteArray& data) const;
    ManagerMessage dialBegin(const Channel& source, const Channel& destination, const QByteArray& dialString) const;
    // Only the newer managers close a dial with an event of its own.
    std::optional<ManagerMessage> dialEnd(const Channel& source, const QByteArray& dialStatus) const;
    ManagerMessage bridge(const Channel& first, const Channel& second, bool linked) const;
    ManagerMessage hangup(const Channel& channel) const;
    ManagerMessage originateResponse(const Channel& channel) const;
    // Sent by the newer managers right after a login when events are on.
    std::optional<ManagerMessage> fullyBooted() const;

private:
    ManagerMessage start(const QByteArray& event, const QByteArray& privilege = "call,all") const;

    HeaderStyle m_style;
};

} // namespace pbxsim
