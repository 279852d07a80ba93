#include "managertextgenerator.h"

#include <utility>

namespace {

void header(QByteArray& text, const char* name, const QByteArray& value)
{
    text += name;
    text += ": ";
    text += value;
    text += "\r\n";
}

void eventStart(QByteArray& text, const char* name, const char* privilege = "call,all")
{
    header(text, "Event", name);
    header(text, "Privilege", privilege);
}

const char* const names[] = {"Alice Martin",   "Bob", "Carole Dupont", "<unknown>", "Accueil", "Service:Compta",
                             "Dr. Leon Petit", "Zoe"};
const char* const causes[] = {"16", "17", "19", "21", "0"};
const char* const causeTexts[] = {"Normal Clearing", "User busy", "No answer", "Call Rejected", "Unknown"};
const char* const variables[] = {"DIALSTATUS", "BRIDGEPEER", "MACRO_DEPTH", "SIPCALLID", "RTPAUDIOQOS"};

} // namespace

struct ManagerTextGenerator::Call
{
    bool own = false;
    QByteArray channel;
    QByteArray otherChannel;
    QByteArray uniqueid;
    QByteArray otherUniqueid;
    QByteArray number;
    QByteArray name;
    QByteArray exten;
};

ManagerTextGenerator::ManagerTextGenerator(QByteArray extension, std::uint32_t seed)
    : m_extension(std::move(extension)), m_random(seed)
{}

ManagerTextGenerator::Call ManagerTextGenerator::nextCall()
{
    Call call;
    call.own = pick(100) == 0;
    const QByteArray peer = call.own ? m_extension : QByteArray::number(200 + pick(300));
    call.channel = "SIP/" + peer + '-' + QByteArray::number(0x10000000 + pick(0x0fffffff), 16);
    call.exten = QByteArray::number(200 + pick(300));
    call.otherChannel = "SIP/" + call.exten + '-' + QByteArray::number(0x10000000 + pick(0x0fffffff), 16);
    call.uniqueid = "1733640000." + QByteArray::number(++m_serial);
    call.otherUniqueid = "1733640000." + QByteArray::number(++m_serial);
    call.number = pick(4) == 0 ? QByteArray("<unknown>") : "0" + QByteArray::number(140000000 + pick(800000000));
    call.name = names[pick(std::size(names))];
    if (pick(3) == 0)
        call.name = call.number + ' ' + call.name;
    return call;
}

