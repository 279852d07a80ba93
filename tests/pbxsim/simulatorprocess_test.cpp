#include "actionreader.h"
#include "cardrecorder.h"
#include "managerclient.h"
#include "sessionprobe.h"
#include "simulatorprocess.h"
#include "supervision/classiceventinterpreter.h"
#include "supervision/md5.h"
#include "tempdatafolder.h"
#include "waitfor.h"

#include <csignal>

#include <gtest/gtest.h>

namespace {

const QStringList credentials = {QStringLiteral("--user"), QStringLiteral("admin"), QStringLiteral("--secret"),
                                 QStringLiteral("s3cret")};

// Short enough for a test, long enough that each step is its own burst. The
// first call comes after the client's login, however long that took.
const QStringList quickCalls = {
    QStringLiteral("--ring-time"),        QStringLiteral("0.3"), QStringLiteral("--talk-time"),  QStringLiteral("0.5"),
    QStringLiteral("--call-interval"),    QStringLiteral("0.3"), QStringLiteral("--first-call"), QStringLiteral("0.2"),
    QStringLiteral("--calls-after-login")};

QByteArray valueAfter(const QByteArray& text, const QByteArray& prefix)
{
    const qsizetype at = text.indexOf(prefix);
    if (at < 0)
        return {};
    const qsizetype start = at + prefix.size();
    return text.mid(start, text.indexOf("\r\n", start) - start);
}

// Feeds each block the manager sent to the program's interpretation, one
// reception per block.
void interpretStream(const QByteArray& stream, const QByteArray& extension, CardRecorder& cards)
{
    ClassicEventInterpreter interpreter(
        cards, [extension] { return extension; }, [](const QByteArray&) {});
    pbxsim::ActionReader reader;
    for (const pbxsim::ReceivedAction& block : reader.feed(stream))
        interpreter.interpret(block.raw);
}

} // namespace

TEST(SimulatorProcess, FirstLine_GivesThePortAndTheClientGetsTheBanner)
{
    SimulatorProcess simulator(credentials);
    ASSERT_TRUE(simulator.start());
    ManagerClient client;
    ASSERT_TRUE(client.connectTo(simulator.port()));
    ASSERT_TRUE(client.waitFor("\r\n"));
    EXPECT_EQ(client.take(), QByteArray("Asterisk Call Manager/1.1\r\n"));
}

TEST(SimulatorProcess, Banner_NamesTheProtocolOfTheStyle)
{
    const struct
    {
        QStringList arguments;
        QByteArray banner;
    } cases[] = {
        {{QStringLiteral("--style"), QStringLiteral("modern")}, "Asterisk Call Manager/5.0.1\r\n"},
        {{QStringLiteral("--style"), QStringLiteral("old")}, "Asterisk Call Manager/1.1\r\n"},
    };
    for (const auto& row : cases) {
        SimulatorProcess simulator(credentials + row.arguments);
        ASSERT_TRUE(simulator.start());
        ManagerClient client;
        ASSERT_TRUE(client.connectTo(simulator.port()));
        ASSERT_TRUE(client.waitFor("\r\n"));
        EXPECT_EQ(client.take(), row.banner);
    }
}

TEST(SimulatorProcess, ModernCalls_RingThePjsipPhoneAndEndWithHangupsInStateUp)
{
    SimulatorProcess simulator(credentials + quickCalls +
                               QStringList{QStringLiteral("--calls"), QStringLiteral("modern"),
                                           QStringLiteral("--technology"), QStringLiteral("PJSIP"),
                                           QStringLiteral("--extension"), QStringLiteral("205")});
    ASSERT_TRUE(simulator.start());
    ManagerClient client;
    ASSERT_TRUE(client.connectTo(simulator.port()));
    ASSERT_TRUE(client.waitFor("Asterisk Call Manager/5.0.1\r\n"));
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.waitForCount("Event: Hangup\r\n", 2, 20000));
    ASSERT_TRUE(client.waitFor("Cause-txt: Normal Clearing\r\n\r\n"));
    for (const char* expected :
         {"Event: FullyBooted\r\n", "Event: VarSet\r\n", "Event: DialBegin\r\n", "DestChannel: PJSIP/205-",
          "Event: BridgeEnter\r\n", "Event: Hangup\r\nPrivilege: call,all\r\nChannel: PJSIP/205-",
          "ChannelState: 6\r\nChannelStateDesc: Up\r\n"}) {
        EXPECT_TRUE(client.received().contains(expected)) << expected;
    }
}

