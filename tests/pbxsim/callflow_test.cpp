#include "actionreader.h"
#include "cardrecorder.h"
#include "eventstream.h"
#include "incomingcallloop.h"
#include "sessionprobe.h"
#include "supervision/classiceventinterpreter.h"
#include "waitfor.h"

#include <gtest/gtest.h>

using namespace pbxsim;

namespace {

// Feeds each event block to the program's interpretation, as separate receptions.
void interpret(const QByteArray& stream, CardRecorder& cards, const QByteArray& extension)
{
    ClassicEventInterpreter interpreter(
        cards, [extension] { return extension; }, [](const QByteArray&) {});
    ActionReader reader;
    for (const ReceivedAction& block : reader.feed(stream))
        interpreter.interpret(block.raw);
}

class CallFlowTest : public ::testing::TestWithParam<HeaderStyle>
{
protected:
    CallFlowTest() : pbx(GetParam(), CallTimings{150, 300, 100}), probe(pbx, settings) { probe.login(); }

    SessionSettings settings{"admin", "s3cret", {}, 10};
    SimulatedPbx pbx;
    SessionProbe probe;
};

} // namespace

TEST_P(CallFlowTest, Originate_RingsTheExtensionThenDialsTheNumber)
{
    probe.send("Action: Originate\r\nChannel: SIP/100\r\nContext: from-internal\r\nExten: 0123456789\r\n"
               "Priority: 1\r\nTimeout: 30000\r\nCallerId: 100\r\nAsync: yes\r\n\r\n");
    EXPECT_TRUE(probe.take().startsWith("Response: Success\r\nMessage: Originate successfully queued\r\n\r\n"));
    ASSERT_TRUE(probe.waitFor(GetParam() == HeaderStyle::New ? "Bridgestate: Link" : "Event: Link"));

    const QList<ManagerMessage> events = eventsIn(probe.all());
    QByteArray phone;
    for (const ManagerMessage& event : events) {
        if (event.value("Event") == "Newchannel" && phone.isEmpty())
            phone = event.value("Channel");
    }
    EXPECT_TRUE(phone.startsWith("SIP/100-")) << phone.constData();
    QByteArray trunkChannel;
    for (const ManagerMessage& event : events) {
        if (event.value("Event") == "Newchannel" && event.value("Channel").startsWith("SIP/ovh-"))
            trunkChannel = event.value("Channel");
    }
    ASSERT_FALSE(trunkChannel.isEmpty());

    const bool isNew = GetParam() == HeaderStyle::New;
    EXPECT_EQ(describeAll(eventsOf(events, phone)),
              isNew ? QByteArrayList({"Newchannel Down", "Newstate Ringing", "Newstate Up", "OriginateResponse",
                                      "Newexten", "Dial Begin", "Bridge Link"})
                    : QByteArrayList({"Newchannel Down", "Newstate Ringing", "Newstate Up", "OriginateResponse",
                                      "Newexten", "Link"}));
    EXPECT_EQ(describeAll(eventsOf(events, trunkChannel)),
              isNew ? QByteArrayList({"Newchannel Down", "Newstate Ringing", "Newstate Up", "Bridge Link"})
                    : QByteArrayList({"Newchannel Down", "Newstate Ringing", "Newstate Up", "Link"}));
    for (const ManagerMessage& event : eventsOf(events, phone)) {
        if (event.value("Event") == "Newexten") {
            EXPECT_EQ(event.value("Extension"), QByteArray("0123456789"));
        }
    }
}

TEST_P(CallFlowTest, Hangup_OfTheNamedChannel_GivesItsHangupEventWithItsUniqueid)
{
    const QByteArray phone = ringingPhone(pbx, "0612345678", "0491234500");
    ASSERT_FALSE(phone.isEmpty());
    const QByteArray uniqueId = pbx.find(phone)->uniqueId;
    probe.take();
    probe.send("Action: Hangup\r\nChannel: " + phone + "\r\n\r\n");
    const QByteArray reply = probe.take();
    EXPECT_TRUE(reply.startsWith("Response: Success\r\nMessage: Channel Hungup\r\n\r\n"));
    const QList<ManagerMessage> hangups = eventsOf(eventsIn(reply), phone);
    ASSERT_EQ(hangups.size(), 1);
    EXPECT_EQ(hangups[0].value("Event"), QByteArray("Hangup"));
    EXPECT_EQ(hangups[0].value("Uniqueid"), uniqueId);
    EXPECT_EQ(pbx.find(phone), nullptr);
    EXPECT_TRUE(pbx.channels().isEmpty()) << "the caller's trunk channel ends with the call";
}

