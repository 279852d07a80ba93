#include "managertextgenerator.h"

#include <QByteArrayView>

#include <iterator>
#include <utility>

namespace {

constexpr std::size_t ConcurrentCalls = 6;
// One call in this many has a leg on the watched extension.
constexpr int OwnCallOdds = 25;
constexpr std::uint64_t StartTime = 1733650000;

const char* const callerNames[] = {"Dupont",    "Martin Alice", "Cabinet Leroy",  "Zoe",
                                   "SARL Bati", "Petit Leon",   "Garage Central", "<unknown>"};
const char* const lineNumbers[] = {"0491234500", "0491234501", "0491234502", "0491234510"};
const char* const applications[] = {"Set", "GotoIf", "Gosub", "Playback", "Queue", "Dial", "NoOp", "ExecIf"};
const char* const variables[] = {"__FROM_DID",
                                 "CDR(did)",
                                 "MACRO_DEPTH",
                                 "QUEUEPOSITION",
                                 "DIALEDPEERNAME",
                                 "BRIDGEPEER",
                                 "PJSIP_HEADER(read,Call-ID)",
                                 "RTPAUDIOQOS",
                                 "CHANNEL(language)",
                                 "__TRANSFER_CONTEXT"};
constexpr QByteArrayView filler =
    "ssrc=1838192631;themssrc=2939403922;lp=0;rxjitter=0.000125;rxcount=1520;txjitter=0.000312;"
    "txcount=1518;rlp=0;rtt=0.021000;rxmes=4.392000;txmes=4.388000;local_ssrc=1838192631;"
    "remote_ssrc=2939403922";

QByteArray stateDesc(int state)
{
    switch (state) {
    case 4:
        return QByteArrayLiteral("Ring");
    case 5:
        return QByteArrayLiteral("Ringing");
    case 6:
        return QByteArrayLiteral("Up");
    default:
        return QByteArrayLiteral("Down");
    }
}

void header(QByteArray& text, QByteArrayView prefix, QByteArrayView name, QByteArrayView value)
{
    text += prefix;
    text += name;
    text += ": ";
    text += value;
    text += "\r\n";
}

void header(QByteArray& text, QByteArrayView name, QByteArrayView value)
{
    header(text, {}, name, value);
}

bool usable(const QByteArray& number)
{
    return !number.isEmpty() && number != "<unknown>";
}

struct Cause
{
    const char* status;
    int code;
    const char* text;
};

const Cause unansweredCauses[] = {{"CANCEL", 0, "Unknown"},
                                  {"NOANSWER", 19, "No answer"},
                                  {"BUSY", 17, "User busy"},
                                  {"CANCEL", 26, "Answered elsewhere"}};

} // namespace

// One channel of a call, as its snapshot shows it.
struct ManagerTextGenerator::Leg
{
    void appendSnapshot(QByteArray& text, QByteArrayView prefix = {}) const
    {
        header(text, prefix, "Channel", channel);
        header(text, prefix, "ChannelState", QByteArray::number(state));
        header(text, prefix, "ChannelStateDesc", stateDesc(state));
        header(text, prefix, "CallerIDNum", callerNum);
        header(text, prefix, "CallerIDName", callerName);
        header(text, prefix, "ConnectedLineNum", connectedNum);
        header(text, prefix, "ConnectedLineName", connectedName);
        header(text, prefix, "Language", "fr");
        header(text, prefix, "AccountCode", "");
        header(text, prefix, "Context", context);
        header(text, prefix, "Exten", exten);
        header(text, prefix, "Priority", QByteArray::number(priority));
        header(text, prefix, "Uniqueid", uniqueid);
        header(text, prefix, "Linkedid", linkedid);
    }

    QByteArray channel;
    int state = 0;
    QByteArray callerNum;
    QByteArray callerName;
    QByteArray connectedNum;
    QByteArray connectedName;
    QByteArray context;
    QByteArray exten;
    int priority = 1;
    QByteArray uniqueid;
    QByteArray linkedid;
    QByteArray dialString;
    bool own = false;
    bool rang = false;
    bool answerCounted = false;
};

// A call's messages, written ahead and handed out in order.
struct ManagerTextGenerator::Call
{
    QByteArray& message(const char* event, const char* privilege = "call,all")
    {
        QByteArray& text = messages.emplace_back();
        header(text, "Event", event);
        header(text, "Privilege", privilege);
        return text;
    }
    bool done() const { return next == messages.size(); }

    std::vector<QByteArray> messages;
    std::size_t next = 0;
};

ManagerTextGenerator::ManagerTextGenerator(QByteArray extension, std::uint32_t seed)
    : m_extension(std::move(extension)), m_random(seed)
{}