TEST(SimulatorProcess, CallsAfterLogin_AClientThatLogsInLateSeesTheFirstCallWhole)
{
    // Counted from the start, this call would be over within a fifth of a
    // second, long before the client logs in.
    SimulatorProcess simulator(credentials + QStringList{QStringLiteral("--calls"), QStringLiteral("new"),
                                                         QStringLiteral("--first-call"), QStringLiteral("0"),
                                                         QStringLiteral("--ring-time"), QStringLiteral("0.1"),
                                                         QStringLiteral("--talk-time"), QStringLiteral("0.1"),
                                                         QStringLiteral("--call-interval"), QStringLiteral("600"),
                                                         QStringLiteral("--calls-after-login")});
    ASSERT_TRUE(simulator.start());
    ManagerClient client;
    ASSERT_TRUE(client.connectTo(simulator.port()));
    ASSERT_TRUE(client.waitFor("Asterisk Call Manager/1.1\r\n"));
    testsupport::spinEventLoop(1000);
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.waitForCount("Event: Hangup\r\n", 2, 60000));
    const QByteArray events = client.received();
    EXPECT_TRUE(events.contains("Event: Newchannel\r\nPrivilege: call,all\r\nChannel: SIP/100-")) << events.constData();
    EXPECT_TRUE(events.contains("Ringing\r\n")) << events.constData();
}

TEST(SimulatorProcess, PlainLogin_WithAWrongSecretIsRefusedAndClosed_ANewSessionLogsIn)
{
    // As Asterisk does: the answer, then the end of the session.
    SimulatorProcess simulator(credentials);
    ASSERT_TRUE(simulator.start());
    ManagerClient refused;
    ASSERT_TRUE(refused.connectTo(simulator.port()));
    refused.send("Action: Login\r\nUserName: admin\r\nSecret: wrong\r\nEvents: On\r\n\r\n");
    ASSERT_TRUE(refused.waitFor("Response: Error\r\nMessage: Authentication failed\r\n\r\n"));
    EXPECT_TRUE(refused.waitForClosed());
    ManagerClient client;
    ASSERT_TRUE(client.connectTo(simulator.port()));
    EXPECT_TRUE(client.login());
}

TEST(SimulatorProcess, Md5Login_WithTheKeyOfTheProjectDigest_IsAccepted)
{
    SimulatorProcess simulator(credentials);
    ASSERT_TRUE(simulator.start());
    ManagerClient client;
    ASSERT_TRUE(client.connectTo(simulator.port()));
    client.send("Action: Challenge\r\nAuthType: MD5\r\n\r\n");
    ASSERT_TRUE(client.waitFor("Challenge: "));
    ASSERT_TRUE(client.waitFor("\r\n\r\n"));
    const QByteArray challenge = valueAfter(client.take(), "Challenge: ");
    ASSERT_FALSE(challenge.isEmpty());
    const QByteArray key = DigestHex(TextDigest(challenge + "s3cret"));
    client.send("Action: Login\r\nAuthType: MD5\r\nUserName: admin\r\nKey: " + key + "\r\nEvents: On\r\n\r\n");
    EXPECT_TRUE(client.waitFor("Response: Success\r\nMessage: Authentication accepted\r\n\r\n"));
}

