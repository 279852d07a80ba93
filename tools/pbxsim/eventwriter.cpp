#include "eventwriter.h"

namespace pbxsim {

namespace {

// Both generations print an absent caller number or name this way.
QByteArray orUnknown(const QByteArray& text)
{
    return text.isEmpty() ? QByteArrayLiteral("<unknown>") : text;
}

QByteArray stateNumber(ChannelState state)
{
    return QByteArray::number(static_cast<int>(state));
}

QByteArray stateDescription(ChannelState state)
{
    switch (state) {
    case ChannelState::Down:
        return QByteArrayLiteral("Down");
    case ChannelState::Ring:
        return QByteArrayLiteral("Ring");
    case ChannelState::Ringing:
        return QByteArrayLiteral("Ringing");
    case ChannelState::Up:
        return QByteArrayLiteral("Up");
    }
    return QByteArrayLiteral("Unknown");
}

} // namespace

ManagerMessage EventWriter::start(const QByteArray& event, const QByteArray& privilege) const
{
    ManagerMessage message;
    message.add("Event", event);
    message.add("Privilege", privilege);
    return message;
}

ManagerMessage EventWriter::newChannel(const Channel& channel) const
{
    ManagerMessage event = start("Newchannel");
    event.add("Channel", channel.name);
    if (m_style == HeaderStyle::Old) {
        event.add("State", stateDescription(channel.state));
        event.add("CallerIDNum", orUnknown(channel.callerNum));
        event.add("CallerIDName", orUnknown(channel.callerName));
        event.add("Uniqueid", channel.uniqueId);
        return event;
    }
    event.add("ChannelState", stateNumber(channel.state));
    event.add("ChannelStateDesc", stateDescription(channel.state));
    event.add("CallerIDNum", channel.callerNum);
    event.add("CallerIDName", channel.callerName);
    event.add("AccountCode", {});
    event.add("Exten", channel.exten);
    event.add("Context", channel.context);
    event.add("Uniqueid", channel.uniqueId);
    return event;
}

ManagerMessage EventWriter::newState(const Channel& channel) const
{
    ManagerMessage event = start("Newstate");
    event.add("Channel", channel.name);
    if (m_style == HeaderStyle::Old) {
        // The older managers copy the calling party's identity onto a dialled
        // channel, so there CallerID is the other party.
        const bool dialled = !channel.dialledBy.isEmpty();
        event.add("State", stateDescription(channel.state));
        event.add("CallerID", orUnknown(dialled ? channel.connectedNum : channel.callerNum));
        event.add("CallerIDName", orUnknown(dialled ? channel.connectedName : channel.callerName));
        event.add("Uniqueid", channel.uniqueId);
        return event;
    }
    event.add("ChannelState", stateNumber(channel.state));
    event.add("ChannelStateDesc", stateDescription(channel.state));
    event.add("CallerIDNum", orUnknown(channel.callerNum));
    event.add("CallerIDName", orUnknown(channel.callerName));
    event.add("ConnectedLineNum", orUnknown(channel.connectedNum));
    event.add("ConnectedLineName", orUnknown(channel.connectedName));
    event.add("Uniqueid", channel.uniqueId);
    return event;
}

ManagerMessage EventWriter::newExten(const Channel& channel, const QByteArray& application,
                                     const QByteArray& data) const
{
    ManagerMessage event = start("Newexten", "dialplan,all");
    event.add("Channel", channel.name);
    event.add("Context", channel.context);
    event.add("Extension", channel.exten);
    event.add("Priority", "1");
    event.add("Application", application);
    event.add("AppData", data);
    event.add("Uniqueid", channel.uniqueId);
    return event;
}

ManagerMessage EventWriter::dialBegin(const Channel& source, const Channel& destination,
                                      const QByteArray& dialString) const
{
    ManagerMessage event = start("Dial");
    if (m_style == HeaderStyle::Old) {
        event.add("Source", source.name);
        event.add("Destination", destination.name);
        event.add("CallerID", orUnknown(source.callerNum));
        event.add("CallerIDName", orUnknown(source.callerName));
        event.add("SrcUniqueID", source.uniqueId);
        event.add("DestUniqueID", destination.uniqueId);
        return event;
    }
    event.add("SubEvent", "Begin");
    event.add("Channel", source.name);
    event.add("Destination", destination.name);
    event.add("CallerIDNum", orUnknown(source.callerNum));
    event.add("CallerIDName", orUnknown(source.callerName));
    event.add("ConnectedLineNum", orUnknown(source.connectedNum));
    event.add("ConnectedLineName", orUnknown(source.connectedName));
    event.add("UniqueID", source.uniqueId);
    event.add("DestUniqueID", destination.uniqueId);
    event.add("Dialstring", dialString);
    return event;
}

std::optional<ManagerMessage> EventWriter::dialEnd(const Channel& source, const QByteArray& dialStatus) const
{
    if (m_style == HeaderStyle::Old)
        return std::nullopt;
    ManagerMessage event = start("Dial");
    event.add("SubEvent", "End");
    event.add("Channel", source.name);
    event.add("UniqueID", source.uniqueId);
    event.add("DialStatus", dialStatus);
    return event;
}

ManagerMessage EventWriter::bridge(const Channel& first, const Channel& second, bool linked) const
{
    ManagerMessage event;
    if (m_style == HeaderStyle::Old) {
        event = start(linked ? "Link" : "Unlink");
    } else {
        event = start("Bridge");
        event.add("Bridgestate", linked ? "Link" : "Unlink");
        event.add("Bridgetype", "core");
    }
    event.add("Channel1", first.name);
    event.add("Channel2", second.name);
    event.add("Uniqueid1", first.uniqueId);
    event.add("Uniqueid2", second.uniqueId);
    event.add("CallerID1", orUnknown(first.callerNum));
    event.add("CallerID2", orUnknown(second.callerNum));
    return event;
}

ManagerMessage EventWriter::hangup(const Channel& channel) const
{
    ManagerMessage event = start("Hangup");
    event.add("Channel", channel.name);
    event.add("Uniqueid", channel.uniqueId);
    if (m_style == HeaderStyle::New) {
        event.add("CallerIDNum", orUnknown(channel.callerNum));
        event.add("CallerIDName", orUnknown(channel.callerName));
        event.add("ConnectedLineNum", orUnknown(channel.connectedNum));
        event.add("ConnectedLineName", orUnknown(channel.connectedName));
    }
    event.add("Cause", "16");
    event.add("Cause-txt", "Normal Clearing");
    return event;
}

ManagerMessage EventWriter::originateResponse(const Channel& channel) const
{
    ManagerMessage event = start("OriginateResponse");
    event.add("Response", "Success");
    event.add("Channel", channel.name);
    event.add("Context", channel.context);
    event.add("Exten", channel.exten);
    event.add("Reason", "4");
    event.add("Uniqueid", channel.uniqueId);
    if (m_style == HeaderStyle::Old)
        event.add("CallerID", orUnknown(channel.callerNum));
    event.add("CallerIDNum", orUnknown(channel.callerNum));
    event.add("CallerIDName", orUnknown(channel.callerName));
    return event;
}

std::optional<ManagerMessage> EventWriter::fullyBooted() const
{
    if (m_style == HeaderStyle::Old)
        return std::nullopt;
    ManagerMessage event = start("FullyBooted", "system,all");
    event.add("Status", "Fully Booted");
    return event;
}

} // namespace pbxsim
