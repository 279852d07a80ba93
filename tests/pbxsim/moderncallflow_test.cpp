#include "eventstream.h"
#include "incomingcallloop.h"
#include "sessionprobe.h"
#include "waitfor.h"

#include <QMap>

#include <gtest/gtest.h>

using namespace pbxsim;

namespace {

// An exchange, in the Asterisk 13 to 22 style unless told otherwise, and a client logged in to it.
struct ExchangeWithClient
{
    explicit ExchangeWithClient(HeaderStyle style = HeaderStyle::Modern, const QByteArray& technology = "SIP")
        : pbx(style, CallTimings{150, 300, 100}, technology), probe(pbx, settings)
    {
        probe.login();
    }

    // An incoming call that the phone has answered; returns the phone's channel.
    QByteArray talkingPhone()
    {
        const QByteArray phone = ringingPhone(pbx, "0612345678", "0491234500");
        if (phone.isEmpty())
            return {};
        const QByteArray trunk = pbx.find(phone)->dialledBy;
        pbx.answer(phone);
        pbx.answer(trunk);
        pbx.bridge(trunk, phone);
        return phone;
    }

    SessionSettings settings{"admin", "s3cret", {}, 10};
    SimulatedPbx pbx;
    SessionProbe probe;
};

bool isDialplanOrMedia(const QByteArray& event)
{
    return event == "VarSet" || event == "Newexten" || event.startsWith("RTCP");
}

// "Event role state" for each event of a call, its channels named "trunk" and
// "phone"; what the dialplan and the media reports add is left out.
QByteArrayList callFlow(const QList<ManagerMessage>& events, const QByteArray& trunk, const QByteArray& phone)
{
    const QMap<QByteArray, QByteArray> roles = {{trunk, "trunk"}, {phone, "phone"}};
    QByteArrayList flow;
    for (const ManagerMessage& event : events) {
        const QByteArray name = event.value("Event");
        if (isDialplanOrMedia(name) || name == "FullyBooted")
            continue;
        if (event.has("Channel"))
            flow.append(name + ' ' + roles.value(event.value("Channel"), "other") + ' ' +
                        event.value("ChannelStateDesc"));
        else
            flow.append(name);
    }
    return flow;
}

const ManagerMessage* firstEvent(const QList<ManagerMessage>& events, const QByteArray& name,
                                 const QByteArray& channel = {})
{
    for (const ManagerMessage& event : events) {
        if (event.value("Event") == name && (channel.isEmpty() || event.value("Channel") == channel))
            return &event;
    }
    return nullptr;
}

QByteArrayList headerNames(const ManagerMessage& event)
{
    QByteArrayList names;
    for (const auto& header : event.headers())
        names.append(header.first);
    return names;
}

const QByteArrayList ringingFlow = {"Newchannel trunk Ring", "Newchannel phone Down", "DialBegin trunk Ring",
                                    "Newstate phone Ringing", "DialState trunk Ring"};

} // namespace

TEST(ModernCallFlow, AnsweredCall_DialsBridgesAndHangsUpInTheRealOrder)
{
    ExchangeWithClient exchange;
    IncomingCallLoop loop(exchange.pbx, "100");
    loop.start(0);
    ASSERT_TRUE(testsupport::waitFor([&] { return exchange.probe.all().count("Event: Hangup\r\n") >= 2; }));

    const QList<ManagerMessage> events = eventsIn(exchange.probe.all());
    const ManagerMessage* dialBegin = firstEvent(events, "DialBegin");
    ASSERT_NE(dialBegin, nullptr);
    const QByteArray trunk = dialBegin->value("Channel");
    const QByteArray phone = dialBegin->value("DestChannel");
    EXPECT_TRUE(trunk.startsWith("SIP/ovh-")) << trunk.constData();
    EXPECT_TRUE(phone.startsWith("SIP/100-")) << phone.constData();
    EXPECT_EQ(dialBegin->value("DialString"), QByteArray("100"));
    const QByteArrayList answered = {"Newstate phone Up",      "DialEnd trunk Ring",   "Newstate trunk Up",
                                     "BridgeCreate",           "BridgeEnter trunk Up", "BridgeEnter phone Up",
                                     "HangupRequest trunk Up", "BridgeLeave trunk Up", "BridgeLeave phone Up",
                                     "BridgeDestroy",          "Hangup trunk Up",      "Hangup phone Up"};
    EXPECT_EQ(callFlow(events, trunk, phone), ringingFlow + answered);
    EXPECT_EQ(firstEvent(events, "DialEnd")->value("DialStatus"), QByteArray("ANSWER"));
    for (const QByteArray& channel : {trunk, phone}) {
        const ManagerMessage* hangup = firstEvent(events, "Hangup", channel);
        EXPECT_EQ(hangup->value("ChannelState"), QByteArray("6"));
        EXPECT_EQ(hangup->value("Cause"), QByteArray("16"));
        EXPECT_EQ(hangup->value("Cause-txt"), QByteArray("Normal Clearing"));
    }
    EXPECT_NE(firstEvent(events, "RTCPSent"), nullptr);
    EXPECT_NE(firstEvent(events, "RTCPReceived"), nullptr);
    EXPECT_EQ(firstEvent(events, "BridgeEnter")->value("BridgeUniqueid"),
              firstEvent(events, "BridgeDestroy")->value("BridgeUniqueid"));
    EXPECT_EQ(firstEvent(events, "BridgeEnter")->value("BridgeTechnology"), QByteArray("simple_bridge"));
}