TEST(SimulatorProcess, Ping_IsAnsweredWithPong)
{
    SimulatorProcess simulator(credentials);
    ASSERT_TRUE(simulator.start());
    ManagerClient client;
    ASSERT_TRUE(client.connectTo(simulator.port()));
    ASSERT_TRUE(client.login());
    client.send("Action: Ping\r\nParameters: None\r\n\r\n");
    EXPECT_TRUE(client.waitFor("Response: Success\r\nPing: Pong\r\n"));
}

TEST(SimulatorProcess, Originate_ProducesTheEventsOfTheCallAndHangupEndsIt)
{
    SimulatorProcess simulator(credentials + QStringList{QStringLiteral("--ring-time"), QStringLiteral("0.3"),
                                                         QStringLiteral("--talk-time"), QStringLiteral("60")});
    ASSERT_TRUE(simulator.start());
    ManagerClient client;
    ASSERT_TRUE(client.connectTo(simulator.port()));
    ASSERT_TRUE(client.login());
    client.send("Action: Originate\r\nChannel: SIP/100\r\nContext: from-internal\r\nExten: 0123456789\r\n"
                "Priority: 1\r\nTimeout: 30000\r\nCallerId: 100\r\nAsync: yes\r\n\r\n");
    ASSERT_TRUE(client.waitFor("Message: Originate successfully queued\r\n"));
    ASSERT_TRUE(client.waitFor("Bridgestate: Link\r\n"));
    const QByteArray events = client.take();
    const QByteArray phone = valueAfter(events, "Event: Newchannel\r\nPrivilege: call,all\r\nChannel: ");
    ASSERT_TRUE(phone.startsWith("SIP/100-")) << phone.constData();
    const QByteArray phoneBlock = events.mid(events.indexOf("Channel: " + phone));
    const QByteArray uniqueId = valueAfter(phoneBlock, "Uniqueid: ");
    EXPECT_TRUE(events.contains("Channel: " + phone + "\r\nChannelState: 5\r\nChannelStateDesc: Ringing\r\n"));
    EXPECT_TRUE(events.contains("Channel: " + phone + "\r\nChannelState: 6\r\nChannelStateDesc: Up\r\n"));
    EXPECT_TRUE(events.contains("Destination: SIP/ovh-"));
    EXPECT_TRUE(events.contains("Dialstring: ovh/0123456789\r\n"));

    client.send("Action: Hangup\r\nChannel: " + phone + "\r\n\r\n");
    ASSERT_TRUE(client.waitFor("Event: Hangup\r\nPrivilege: call,all\r\nChannel: " + phone + "\r\n"));
    ASSERT_TRUE(client.waitFor("Cause-txt: Normal Clearing\r\n\r\n"));
    const QByteArray hangup = client.take();
    EXPECT_TRUE(hangup.startsWith("Response: Success\r\nMessage: Channel Hungup\r\n\r\n"));
    EXPECT_TRUE(hangup.contains("Channel: " + phone + "\r\nUniqueid: " + uniqueId + "\r\n"));
}

TEST(SimulatorProcess, SeveralClients_AreServedAtOnceAndAllSeeTheEvents)
{
    SimulatorProcess simulator(credentials);
    ASSERT_TRUE(simulator.start());
    ManagerClient clients[3];
    for (ManagerClient& client : clients) {
        ASSERT_TRUE(client.connectTo(simulator.port()));
        ASSERT_TRUE(client.login());
    }
    clients[1].send("Action: Ping\r\n\r\n");
    ASSERT_TRUE(clients[1].waitFor("Ping: Pong"));
    EXPECT_FALSE(clients[0].received().contains("Ping: Pong"));
    clients[2].send("Action: Originate\r\nChannel: SIP/100\r\nContext: from-internal\r\nExten: 201\r\n\r\n");
    for (ManagerClient& client : clients)
        EXPECT_TRUE(client.waitFor("Event: Newchannel\r\nPrivilege: call,all\r\nChannel: SIP/100-"));
}