TEST_P(CallFlowTest, Status_ListsEveryLiveChannelThenCompletes_ToTheAskingClientOnly)
{
    const QByteArray phone = ringingPhone(pbx, "0612345678", "0491234500");
    ASSERT_FALSE(phone.isEmpty());
    probe.send("Action: Events\r\nEventMask: off\r\n\r\n");
    probe.take();
    probe.send("Action: Status\r\nActionID: s1\r\n\r\n");
    const QByteArray reply = probe.take();
    EXPECT_TRUE(reply.startsWith("Response: Success\r\nActionID: s1\r\nMessage: Channel status will follow\r\n\r\n"));
    const QList<ManagerMessage> listed = eventsIn(reply);
    ASSERT_EQ(listed.size(), pbx.channels().size() + 1);
    const QList<ManagerMessage> ofPhone = eventsOf(listed, phone);
    ASSERT_EQ(ofPhone.size(), 1);
    EXPECT_EQ(ofPhone[0].value("Event"), QByteArray("Status"));
    EXPECT_EQ(ofPhone[0].value("Uniqueid"), pbx.find(phone)->uniqueId);
    EXPECT_EQ(ofPhone[0].value("ActionID"), QByteArray("s1"));
    EXPECT_EQ(listed.last().value("Event"), QByteArray("StatusComplete"));
    EXPECT_EQ(listed.last().value("Items"), QByteArray::number(pbx.channels().size()));
}

TEST_P(CallFlowTest, Hangup_OfAnUnknownChannel_IsAnError)
{
    probe.send("Action: Hangup\r\nChannel: SIP/100-deadbeef\r\n\r\n");
    EXPECT_EQ(probe.take(), QByteArray("Response: Error\r\nMessage: No such channel\r\n\r\n"));
}

TEST_P(CallFlowTest, Redirect_LeavesTheBridgeAndContinuesInTheNewExtension)
{
    const QByteArray phone = ringingPhone(pbx, "0612345678", "0491234500");
    ASSERT_FALSE(phone.isEmpty());
    const QByteArray trunkChannel = pbx.find(phone)->dialledBy;
    pbx.answer(phone);
    pbx.answer(trunkChannel);
    pbx.bridge(trunkChannel, phone);
    probe.take();
    const qsizetype before = probe.all().size();

    probe.send("Action: Redirect\r\nChannel: " + phone +
               "\r\nContext: from-internal\r\nExten: 201\r\nPriority: 1\r\n\r\n");
    EXPECT_TRUE(probe.take().startsWith("Response: Success\r\nMessage: Redirect successful\r\n\r\n"));
    ASSERT_TRUE(testsupport::waitFor([&] { return pbx.find(phone) && !pbx.find(phone)->bridgedWith.isEmpty(); }));

    const QList<ManagerMessage> events = eventsIn(probe.all().mid(before));
    const bool isNew = GetParam() == HeaderStyle::New;
    EXPECT_EQ(describeAll(eventsOf(events, trunkChannel)),
              isNew ? QByteArrayList({"Bridge Unlink", "Dial End", "Hangup"}) : QByteArrayList({"Unlink", "Hangup"}));
    const QList<ManagerMessage> phoneEvents = eventsOf(events, phone);
    ASSERT_GE(phoneEvents.size(), 3);
    EXPECT_EQ(phoneEvents.last().value("Channel2").left(8), QByteArray("SIP/201-"));
    EXPECT_EQ(pbx.find(trunkChannel), nullptr);
}