TEST(ModernCallFlow, EveryChannelEvent_CarriesTheSnapshotAndTheLinkedidOfTheCall)
{
    ExchangeWithClient exchange;
    const QByteArray phone = exchange.talkingPhone();
    ASSERT_FALSE(phone.isEmpty());
    const QByteArray trunk = exchange.pbx.find(phone)->bridgedWith;
    const QByteArray linkedId = exchange.pbx.find(trunk)->uniqueId;
    const QList<ManagerMessage> events = eventsIn(exchange.probe.all());

    // Kept: the event found points into this list.
    const QList<ManagerMessage> phoneEvents = eventsOf(events, phone);
    const ManagerMessage* ringing = firstEvent(phoneEvents, "Newstate");
    ASSERT_NE(ringing, nullptr);
    EXPECT_EQ(headerNames(*ringing),
              QByteArrayList({"Event", "Privilege", "Channel", "ChannelState", "ChannelStateDesc", "CallerIDNum",
                              "CallerIDName", "ConnectedLineNum", "ConnectedLineName", "Language", "AccountCode",
                              "Context", "Exten", "Priority", "Uniqueid", "Linkedid"}));
    EXPECT_EQ(ringing->value("ConnectedLineNum"), QByteArray("0612345678"));
    EXPECT_EQ(firstEvent(events, "Newchannel", trunk)->value("ConnectedLineNum"), QByteArray("<unknown>"));
    for (const ManagerMessage& event : events) {
        const QByteArray name = event.value("Event");
        if (event.has("Channel")) {
            EXPECT_EQ(event.value("Linkedid"), linkedId) << name.constData();
        }
        const bool dial = name.startsWith("Dial");
        EXPECT_EQ(event.has("DestChannel"), dial) << name.constData();
        for (const auto& header : event.headers()) {
            EXPECT_TRUE(!header.first.startsWith("Dest") || dial)
                << name.constData() << ' ' << header.first.constData();
        }
        if (dial) {
            EXPECT_EQ(event.value("DestLinkedid"), linkedId);
        }
    }
}

// Asterisk writes what the dialplan does while it does it, so tens of
// kilobytes leave at once before the phone rings.
TEST(ModernCallFlow, TrunkDialplan_SendsItsVariablesInOneLargeBurst)
{
    ExchangeWithClient exchange;
    BurstMeter bursts;
    QObject::connect(&exchange.probe.session(), &ManagerSession::output,
                     [&](const QByteArray& bytes) { bursts.add(bytes.size()); });
    const qsizetype before = exchange.probe.all().size();
    ASSERT_FALSE(ringingPhone(exchange.pbx, "0612345678", "0491234500").isEmpty());
    const QByteArray stream = exchange.probe.all().mid(before);

    const qsizetype trunkCreated = stream.indexOf("Event: Newchannel\r\n");
    const qsizetype phoneRings = stream.indexOf("ChannelStateDesc: Ringing\r\n");
    ASSERT_GE(trunkCreated, 0);
    EXPECT_GT(phoneRings - trunkCreated, 2048);
    EXPECT_GT(bursts.largest(), 2048);

    qsizetype dialplanEvents = 0;
    for (const ManagerMessage& event : eventsIn(stream)) {
        if (!isDialplanOrMedia(event.value("Event")) || event.value("Application") == "Dial")
            continue;
        ++dialplanEvents;
        EXPECT_GE(event.toWire().size(), 300);
        EXPECT_LE(event.toWire().size(), 600);
    }
    EXPECT_GE(dialplanEvents, 50);
    EXPECT_LE(dialplanEvents, 200);
    EXPECT_TRUE(stream.contains("Event: VarSet\r\nPrivilege: dialplan,all\r\n"));
    EXPECT_TRUE(stream.contains("Variable: __FROM_DID\r\nValue: 0491234500\r\n"));
}