TEST(SimulatorProcess, EventsOff_KeepsTheClientQuiet)
{
    SimulatorProcess simulator(credentials);
    ASSERT_TRUE(simulator.start());
    ManagerClient quiet;
    ManagerClient listening;
    ASSERT_TRUE(quiet.connectTo(simulator.port()));
    ASSERT_TRUE(listening.connectTo(simulator.port()));
    quiet.send("Action: Login\r\nUserName: admin\r\nSecret: s3cret\r\nEvents: off\r\n\r\n");
    ASSERT_TRUE(quiet.waitFor("Authentication accepted"));
    ASSERT_TRUE(listening.login());
    quiet.send("Action: Originate\r\nChannel: SIP/100\r\nContext: from-internal\r\nExten: 201\r\n\r\n");
    ASSERT_TRUE(quiet.waitFor("Originate successfully queued"));
    ASSERT_TRUE(listening.waitFor("Event: Newstate"));
    quiet.send("Action: Ping\r\n\r\n");
    ASSERT_TRUE(quiet.waitFor("Ping: Pong"));
    EXPECT_FALSE(quiet.received().contains("Event:"));
}

class ScriptedCalls : public ::testing::TestWithParam<const char*>
{
};

// The loop of incoming calls, read by the program's own interpretation: a
// ringing card, then the same card answered, then no card; the fourth call is
// never answered and only rings.
TEST_P(ScriptedCalls, GiveRingingThenAnsweredThenNoCardForTheExtension)
{
    SimulatorProcess simulator(credentials + quickCalls +
                               QStringList{QStringLiteral("--calls"), QString::fromLatin1(GetParam()),
                                           QStringLiteral("--extension"), QStringLiteral("205")});
    ASSERT_TRUE(simulator.start());
    ManagerClient client;
    ASSERT_TRUE(client.connectTo(simulator.port()));
    ASSERT_TRUE(client.login());
    // Four calls: three answered and one that only rings, each ending with two hang-ups.
    ASSERT_TRUE(client.waitForCount("Event: Hangup\r\n", 8, 60000));
    ASSERT_TRUE(client.waitFor("Cause-txt: Normal Clearing\r\n\r\n"));

    CardRecorder cards;
    interpretStream(client.received(), "205", cards);
    ASSERT_GE(cards.changes().size(), 11) << cards.changes().join(", ").constData();
    QByteArrayList expected;
    for (int call = 0; call < 4; ++call) {
        const QByteArray key = cards.changes()[call * 3].mid(8);
        expected += "ringing " + key;
        if (call != 3)
            expected += "answered " + key;
        expected += "removed " + key;
    }
    EXPECT_EQ(cards.changes().mid(0, expected.size()), expected);
    EXPECT_EQ(cards.firstCard().number, QByteArray("0612345678"));
    EXPECT_EQ(cards.firstCard().sda, QByteArray("0491234500"));
    EXPECT_TRUE(cards.firstCard().channel.startsWith("205-"));
    const bool old = QByteArray(GetParam()) == "old";
    EXPECT_EQ(client.received().contains("State: Ringing\r\nCallerID: 0612345678\r\n"), old);
    EXPECT_EQ(client.received().contains("ChannelStateDesc: Ringing\r\n"), !old);
    EXPECT_EQ(client.received().contains("ConnectedLineNum: 0612345678\r\n"), !old);
}

INSTANTIATE_TEST_SUITE_P(HeaderStyles, ScriptedCalls, ::testing::Values("old", "new"),
                         [](const auto& info) { return std::string(info.param); });

