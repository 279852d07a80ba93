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

QByteArray causeText(HangupCause cause)
{
    switch (cause) {
    case HangupCause::Unknown:
        return QByteArrayLiteral("Unknown");
    case HangupCause::NormalClearing:
        return QByteArrayLiteral("Normal Clearing");
    case HangupCause::NoAnswer:
        return QByteArrayLiteral("User alerting, no answer");
    }
    return QByteArrayLiteral("Unknown");
}

// The channel as the modern managers describe it, under a prefix ("Dest") for
// the second channel of an event.
void addSnapshot(ManagerMessage& event, const Channel& channel, const QByteArray& prefix = {})
{
    event.add(prefix + "Channel", channel.name);
    event.add(prefix + "ChannelState", stateNumber(channel.state));
    event.add(prefix + "ChannelStateDesc", stateDescription(channel.state));
    event.add(prefix + "CallerIDNum", orUnknown(channel.callerNum));
    event.add(prefix + "CallerIDName", orUnknown(channel.callerName));
    event.add(prefix + "ConnectedLineNum", orUnknown(channel.connectedNum));
    event.add(prefix + "ConnectedLineName", orUnknown(channel.connectedName));
    event.add(prefix + "Language", "fr");
    event.add(prefix + "AccountCode", {});
    event.add(prefix + "Context", channel.context);
    event.add(prefix + "Exten", channel.exten);
    event.add(prefix + "Priority", QByteArray::number(channel.priority));
    event.add(prefix + "Uniqueid", channel.uniqueId);
    event.add(prefix + "Linkedid", channel.linkedId);
}

} // namespace

ManagerMessage EventWriter::start(const QByteArray& event, const QByteArray& privilege) const
{
    ManagerMessage message;
    message.add("Event", event);
    message.add("Privilege", privilege);
    return message;
}

ManagerMessage EventWriter::snapshotEvent(const QByteArray& event, const Channel& channel,
                                          const QByteArray& privilege) const
{
    ManagerMessage message = start(event, privilege);
    addSnapshot(message, channel);
    return message;
}