TEST(ModernCallFlow, UnansweredCall_EndsTheDialThenHangsUpBothLegs)
{
    const struct
    {
        const char* name;
        bool callerGivesUp;
        QByteArray dialStatus;
        QByteArray phoneCause;
        QByteArray requester;
    } cases[] = {
        {"the caller gives up", true, "CANCEL", "0", "trunk Ring"},
        {"the phone declines", false, "NOANSWER", "19", "phone Ringing"},
    };
    for (const auto& call : cases) {
        SCOPED_TRACE(call.name);
        ExchangeWithClient exchange;
        const QByteArray phone = ringingPhone(exchange.pbx, "0699001122", "0491234503");
        ASSERT_FALSE(phone.isEmpty());
        const QByteArray trunk = exchange.pbx.find(phone)->dialledBy;
        exchange.pbx.hangup(call.callerGivesUp ? trunk : phone);

        const QList<ManagerMessage> events = eventsIn(exchange.probe.all());
        const QByteArrayList ending = {"HangupRequest " + call.requester, "DialEnd trunk Ring", "Hangup phone Ringing",
                                       "Hangup trunk Ring"};
        EXPECT_EQ(callFlow(events, trunk, phone), ringingFlow + ending);
        EXPECT_EQ(firstEvent(events, "DialEnd")->value("DialStatus"), call.dialStatus);
        EXPECT_EQ(firstEvent(events, "DialEnd")->value("DestChannel"), phone);
        const ManagerMessage* phoneHangup = firstEvent(events, "Hangup", phone);
        EXPECT_EQ(phoneHangup->value("ChannelState"), QByteArray("5"));
        EXPECT_EQ(phoneHangup->value("Cause"), call.phoneCause);
        EXPECT_EQ(firstEvent(events, "Hangup", trunk)->value("Cause"), QByteArray("16"));
        EXPECT_TRUE(exchange.pbx.channels().isEmpty());
    }
}

TEST(ModernCallFlow, Technology_NamesThePhonesChannelsInEveryStyle)
{
    const struct
    {
        HeaderStyle style;
        QByteArray technology;
    } cases[] = {
        {HeaderStyle::Modern, "SIP"},
        {HeaderStyle::Modern, "PJSIP"},
        {HeaderStyle::New, "PJSIP"},
        {HeaderStyle::Old, "PJSIP"},
    };
    for (const auto& setup : cases) {
        SCOPED_TRACE(setup.technology.constData());
        ExchangeWithClient exchange(setup.style, setup.technology);
        const QByteArray phone = ringingPhone(exchange.pbx, "0612345678", "0491234500");
        EXPECT_TRUE(phone.startsWith(setup.technology + "/100-")) << phone.constData();
        EXPECT_TRUE(exchange.probe.all().contains("AppData: " + setup.technology + "/100,30\r\n"));
        exchange.probe.take();
        exchange.probe.send("Action: Hangup\r\nChannel: " + phone + "\r\n\r\n");
        EXPECT_TRUE(exchange.probe.take().startsWith("Response: Success\r\nMessage: Channel Hungup\r\n"));

        exchange.probe.send("Action: Originate\r\nChannel: " + setup.technology +
                            "/100\r\nContext: from-internal\r\nExten: 201\r\nCallerId: 100\r\n\r\n");
        EXPECT_TRUE(exchange.probe.waitFor("Channel: " + setup.technology + "/100-"));
        EXPECT_TRUE(exchange.probe.waitFor(": " + setup.technology + "/201-"));
    }
}