ManagerTextGenerator::~ManagerTextGenerator() = default;

QByteArray ManagerTextGenerator::nextUniqueid()
{
    ++m_serial;
    return QByteArray::number(StartTime + m_serial / 40) + '.' + QByteArray::number(m_serial);
}

QByteArray ManagerTextGenerator::externalNumber()
{
    return '0' + QByteArray::number(between(140000000, 799999999));
}

QByteArray ManagerTextGenerator::otherPhone()
{
    // Some phones' numbers start with the watched one: 1000 is not 100.
    if (pick(5) == 0)
        return m_extension + QByteArray::number(pick(10));
    return QByteArray::number(between(200, 499));
}

ManagerTextGenerator::Leg ManagerTextGenerator::phoneLeg(const QByteArray& phone, bool own)
{
    const bool pjsip = own ? pick(2) == 0 : pick(5) != 0;
    Leg leg;
    leg.channel =
        (pjsip ? "PJSIP/" : "SIP/") + phone + '-' + QByteArray::number(++m_channelSerial, 16).rightJustified(8, '0');
    leg.callerNum = phone;
    leg.callerName = "Poste " + phone;
    leg.context = "from-internal";
    leg.exten = phone;
    leg.uniqueid = nextUniqueid();
    leg.own = own;
    return leg;
}

ManagerTextGenerator::Leg ManagerTextGenerator::trunkLeg()
{
    Leg leg;
    leg.channel = (pick(3) ? "PJSIP/trunk-ovh-" : "SIP/operateur-") +
                  QByteArray::number(++m_channelSerial, 16).rightJustified(8, '0');
    leg.context = "from-trunk";
    leg.uniqueid = nextUniqueid();
    return leg;
}

void ManagerTextGenerator::dialplanBurst(Call& call, Leg& leg, int count)
{
    for (int i = 0; i < count; ++i) {
        if (pick(100) < 55) {
            QByteArray& text = call.message("VarSet", "dialplan,all");
            leg.appendSnapshot(text);
            header(text, "Variable", variables[pick(std::size(variables))]);
            header(text, "Value", filler.first(pick(int(filler.size()) + 1)));
        } else {
            ++leg.priority;
            QByteArray& text = call.message("Newexten", "dialplan,all");
            leg.appendSnapshot(text);
            header(text, "Extension", leg.exten);
            header(text, "Application", applications[pick(std::size(applications))]);
            QByteArray data = "GotoIf($[\"${CALLERID(num)}\" = \"" + leg.callerNum + "\"]?known,s," +
                              QByteArray::number(pick(40)) + ":unknown,s,1)";
            header(text, "AppData", data.append(filler.first(pick(121))));
        }
    }
}

void ManagerTextGenerator::stateChange(Call& call, Leg& leg, int state)
{
    leg.state = state;
    leg.appendSnapshot(call.message("Newstate"));
    if (!leg.own)
        return;
    if (state == 5)
        leg.rang = true;
    // An up leg gets its card when it rang or the other party is known.
    if (state == 6 && !leg.answerCounted && (leg.rang || usable(leg.connectedNum))) {
        leg.answerCounted = true;
        ++m_ownAnswered;
    }
    if (state == 5)
        ++m_ownRinging;
}

void ManagerTextGenerator::dialEvent(Call& call, const char* name, const Leg& caller, const Leg& callee,
                                     const char* status)
{
    QByteArray& text = call.message(name);
    caller.appendSnapshot(text);
    callee.appendSnapshot(text, "Dest");
    if (status)
        header(text, "DialStatus", status);
    else
        header(text, "DialString", callee.dialString);
}

void ManagerTextGenerator::hangUp(Call& call, Leg& leg, int cause)
{
    QByteArray& text = call.message("Hangup");
    leg.appendSnapshot(text);
    header(text, "Cause", QByteArray::number(cause));
    const Cause* known = nullptr;
    for (const Cause& candidate : unansweredCauses)
        known = candidate.code == cause ? &candidate : known;
    header(text, "Cause-txt", known ? known->text : "Normal Clearing");
}