ManagerMessage EventWriter::newChannel(const Channel& channel) const
{
    if (snapshots())
        return snapshotEvent("Newchannel", channel);
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
    if (snapshots())
        return snapshotEvent("Newstate", channel);
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

ManagerMessage EventWriter::status(const Channel& channel) const
{
    // The same picture of the channel as a state change, under the list's name.
    ManagerMessage event = start("Status");
    const ManagerMessage state = newState(channel);
    for (const auto& [name, value] : state.headers()) {
        if (name != "Event" && name != "Privilege")
            event.add(name, value);
    }
    return event;
}

ManagerMessage EventWriter::statusComplete(qsizetype items) const
{
    ManagerMessage event = start("StatusComplete");
    event.add("Items", QByteArray::number(items));
    return event;
}

ManagerMessage EventWriter::newExten(const Channel& channel, const QByteArray& application,
                                     const QByteArray& data) const
{
    if (snapshots()) {
        ManagerMessage event = snapshotEvent("Newexten", channel, "dialplan,all");
        event.add("Extension", channel.exten);
        event.add("Application", application);
        event.add("AppData", data);
        return event;
    }
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
    if (snapshots()) {
        ManagerMessage event = dialEvent("DialBegin", source, destination);
        event.add("DialString", dialString);
        return event;
    }
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

ManagerMessage EventWriter::dialEvent(const QByteArray& event, const Channel& source, const Channel& destination) const
{
    ManagerMessage message = snapshotEvent(event, source);
    addSnapshot(message, destination, "Dest");
    return message;
}

ManagerMessage EventWriter::dialState(const Channel& source, const Channel& destination) const
{
    ManagerMessage event = dialEvent("DialState", source, destination);
    event.add("DialStatus", "RINGING");
    return event;
}

std::optional<ManagerMessage> EventWriter::dialEnd(const Channel& source, const QByteArray& dialStatus,
                                                   const Channel* destination) const
{
    if (m_style == HeaderStyle::Old || (snapshots() && !destination))
        return std::nullopt;
    if (snapshots()) {
        ManagerMessage event = dialEvent("DialEnd", source, *destination);
        event.add("DialStatus", dialStatus);
        return event;
    }
    ManagerMessage event = start("Dial");
    event.add("SubEvent", "End");
    event.add("Channel", source.name);
    event.add("UniqueID", source.uniqueId);
    event.add("DialStatus", dialStatus);
    return event;
}

ManagerMessage EventWriter::bridgeEvent(const QByteArray& event, const QByteArray& bridgeId, int channelCount,
                                        const Channel* channel) const
{
    ManagerMessage message = start(event);
    message.add("BridgeUniqueid", bridgeId);
    message.add("BridgeType", "basic");
    message.add("BridgeTechnology", "simple_bridge");
    message.add("BridgeCreator", "<unknown>");
    message.add("BridgeName", "<unknown>");
    message.add("BridgeNumChannels", QByteArray::number(channelCount));
    message.add("BridgeVideoSourceMode", "none");
    if (channel)
        addSnapshot(message, *channel);
    return message;
}

QList<ManagerMessage> EventWriter::bridged(const Channel& first, const Channel& second) const
{
    if (!snapshots())
        return {bridge(first, second, true)};
    const QByteArray& id = first.bridgeId;
    return {bridgeEvent("BridgeCreate", id, 0), bridgeEvent("BridgeEnter", id, 1, &first),
            bridgeEvent("BridgeEnter", id, 2, &second)};
}

QList<ManagerMessage> EventWriter::unbridged(const Channel& leaving, const Channel& peer) const
{
    if (snapshots()) {
        const QByteArray& id = leaving.bridgeId;
        return {bridgeEvent("BridgeLeave", id, 1, &leaving), bridgeEvent("BridgeLeave", id, 0, &peer),
                bridgeEvent("BridgeDestroy", id, 0)};
    }
    // The channel that placed the call comes first, as it did in the link.
    const bool leavingFirst = leaving.dialledBy.compare(peer.name, Qt::CaseInsensitive) != 0;
    return {leavingFirst ? bridge(leaving, peer, false) : bridge(peer, leaving, false)};
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

ManagerMessage EventWriter::hangupRequest(const Channel& channel) const
{
    ManagerMessage event = snapshotEvent("HangupRequest", channel);
    event.add("Cause", "16");
    return event;
}

ManagerMessage EventWriter::hangup(const Channel& channel, HangupCause cause) const
{
    if (snapshots()) {
        // An answered leg still reports itself Up in its Hangup.
        ManagerMessage event = snapshotEvent("Hangup", channel);
        event.add("Cause", QByteArray::number(static_cast<int>(cause)));
        event.add("Cause-txt", causeText(cause));
        return event;
    }
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

ManagerMessage EventWriter::varSet(const Channel& channel, const QByteArray& variable, const QByteArray& value) const
{
    ManagerMessage event = snapshotEvent("VarSet", channel, "dialplan,all");
    event.add("Variable", variable);
    event.add("Value", value);
    return event;
}

ManagerMessage EventWriter::rtcp(const Channel& channel, bool sent) const
{
    ManagerMessage event = snapshotEvent(sent ? "RTCPSent" : "RTCPReceived", channel, "reporting,all");
    // The far end's media address, then the exchange's own.
    event.add(sent ? "To" : "From", "192.168.1.20:10509");
    event.add(sent ? "From" : "To", "192.168.1.5:17033");
    if (!sent)
        event.add("RTT", "0.0214");
    const QByteArray ssrc = QByteArray::number(qHash(channel.uniqueId) & 0x7fffffff);
    event.add("SSRC", ssrc);
    event.add("PT", "200(SR)");
    event.add("ReportCount", "1");
    event.add("SentNTP", QByteArray::number(channel.uniqueId.toDouble() + 5, 'f', 6));
    event.add("SentRTP", "40160");
    event.add("SentPackets", "251");
    event.add("SentOctets", "40160");
    event.add("Report0SourceSSRC", QByteArray::number((qHash(channel.linkedId) + 1) & 0x7fffffff));
    event.add("Report0FractionLost", "0");
    event.add("Report0CumulativeLost", "0");
    event.add("Report0HighestSequence", "21154");
    event.add("Report0SequenceNumberCycles", "0");
    event.add("Report0IAJitter", "12");
    event.add("Report0LSR", "2910521165");
    event.add("Report0DLSR", "4.9990");
    return event;
}

ManagerMessage EventWriter::blindTransfer(const Channel& transferer, const Channel& transferee,
                                          const QByteArray& context, const QByteArray& exten) const
{
    ManagerMessage event = start("BlindTransfer");
    event.add("Result", "Success");
    addSnapshot(event, transferer, "Transferer");
    addSnapshot(event, transferee, "Transferee");
    event.add("IsExternal", "Yes");
    event.add("Context", context);
    event.add("Extension", exten);
    return event;
}

} // namespace pbxsim