TEST(ModernCallFlow, BlindTransfer_SendsTheCallerToTheTargetAndHangsUpThePhone)
{
    ExchangeWithClient exchange;
    SimulatedPbx& pbx = exchange.pbx;
    const QByteArray phone = exchange.talkingPhone();
    ASSERT_FALSE(phone.isEmpty());
    const QByteArray trunk = pbx.find(phone)->bridgedWith;
    exchange.probe.take();

    exchange.probe.send("Action: BlindTransfer\r\nActionID: 7\r\nChannel: " + phone +
                        "\r\nContext: from-internal\r\nExten: 201\r\n\r\n");
    const QByteArray reply = exchange.probe.take();
    EXPECT_TRUE(reply.startsWith("Response: Success\r\nActionID: 7\r\nMessage: Transfer succeeded\r\n\r\n"));
    ASSERT_TRUE(testsupport::waitFor([&] {
        const Channel* caller = pbx.find(trunk);
        return caller && caller->bridgedWith.startsWith("SIP/201-");
    }));
    EXPECT_EQ(pbx.find(phone), nullptr);

    const QList<ManagerMessage> events = eventsIn(reply + exchange.probe.take());
    EXPECT_EQ(describeAll(eventsOf(events, phone)),
              QByteArrayList({"HangupRequest Up", "BridgeLeave Up", "Hangup Up"}));
    EXPECT_EQ(firstEvent(events, "Hangup", phone)->value("ChannelState"), QByteArray("6"));
    EXPECT_EQ(describeAll(eventsOf(events, trunk)), QByteArrayList({"BridgeLeave Up", "Newexten Up", "DialBegin Up",
                                                                    "DialState Up", "DialEnd Up", "BridgeEnter Up"}));
    const ManagerMessage* transfer = firstEvent(events, "BlindTransfer");
    ASSERT_NE(transfer, nullptr);
    EXPECT_EQ(transfer->value("TransfererChannel"), phone);
    EXPECT_EQ(transfer->value("TransfereeChannel"), trunk);
    EXPECT_EQ(transfer->value("Extension"), QByteArray("201"));
    const ManagerMessage* dialBegin = firstEvent(events, "DialBegin", trunk);
    EXPECT_TRUE(dialBegin->value("DestChannel").startsWith("SIP/201-"));
    EXPECT_EQ(dialBegin->value("Context"), QByteArray("from-internal"));
    EXPECT_EQ(firstEvent(events, "DialEnd", trunk)->value("DialStatus"), QByteArray("ANSWER"));
}

// The older managers had no such action; the simulator still moves the call.
TEST(ModernCallFlow, BlindTransfer_InTheOlderStyles_MovesTheCallerToo)
{
    for (const HeaderStyle style : {HeaderStyle::Old, HeaderStyle::New}) {
        ExchangeWithClient exchange(style);
        const QByteArray phone = exchange.talkingPhone();
        ASSERT_FALSE(phone.isEmpty());
        const QByteArray trunk = exchange.pbx.find(phone)->bridgedWith;
        exchange.probe.send("Action: BlindTransfer\r\nChannel: " + phone +
                            "\r\nContext: from-internal\r\nExten: 201\r\n\r\n");
        EXPECT_TRUE(testsupport::waitFor([&] {
            const Channel* caller = exchange.pbx.find(trunk);
            return caller && caller->bridgedWith.startsWith("SIP/201-");
        }));
        EXPECT_EQ(exchange.pbx.find(phone), nullptr);
    }
}

TEST(ModernCallFlow, BlindTransfer_WithoutATalkingChannel_IsAnError)
{
    ExchangeWithClient exchange;
    const QByteArray phone = ringingPhone(exchange.pbx, "0612345678", "0491234500");
    ASSERT_FALSE(phone.isEmpty());
    const struct
    {
        QByteArray headers;
        QByteArray message;
    } cases[] = {
        {"Channel: SIP/100-deadbeef\r\nExten: 201\r\n", "No such channel"},
        {"Exten: 201\r\n", "No channel specified"},
        {"Channel: " + phone + "\r\n", "No extension specified"},
        {"Channel: " + phone + "\r\nContext: from-internal\r\nExten: 201\r\n", "Transfer failed"},
    };
    for (const auto& action : cases) {
        exchange.probe.take();
        exchange.probe.send("Action: BlindTransfer\r\n" + action.headers + "\r\n");
        EXPECT_EQ(exchange.probe.take(), "Response: Error\r\nMessage: " + action.message + "\r\n\r\n");
    }
    EXPECT_NE(exchange.pbx.find(phone), nullptr);
}