void ManagerTextGenerator::connectCall(Call& call, Leg& caller, Leg& callee)
{
    const QByteArray bridge = QByteArray::number(0x10000000u + m_random() % 0xe0000000u, 16) + "-4c1c-9a3e-" +
                              QByteArray::number(m_serial, 16).rightJustified(12, '0');
    const auto bridgeEvent = [&](const char* name, int channels) -> QByteArray& {
        QByteArray& text = call.message(name);
        header(text, "BridgeUniqueid", bridge);
        header(text, "BridgeType", "basic");
        header(text, "BridgeTechnology", "simple_bridge");
        header(text, "BridgeCreator", "<unknown>");
        header(text, "BridgeName", "<unknown>");
        header(text, "BridgeNumChannels", QByteArray::number(channels));
        header(text, "BridgeVideoSourceMode", "none");
        return text;
    };
    bridgeEvent("BridgeCreate", 0);
    caller.appendSnapshot(bridgeEvent("BridgeEnter", 1));
    callee.appendSnapshot(bridgeEvent("BridgeEnter", 2));
    for (int i = between(0, 12); i > 0; --i) {
        Leg& leg = pick(2) ? caller : callee;
        QByteArray& text = call.message(pick(2) ? "RTCPSent" : "RTCPReceived", "reporting,all");
        leg.appendSnapshot(text);
        header(text, "SSRC", QByteArray::number(m_random()));
        header(text, "PT", "200(SR)");
        header(text, "ReportCount", "1");
        header(text, "SentPackets", QByteArray::number(pick(90000)));
        header(text, "Report0SourceSSRC", QByteArray::number(m_random()));
        header(text, "Report0FractionLost", "0");
        header(text, "Report0CumulativeLost", QByteArray::number(pick(20)));
        header(text, "Report0IAJitter", QByteArray::number(pick(400)));
        header(text, "To",
               "192.168.10." + QByteArray::number(between(2, 250)) + ':' + QByteArray::number(between(10000, 20000)));
    }
    Leg& ending = pick(2) ? caller : callee;
    QByteArray& request = call.message(pick(4) ? "HangupRequest" : "SoftHangupRequest");
    ending.appendSnapshot(request);
    header(request, "Cause", "16");
    callee.appendSnapshot(bridgeEvent("BridgeLeave", 1));
    caller.appendSnapshot(bridgeEvent("BridgeLeave", 0));
    bridgeEvent("BridgeDestroy", 0);
    // Both legs are still up when their Hangup is written.
    hangUp(call, ending, 16);
    hangUp(call, &ending == &caller ? callee : caller, 16);
}

void ManagerTextGenerator::enterDialplan(Call& call, Leg& leg, int steps, bool answer)
{
    leg.appendSnapshot(call.message("Newchannel"));
    dialplanBurst(call, leg, steps);
    if (!answer)
        return;
    stateChange(call, leg, 6);
    dialplanBurst(call, leg, steps / 2);
}

bool ManagerTextGenerator::dial(Call& call, const Leg& caller, Leg& callee, int answerPercent)
{
    dialEvent(call, "DialBegin", caller, callee, nullptr);
    stateChange(call, callee, 5);
    dialEvent(call, "DialState", caller, callee, "RINGING");
    if (pick(100) < answerPercent) {
        stateChange(call, callee, 6);
        dialEvent(call, "DialEnd", caller, callee, "ANSWER");
        return true;
    }
    const Cause& cause = unansweredCauses[pick(std::size(unansweredCauses))];
    dialEvent(call, "DialEnd", caller, callee, cause.status);
    hangUp(call, callee, cause.code);
    return false;
}

std::unique_ptr<ManagerTextGenerator::Call> ManagerTextGenerator::incomingCall()
{
    auto call = std::make_unique<Call>();
    Leg trunk = trunkLeg();
    const QByteArray line = lineNumbers[pick(std::size(lineNumbers))];
    trunk.state = 4;
    trunk.callerNum = pick(12) ? externalNumber() : QByteArray("<unknown>");
    trunk.callerName = callerNames[pick(std::size(callerNames))];
    trunk.connectedNum = "<unknown>";
    trunk.connectedName = "<unknown>";
    trunk.exten = line;
    trunk.linkedid = trunk.uniqueid;

    const bool own = pick(OwnCallOdds) == 0;
    const QByteArray phone = own ? m_extension : otherPhone();
    Leg callee = phoneLeg(phone, own);
    callee.connectedNum = trunk.callerNum;
    callee.connectedName = line + ':' + trunk.callerName;
    callee.linkedid = trunk.uniqueid;
    callee.dialString = phone;
    m_ownCalls += own;

    const int steps = between(20, 150);
    // A voice menu may answer before the queue rings the phone.
    enterDialplan(*call, trunk, steps, pick(3) == 0);
    const int calleeSteps = between(2, 6);
    enterDialplan(*call, callee, calleeSteps, false);
    if (dial(*call, trunk, callee, 65)) {
        if (trunk.state != 6)
            stateChange(*call, trunk, 6);
        connectCall(*call, trunk, callee);
    } else {
        // Voicemail, then the caller hangs up.
        dialplanBurst(*call, trunk, between(5, 40));
        hangUp(*call, trunk, 16);
    }
    return call;
}