void ManagerTextGenerator::appendEvent(QByteArray& text, const Call& call)
{
    // Which kinds name the call's channel in a "Channel:" or "Channel1:" header.
    bool namesChannel = true;
    switch (pick(24)) {
    case 0:
        eventStart(text, "Newchannel");
        header(text, "Channel", call.channel);
        header(text, "State", "Down");
        header(text, "CallerIDNum", call.number);
        header(text, "CallerIDName", call.name);
        header(text, "Uniqueid", call.uniqueid);
        break;
    case 1:
        eventStart(text, "Newchannel");
        header(text, "Channel", call.channel);
        header(text, "ChannelState", "0");
        header(text, "ChannelStateDesc", "Down");
        header(text, "CallerIDNum", call.number);
        header(text, "CallerIDName", call.name);
        header(text, "AccountCode", "");
        header(text, "Exten", call.exten);
        header(text, "Context", "from-internal");
        header(text, "Uniqueid", call.uniqueid);
        break;
    case 2:
    case 3:
        eventStart(text, "Newstate");
        header(text, "Channel", call.channel);
        header(text, "State", pick(2) ? "Ringing" : "Up");
        header(text, "CallerID", call.number);
        header(text, "CallerIDName", call.name);
        header(text, "Uniqueid", call.uniqueid);
        break;
    case 4:
    case 5: {
        const bool ringing = pick(2);
        eventStart(text, "Newstate");
        header(text, "Channel", call.channel);
        header(text, "ChannelState", ringing ? "5" : "6");
        header(text, "ChannelStateDesc", ringing ? "Ringing" : "Up");
        header(text, "CallerIDNum", call.exten);
        header(text, "CallerIDName", "Poste " + call.exten);
        header(text, "ConnectedLineNum", call.number);
        header(text, "ConnectedLineName", call.name);
        header(text, "Uniqueid", call.uniqueid);
        break;
    }
    case 6:
        eventStart(text, "Dial");
        header(text, "Source", call.otherChannel);
        header(text, "Destination", call.channel);
        header(text, "CallerID", call.number);
        header(text, "CallerIDName", call.name);
        header(text, "SrcUniqueID", call.otherUniqueid);
        header(text, "DestUniqueID", call.uniqueid);
        namesChannel = false;
        break;
    case 7:
        eventStart(text, "Dial");
        header(text, "SubEvent", "Begin");
        header(text, "Channel", call.channel);
        header(text, "Destination", call.otherChannel);
        header(text, "CallerIDNum", call.number);
        header(text, "CallerIDName", call.name);
        header(text, "ConnectedLineNum", call.exten);
        header(text, "ConnectedLineName", "Poste " + call.exten);
        header(text, "UniqueID", call.uniqueid);
        header(text, "DestUniqueID", call.otherUniqueid);
        header(text, "Dialstring", call.exten);
        break;
    case 8:
    case 9:
        eventStart(text, pick(2) ? "Link" : "Unlink");
        header(text, "Channel1", call.channel);
        header(text, "Channel2", call.otherChannel);
        header(text, "Uniqueid1", call.uniqueid);
        header(text, "Uniqueid2", call.otherUniqueid);
        header(text, "CallerID1", call.number);
        header(text, "CallerID2", call.exten);
        break;
    case 10:
    case 11:
        eventStart(text, "Bridge");
        header(text, "Bridgestate", pick(2) ? "Link" : "Unlink");
        header(text, "Bridgetype", "core");
        header(text, "Channel1", call.channel);
        header(text, "Channel2", call.otherChannel);
        header(text, "Uniqueid1", call.uniqueid);
        header(text, "Uniqueid2", call.otherUniqueid);
        header(text, "CallerID1", call.number);
        header(text, "CallerID2", call.exten);
        break;
    case 12:
    case 13: {
        const int cause = pick(std::size(causes));
        eventStart(text, "Hangup");
        header(text, "Channel", call.channel);
        header(text, "Uniqueid", call.uniqueid);
        header(text, "CallerIDNum", call.number);
        header(text, "CallerIDName", call.name);
        header(text, "Cause", causes[cause]);
        header(text, "Cause-txt", causeTexts[cause]);
        break;
    }
    case 14:
    case 15:
    case 16:
        eventStart(text, "Newexten", "dialplan,all");
        header(text, "Channel", call.channel);
        header(text, "Context", "macro-dial-one");
        header(text, "Extension", "s");
        header(text, "Priority", QByteArray::number(1 + pick(40)));
        header(text, "Application", "Dial");
        header(text, "AppData", call.otherChannel + ",30,tTr");
        header(text, "Uniqueid", call.uniqueid);
        break;
    case 17:
    case 18:
    case 19:
        eventStart(text, "VarSet", "dialplan,all");
        header(text, "Channel", call.channel);
        header(text, "Variable", variables[pick(std::size(variables))]);
        header(text, "Value", pick(2) ? QByteArray("ANSWER") : call.otherChannel);
        header(text, "Uniqueid", call.uniqueid);
        break;
    case 20:
        eventStart(text, "PeerStatus", "system,all");
        header(text, "ChannelType", "SIP");
        header(text, "Peer", call.otherChannel.left(7));
        header(text, "PeerStatus", pick(2) ? "Registered" : "Reachable");
        header(text, "Time", QByteArray::number(pick(200)));
        namesChannel = false;
        break;
    case 21:
        eventStart(text, "Newcallerid");
        header(text, "Channel", call.channel);
        header(text, "CallerIDNum", call.number);
        header(text, "CallerIDName", call.name);
        header(text, "Uniqueid", call.uniqueid);
        header(text, "CID-CallingPres", "0 (Presentation Allowed, Not Screened)");
        break;
    case 22:
        header(text, "Response", "Success");
        header(text, "ActionID", QByteArray::number(pick(100000)));
        header(text, "Ping", "Pong");
        header(text, "Timestamp", "1733640000." + QByteArray::number(pick(1000000)));
        namesChannel = false;
        break;
    default:
        header(text, "Response", "Success");
        if (pick(8))
            header(text, "Message", "Originate successfully queued");
        else
            header(text, "Challenge", QByteArray::number(100000000 + pick(800000000)));
        namesChannel = false;
        break;
    }
    text += "\r\n";
    ++m_events;
    if (call.own && namesChannel)
        ++m_ownEvents;
}

void ManagerTextGenerator::generate(QByteArray& text, qsizetype size)
{
    text.reserve(size + 1024);
    while (text.size() < size) {
        const Call call = nextCall();
        // A call shows up in a handful of events in a row.
        for (int i = 3 + pick(6); i > 0 && text.size() < size; --i)
            appendEvent(text, call);
    }
}