TEST(SimulatorProcess, Replay_SendsTheTranscriptAfterTheLoginOnly)
{
    TempDataFolder dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray transcript("Event: Newstate\r\nPrivilege: call,all\r\nChannel: SIP/100-0000002a\r\n"
                                "State: Ringing\r\nCallerID: 0612345678\r\nCallerIDName: 0491234500\r\n"
                                "Uniqueid: 1354321234.42\r\n\r\n"
                                "Event: Hangup\r\nPrivilege: call,all\r\nChannel: SIP/100-0000002a\r\n"
                                "Uniqueid: 1354321234.42\r\nCause: 16\r\n\r\n");
    ASSERT_TRUE(dir.write(QStringLiteral("transcript.txt"), transcript));

    SimulatorProcess simulator(credentials +
                               QStringList{QStringLiteral("--replay"), dir.filePath(QStringLiteral("transcript.txt"))});
    ASSERT_TRUE(simulator.start());
    ManagerClient client;
    ASSERT_TRUE(client.connectTo(simulator.port()));
    client.send("Action: Ping\r\n\r\n");
    ASSERT_TRUE(client.waitFor("Permission denied"));
    EXPECT_FALSE(client.received().contains("Event: Newstate"));
    client.take();
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.waitFor("Cause: 16\r\n\r\n"));
    EXPECT_TRUE(client.take().contains(transcript));
}

TEST(SimulatorProcess, Log_RecordsEveryActionVerbatim)
{
    TempDataFolder dir;
    ASSERT_TRUE(dir.isValid());
    SimulatorProcess simulator(credentials, dir.filePath(QStringLiteral("actions.log")));
    ASSERT_TRUE(simulator.start());
    ManagerClient client;
    ASSERT_TRUE(client.connectTo(simulator.port()));
    const QByteArray login("Action: Login\r\nUserName: admin\r\nSecret: s3cret\r\nEvents: On\r\n\r\n");
    const QByteArray ping("Action: Ping\nParameters: None\n\n");
    client.send(login);
    ASSERT_TRUE(client.waitFor("Authentication accepted"));
    client.send(ping);
    ASSERT_TRUE(client.waitFor("Ping: Pong"));
    EXPECT_TRUE(testsupport::waitFor([&] { return simulator.log().size() >= login.size() + ping.size(); }));
    EXPECT_EQ(simulator.log(), login + ping);
}

TEST(SimulatorProcess, Sigterm_StopsTheProgramCleanly)
{
    SimulatorProcess simulator(credentials);
    ASSERT_TRUE(simulator.start());
    ManagerClient client;
    ASSERT_TRUE(client.connectTo(simulator.port()));
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(simulator.stop());
    EXPECT_EQ(simulator.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(simulator.process().exitCode(), 0);
}

TEST(SimulatorProcess, Sigint_StopsTheProgramCleanly)
{
    SimulatorProcess simulator(credentials);
    ASSERT_TRUE(simulator.start());
    ASSERT_EQ(::kill(static_cast<pid_t>(simulator.process().processId()), SIGINT), 0);
    ASSERT_TRUE(simulator.process().waitForFinished(10000));
    EXPECT_EQ(simulator.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(simulator.process().exitCode(), 0);
}

TEST(SimulatorProcess, Logoff_SaysGoodbyeAndClosesTheConnection)
{
    SimulatorProcess simulator(credentials);
    ASSERT_TRUE(simulator.start());
    ManagerClient client;
    ASSERT_TRUE(client.connectTo(simulator.port()));
    ASSERT_TRUE(client.login());
    client.send("Action: Logoff\r\n\r\n");
    EXPECT_TRUE(client.waitFor("Response: Goodbye\r\nMessage: Thanks for all the fish.\r\n\r\n"));
    EXPECT_TRUE(client.waitForClosed());
    ManagerClient next;
    ASSERT_TRUE(next.connectTo(simulator.port()));
    EXPECT_TRUE(next.login()) << "the simulator goes on serving";
}

TEST(SimulatorProcess, BadOption_IsRefusedWithAMessage)
{
    QProcess process;
    process.start(SimulatorProcess::program(), {QStringLiteral("--calls"), QStringLiteral("sometimes")});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardError().contains("--calls takes old, new or none"));
}

TEST(SimulatorProcess, PortInUse_IsReportedAndTheProgramEnds)
{
    SimulatorProcess first(credentials);
    ASSERT_TRUE(first.start());
    QProcess second;
    second.start(SimulatorProcess::program(), {QStringLiteral("--port"), QString::number(first.port())});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    EXPECT_FALSE(second.readAllStandardError().isEmpty());
}