TEST_P(CallFlowTest, DualRedirect_BringsBothChannelsTogetherAndHangsUpTheirPartners)
{
    const QByteArray first = ringingPhone(pbx, "0612345678", "0491234500");
    const QByteArray second = ringingPhone(pbx, "0478901234", "0491234501");
    ASSERT_FALSE(first.isEmpty() || second.isEmpty());
    for (const QByteArray& phone : {first, second}) {
        pbx.answer(phone);
        pbx.bridge(pbx.find(phone)->dialledBy, phone);
    }
    probe.take();
    probe.send("Action: Redirect\r\nChannel: " + first +
               "\r\nContext: from-internal\r\nExten: 680\r\nPriority: 1\r\n"
               "ExtraChannel: " +
               second + "\r\nExtraContext: from-internal\r\nExtraExten: 680\r\nExtraPriority: 1\r\n\r\n");
    EXPECT_TRUE(probe.take().startsWith("Response: Success\r\nMessage: Dual Redirect successful\r\n\r\n"));
    ASSERT_EQ(pbx.channels().size(), 2);
    EXPECT_EQ(pbx.find(first)->bridgedWith, second);
}

TEST_P(CallFlowTest, Redirect_OfAnUnknownChannel_IsAnError)
{
    probe.send("Action: Redirect\r\nChannel: SIP/100-00000999\r\nContext: default\r\nExten: 200\r\n\r\n");
    EXPECT_EQ(probe.take(), QByteArray("Response: Error\r\nMessage: Channel does not exist: SIP/100-00000999\r\n\r\n"));
}

// What the scripted calls mean to the program: a ringing card with the caller's
// number and the dialled SDA, then the same card answered, then no card.
TEST_P(CallFlowTest, AnsweredScriptedCall_GivesRingingThenAnsweredThenNoCard)
{
    IncomingCallLoop loop(pbx, "100");
    loop.start(0);
    ASSERT_TRUE(testsupport::waitFor([&] { return probe.all().count("Event: Hangup") >= 2; }));
    CardRecorder cards;
    interpret(probe.all(), cards, "100");
    ASSERT_EQ(cards.changes().size(), 3) << cards.changes().join(", ").constData();
    const QByteArray key = cards.changes()[0].mid(8);
    EXPECT_EQ(cards.changes(), QByteArrayList({"ringing " + key, "answered " + key, "removed " + key}));
    EXPECT_EQ(cards.firstCard().number, QByteArray("0612345678"));
    EXPECT_EQ(cards.firstCard().sda, QByteArray("0491234500"));
    EXPECT_TRUE(cards.firstCard().channel.startsWith("100-"));
    EXPECT_TRUE(cards.cards().empty());
}

TEST_P(CallFlowTest, UnansweredScriptedCall_GivesRingingThenNoCard)
{
    IncomingCallLoop loop(pbx, "100");
    loop.start(0);
    // The fourth call of the loop is the one nobody answers.
    ASSERT_TRUE(testsupport::waitFor([&] { return probe.all().count("Event: Hangup") >= 8; }, 15000));
    CardRecorder cards;
    interpret(probe.all(), cards, "100");
    ASSERT_EQ(cards.changes().size(), 3 * 3 + 2) << cards.changes().join(", ").constData();
    const QByteArray key = cards.changes()[9].mid(8);
    EXPECT_EQ(cards.changes().mid(9), QByteArrayList({"ringing " + key, "removed " + key}));
    EXPECT_TRUE(cards.cards().empty());
}

// The program reads the stream in blocks of at most 2048 bytes and interprets
// each block on its own, so each step of a call must fit in one.
TEST_P(CallFlowTest, EveryBurstOfEvents_FitsInOneReceptionBlock)
{
    SimulatedPbx paced(GetParam(), CallTimings{400, 800, 400});
    SessionProbe client(paced, settings);
    client.login();
    BurstMeter bursts;
    QObject::connect(&client.session(), &ManagerSession::output,
                     [&](const QByteArray& bytes) { bursts.add(bytes.size()); });

    IncomingCallLoop loop(paced, "100");
    loop.start(0);
    client.send("Action: Originate\r\nChannel: SIP/100\r\nContext: from-internal\r\nExten: 0123456789\r\n"
                "Priority: 1\r\nTimeout: 30000\r\nCallerId: 100\r\nAsync: yes\r\n\r\n");
    ASSERT_TRUE(testsupport::waitFor([&] { return client.all().count("Event: Hangup") >= 4; }, 10000));
    EXPECT_GT(bursts.largest(), 0);
    EXPECT_LT(bursts.largest(), 2048);
}

INSTANTIATE_TEST_SUITE_P(BothHeaderStyles, CallFlowTest, ::testing::Values(HeaderStyle::Old, HeaderStyle::New),
                         [](const auto& info) { return info.param == HeaderStyle::Old ? "Old" : "New"; });