std::unique_ptr<ManagerTextGenerator::Call> ManagerTextGenerator::placedCall()
{
    auto call = std::make_unique<Call>();
    const bool own = pick(OwnCallOdds) == 0;
    const QByteArray phone = own ? m_extension : otherPhone();
    const bool internal = pick(4) == 0;
    QByteArray calleePhone;
    if (internal) {
        calleePhone = !own && pick(6) == 0 ? m_extension : otherPhone();
        if (calleePhone == phone)
            calleePhone = "499";
    }
    const QByteArray number = internal ? calleePhone : externalNumber();
    const bool calleeOwn = internal && calleePhone == m_extension;
    m_ownCalls += own || calleeOwn;

    Leg caller = phoneLeg(phone, own);
    caller.state = 4;
    caller.exten = number;
    caller.linkedid = caller.uniqueid;
    Leg callee = internal ? phoneLeg(calleePhone, calleeOwn) : trunkLeg();
    callee.callerNum = number;
    callee.callerName = internal ? "Poste " + calleePhone : QByteArray();
    callee.connectedNum = phone;
    callee.connectedName = caller.callerName;
    callee.context = internal ? "from-internal" : "to-trunk";
    callee.exten = number;
    callee.linkedid = caller.uniqueid;
    callee.dialString = internal ? calleePhone : "trunk-ovh/sip:" + number;

    const int steps = between(10, 80);
    // The dialplan may answer the phone's own leg: the other party is not known yet.
    enterDialplan(*call, caller, steps, pick(4) == 0);
    enterDialplan(*call, callee, 0, false);
    if (dial(*call, caller, callee, 60)) {
        // DialEnd ANSWER names the caller's channel: its card shows the call.
        if (caller.own && !caller.answerCounted) {
            caller.answerCounted = true;
            ++m_ownAnswered;
        }
        caller.connectedNum = number;
        caller.connectedName = callee.callerName;
        if (caller.state != 6) {
            stateChange(*call, caller, 6);
        } else {
            caller.appendSnapshot(call->message("NewConnectedLine"));
        }
        connectCall(*call, caller, callee);
    } else {
        hangUp(*call, caller, 16);
    }
    return call;
}

void ManagerTextGenerator::sessionMessage(QByteArray& text)
{
    ++m_messages;
    switch (pick(3)) {
    case 0:
        // The keep-alive's answer.
        header(text, "Response", "Success");
        header(text, "ActionID", QByteArray::number(pick(100000)));
        header(text, "Ping", "Pong");
        header(text, "Timestamp",
               QByteArray::number(StartTime + m_serial / 40) + ".000" + QByteArray::number(pick(900)));
        break;
    case 1:
        // A phone's SIP digest challenge, not the manager login's.
        ++m_events;
        header(text, "Event", "ChallengeSent");
        header(text, "Privilege", "security,all");
        header(text, "Severity", "Informational");
        header(text, "Service", "PJSIP");
        header(text, "EventVersion", "1");
        header(text, "AccountID", otherPhone());
        header(text, "SessionID", QByteArray::number(m_random(), 16));
        header(text, "LocalAddress", "IPV4/UDP/192.168.10.1/5060");
        header(text, "RemoteAddress", "IPV4/UDP/192.168.10." + QByteArray::number(between(2, 250)) + "/5060");
        header(text, "Challenge", QByteArray::number(m_random(), 16));
        break;
    default:
        ++m_events;
        header(text, "Event", "PeerStatus");
        header(text, "Privilege", "system,all");
        header(text, "ChannelType", "PJSIP");
        header(text, "Peer", "PJSIP/" + otherPhone());
        header(text, "PeerStatus", pick(2) ? "Reachable" : "Unreachable");
        break;
    }
    text += "\r\n";
}

void ManagerTextGenerator::generate(QByteArray& text, qsizetype size)
{
    text.reserve(size + size / 50 + (1 << 20));
    std::vector<std::unique_ptr<Call>> calls;
    const auto handOut = [&](Call& call, int count) {
        for (; count > 0 && !call.done(); --count) {
            text += call.messages[call.next];
            text += "\r\n";
            call.messages[call.next++].clear();
            ++m_events;
            ++m_messages;
        }
    };
    while (text.size() < size) {
        while (calls.size() < ConcurrentCalls) {
            calls.push_back(pick(100) < 55 ? incomingCall() : placedCall());
            ++m_calls;
        }
        if (pick(150) == 0)
            sessionMessage(text);
        // The PBX interleaves calls, a dialplan's burst often in one piece.
        const std::size_t at = std::size_t(pick(int(calls.size())));
        handOut(*calls[at], between(1, 30));
        if (calls[at]->done()) {
            std::swap(calls[at], calls.back());
            calls.pop_back();
        }
    }
    for (const std::unique_ptr<Call>& call : calls)
        handOut(*call, int(call->messages.size()));
}
