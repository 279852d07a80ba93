#pragma once

#include "channel.h"
#include "managermessage.h"

#include <QList>

#include <optional>

namespace pbxsim {

// The header styles of the manager's call events. Old is what Asterisk 1.4
// managers send ("State: Ringing", "CallerID", Link and Unlink events); New is
// what 1.6 to 11 managers send ("ChannelState: 5", "ChannelStateDesc",
// "ConnectedLineNum", Bridge events with "Bridgestate: Link" or "Unlink");
// Modern is what 13 to 22 send: a full channel snapshot in every channel event,
// DialBegin/DialEnd with a "Dest" snapshot, and bridges as objects of their own.
enum class HeaderStyle
{
    Old,
    New,
    Modern,
};

// The Cause of a Hangup event. The older styles always report a normal clearing.
enum class HangupCause
{
    Unknown = 0, // a ringing leg whose caller went away
    NormalClearing = 16,
    NoAnswer = 19, // a ringing leg that ended by itself
};

// Composes the call events of one header style from channel records, with the
// headers in the order the real managers write them.
class EventWriter
{
public:
    explicit EventWriter(HeaderStyle style) : m_style(style) {}

    HeaderStyle style() const { return m_style; }
    // The modern managers close a dial as soon as it is answered, ask for a
    // hang-up before doing it and report what the dialplan does in detail.
    bool snapshots() const { return m_style == HeaderStyle::Modern; }

    ManagerMessage newChannel(const Channel& channel) const;
    ManagerMessage newState(const Channel& channel) const;
    // The answer to the Status action: one event per live channel, then the end.
    ManagerMessage status(const Channel& channel) const;
    ManagerMessage statusComplete(qsizetype items) const;
    ManagerMessage newExten(const Channel& channel, const QByteArray& application, const QByteArray& data) const;
    ManagerMessage dialBegin(const Channel& source, const Channel& destination, const QByteArray& dialString) const;
    // Only the newer managers close a dial with an event of its own; the modern
    // ones describe both channels in it, so they send nothing without the second.
    std::optional<ManagerMessage> dialEnd(const Channel& source, const QByteArray& dialStatus,
                                          const Channel* destination = nullptr) const;
    // The events of two channels put together, and of one leaving the other.
    QList<ManagerMessage> bridged(const Channel& first, const Channel& second) const;
    QList<ManagerMessage> unbridged(const Channel& leaving, const Channel& peer) const;
    ManagerMessage hangup(const Channel& channel, HangupCause cause = HangupCause::NormalClearing) const;
    ManagerMessage originateResponse(const Channel& channel) const;
    // Sent by the newer managers right after a login when events are on.
    std::optional<ManagerMessage> fullyBooted() const;

    // Events that only the modern managers send, in their shapes.
    ManagerMessage varSet(const Channel& channel, const QByteArray& variable, const QByteArray& value) const;
    ManagerMessage dialState(const Channel& source, const Channel& destination) const;
    ManagerMessage hangupRequest(const Channel& channel) const;
    ManagerMessage rtcp(const Channel& channel, bool sent) const;
    ManagerMessage blindTransfer(const Channel& transferer, const Channel& transferee, const QByteArray& context,
                                 const QByteArray& exten) const;

private:
    ManagerMessage start(const QByteArray& event, const QByteArray& privilege = "call,all") const;
    ManagerMessage snapshotEvent(const QByteArray& event, const Channel& channel,
                                 const QByteArray& privilege = "call,all") const;
    ManagerMessage dialEvent(const QByteArray& event, const Channel& source, const Channel& destination) const;
    ManagerMessage bridgeEvent(const QByteArray& event, const QByteArray& bridgeId, int channelCount,
                               const Channel* channel = nullptr) const;
    ManagerMessage bridge(const Channel& first, const Channel& second, bool linked) const;

    HeaderStyle m_style;
};

} // namespace pbxsim
