#include "sessionprobe.h"
#include "supervision/md5.h"
#include "waitfor.h"

#include <gtest/gtest.h>

using namespace pbxsim;

namespace {

class ManagerSessionTest : public ::testing::Test
{
protected:
    ManagerSessionTest() : pbx(HeaderStyle::New, CallTimings{200, 400, 200}) { settings = {"admin", "s3cret", {}, 10}; }

    SimulatedPbx pbx;
    SessionSettings settings;
};

} // namespace

TEST_F(ManagerSessionTest, Start_SendsTheBanner)
{
    SessionProbe probe(pbx, settings);
    EXPECT_EQ(probe.take(), QByteArray("Asterisk Call Manager/1.1\r\n"));
}

TEST(ManagerSessionBanner, NamesTheProtocolOfTheStyle)
{
    const struct
    {
        HeaderStyle style;
        QByteArray banner;
    } cases[] = {
        {HeaderStyle::Old, "Asterisk Call Manager/1.1\r\n"},
        {HeaderStyle::New, "Asterisk Call Manager/1.1\r\n"},
        {HeaderStyle::Modern, "Asterisk Call Manager/5.0.1\r\n"},
    };
    for (const auto& style : cases) {
        SimulatedPbx pbx(style.style, CallTimings{});
        const SessionSettings settings{"admin", "s3cret", {}, 10};
        SessionProbe probe(pbx, settings);
        EXPECT_EQ(probe.take(), style.banner);
    }
}

TEST_F(ManagerSessionTest, PlainLogin_WithTheRightSecret_IsAccepted)
{
    SessionProbe probe(pbx, settings);
    probe.take();
    probe.send("Action: Login\r\nUserName: admin\r\nSecret: s3cret\r\nEvents: off\r\n\r\n");
    EXPECT_EQ(probe.take(), QByteArray("Response: Success\r\nMessage: Authentication accepted\r\n\r\n"));
    EXPECT_TRUE(probe.session().loggedIn());
}

TEST_F(ManagerSessionTest, PlainLogin_WithAWrongSecret_FailsAndTheSessionStaysUsable)
{
    SessionProbe probe(pbx, settings);
    probe.take();
    probe.send("Action: Login\r\nUserName: admin\r\nSecret: guess\r\n\r\n");
    EXPECT_EQ(probe.take(), QByteArray("Response: Error\r\nMessage: Authentication failed\r\n\r\n"));
    EXPECT_FALSE(probe.session().loggedIn());
    probe.send("Action: Login\r\nUserName: admin\r\nSecret: s3cret\r\n\r\n");
    EXPECT_EQ(headerIn(probe.take(), "Message"), QByteArray("Authentication accepted"));
}

TEST_F(ManagerSessionTest, PlainLogin_MatchesTheUserNameWithoutCaseButNotTheSecret)
{
    SessionProbe probe(pbx, settings);
    probe.take();
    probe.send("Action: Login\r\nUserName: ADMIN\r\nSecret: S3CRET\r\n\r\n");
    EXPECT_EQ(headerIn(probe.take(), "Message"), QByteArray("Authentication failed"));
    probe.send("Action: Login\r\nUserName: ADMIN\r\nSecret: s3cret\r\n\r\n");
    EXPECT_EQ(headerIn(probe.take(), "Message"), QByteArray("Authentication accepted"));
}

TEST_F(ManagerSessionTest, PlainLogin_WithAnotherUser_Fails)
{
    SessionProbe probe(pbx, settings);
    probe.send("Action: Login\r\nUserName: root\r\nSecret: s3cret\r\n\r\n");
    EXPECT_TRUE(probe.all().contains("Message: Authentication failed"));
}

TEST_F(ManagerSessionTest, Md5Login_WithTheKeyOfTheIssuedChallenge_IsAccepted)
{
    SessionProbe probe(pbx, settings);
    probe.take();
    probe.send("Action: Challenge\r\nAuthType: MD5\r\n\r\n");
    const QByteArray reply = probe.take();
    EXPECT_TRUE(reply.startsWith("Response: Success\r\nChallenge: "));
    const QByteArray challenge = headerIn(reply, "Challenge");
    ASSERT_FALSE(challenge.isEmpty());
    for (const char c : challenge)
        EXPECT_TRUE(c >= '0' && c <= '9');
    const QByteArray key = DigestHex(TextDigest(challenge + "s3cret"));
    probe.send("Action: Login\r\nAuthType: MD5\r\nUserName: admin\r\nKey: " + key + "\r\nEvents: On\r\n\r\n");
    EXPECT_TRUE(probe.take().startsWith("Response: Success\r\nMessage: Authentication accepted\r\n\r\n"));
    EXPECT_TRUE(probe.session().loggedIn());
}

TEST_F(ManagerSessionTest, Md5Login_WithAWrongKeyOrWithoutChallenge_Fails)
{
    SessionProbe probe(pbx, settings);
    const QByteArray keyWithoutChallenge = DigestHex(TextDigest("s3cret"));
    probe.send("Action: Login\r\nAuthType: MD5\r\nUserName: admin\r\nKey: " + keyWithoutChallenge + "\r\n\r\n");
    EXPECT_TRUE(probe.all().contains("Message: Authentication failed"));
    probe.send("Action: Challenge\r\nAuthType: MD5\r\n\r\n");
    const QByteArray challenge = headerIn(probe.take(), "Challenge");
    probe.send("Action: Login\r\nAuthType: MD5\r\nUserName: admin\r\nKey: " +
               DigestHex(TextDigest(challenge + "wrong")) + "\r\n\r\n");
    EXPECT_EQ(headerIn(probe.take(), "Message"), QByteArray("Authentication failed"));
    EXPECT_FALSE(probe.session().loggedIn());
}

TEST_F(ManagerSessionTest, SecondChallenge_OnTheSameConnection_GivesTheSameText)
{
    SessionProbe probe(pbx, settings);
    probe.send("Action: Challenge\r\nAuthType: MD5\r\n\r\n");
    const QByteArray first = headerIn(probe.take(), "Challenge");
    probe.send("Action: Challenge\r\nAuthType: md5\r\n\r\n");
    EXPECT_EQ(headerIn(probe.take(), "Challenge"), first);
}

TEST_F(ManagerSessionTest, ChallengeWithoutMd5_IsRefused)
{
    SessionProbe probe(pbx, settings);
    probe.take();
    probe.send("Action: Challenge\r\n\r\n");
    EXPECT_EQ(probe.take(), QByteArray("Response: Error\r\nMessage: Must specify AuthType\r\n\r\n"));
}

TEST_F(ManagerSessionTest, Ping_AnswersPongWithTheActionId)
{
    SessionProbe probe(pbx, settings);
    probe.login();
    probe.send("Action: Ping\r\nActionID: 42\r\nParameters: None\r\n\r\n");
    const QByteArray reply = probe.take();
    EXPECT_TRUE(reply.startsWith("Response: Success\r\nActionID: 42\r\nPing: Pong\r\n"));
    EXPECT_TRUE(reply.endsWith("\r\n\r\n"));
}

TEST_F(ManagerSessionTest, ActionsBeforeLogin_AreRefused)
{
    SessionProbe probe(pbx, settings);
    probe.take();
    probe.send("Action: Ping\r\n\r\n");
    EXPECT_EQ(probe.take(), QByteArray("Response: Error\r\nMessage: Permission denied\r\n\r\n"));
}

TEST_F(ManagerSessionTest, UnknownAction_GetsTheInvalidCommandError)
{
    SessionProbe probe(pbx, settings);
    probe.login();
    probe.send("Action: Reboot\r\n\r\n");
    EXPECT_EQ(probe.take(), QByteArray("Response: Error\r\nMessage: Invalid/unknown command\r\n\r\n"));
}

TEST_F(ManagerSessionTest, BlockWithoutAction_IsReportedMissing)
{
    SessionProbe probe(pbx, settings);
    probe.take();
    probe.send("Channel: SIP/100\r\n\r\n");
    EXPECT_EQ(headerIn(probe.take(), "Message"), QByteArray("Missing action in request"));
}

// The dial window logs in again with "Events: off" before each call; the open
// session must keep receiving its events, as with Asterisk.
TEST_F(ManagerSessionTest, RepeatedLogin_KeepsTheFirstEventsSetting)
{
    SessionProbe probe(pbx, settings);
    probe.login("on");
    probe.send("Action: Login\r\nUserName: admin\r\nSecret: s3cret\r\nEvents: off\r\n\r\n");
    EXPECT_EQ(headerIn(probe.take(), "Message"), QByteArray("Already authenticated"));
    pbx.incomingCall("0612345678", "0491234500", "100");
    EXPECT_TRUE(probe.take().contains("Event: Newstate"));
}

TEST_F(ManagerSessionTest, Events_AreSentOnlyToLoggedInClientsWithEventsOn)
{
    SessionProbe anonymous(pbx, settings);
    SessionProbe quiet(pbx, settings);
    SessionProbe listening(pbx, settings);
    quiet.login("off");
    listening.login("on");
    anonymous.take();
    pbx.incomingCall("0612345678", "0491234500", "100");
    EXPECT_TRUE(listening.waitFor("Channel: SIP/100-"));
    EXPECT_TRUE(anonymous.take().isEmpty());
    EXPECT_TRUE(quiet.take().isEmpty());
}

TEST_F(ManagerSessionTest, EventClassList_LetsOnlyThoseClassesThrough)
{
    SessionProbe probe(pbx, settings);
    probe.login("dialplan");
    pbx.incomingCall("0612345678", "0491234500", "100");
    const QByteArray text = probe.take();
    EXPECT_TRUE(text.contains("Event: Newexten"));
    EXPECT_FALSE(text.contains("Event: Newstate"));
}

TEST_F(ManagerSessionTest, EventsAction_SwitchesTheStreamOffAndOn)
{
    SessionProbe probe(pbx, settings);
    probe.login();
    probe.send("Action: Events\r\nEventMask: off\r\n\r\n");
    EXPECT_EQ(probe.take(), QByteArray("Response: Success\r\nEvents: Off\r\n\r\n"));
    pbx.incomingCall("0612345678", "0491234500", "100");
    EXPECT_TRUE(probe.take().isEmpty());
    probe.send("Action: Events\r\nEventMask: on\r\n\r\n");
    EXPECT_EQ(probe.take(), QByteArray("Response: Success\r\nEvents: On\r\n\r\n"));
}

TEST_F(ManagerSessionTest, EveryAction_IsReportedVerbatim)
{
    SessionProbe probe(pbx, settings);
    probe.send("Action: Challenge\nAuthType: MD5\n\n");
    probe.send("Action: Ping\r\nParameters: None\r\n\r\n");
    EXPECT_EQ(probe.actionsLogged(),
              QByteArrayList({"Action: Challenge\nAuthType: MD5\n\n", "Action: Ping\r\nParameters: None\r\n\r\n"}));
}

TEST_F(ManagerSessionTest, Logoff_SaysGoodbyeAndFinishes)
{
    SessionProbe probe(pbx, settings);
    probe.take();
    probe.send("Action: Logoff\r\n\r\n");
    EXPECT_EQ(probe.take(), QByteArray("Response: Goodbye\r\nMessage: Thanks for all the fish.\r\n\r\n"));
    EXPECT_TRUE(probe.finished());
}

TEST_F(ManagerSessionTest, Replay_SendsTheTranscriptBlocksAfterTheLogin)
{
    settings.replayBlocks = {"Event: Newstate\r\nState: Ring\r\n\r\n", "Event: Hangup\r\n\r\n"};
    SessionProbe probe(pbx, settings);
    probe.take();
    probe.send("Action: Login\r\nUserName: admin\r\nSecret: s3cret\r\n\r\n");
    ASSERT_TRUE(probe.waitFor("Event: Hangup\r\n\r\n"));
    EXPECT_EQ(probe.take(), QByteArray("Response: Success\r\nMessage: Authentication accepted\r\n\r\n"
                                       "Event: FullyBooted\r\nPrivilege: system,all\r\nStatus: Fully Booted\r\n\r\n"
                                       "Event: Newstate\r\nState: Ring\r\n\r\nEvent: Hangup\r\n\r\n"));
}

TEST_F(ManagerSessionTest, Replay_IsNotSentBeforeALogin)
{
    settings.replayBlocks = {"Event: Hangup\r\n\r\n"};
    SessionProbe probe(pbx, settings);
    probe.send("Action: Login\r\nUserName: admin\r\nSecret: nope\r\n\r\n");
    testsupport::spinEventLoop(100);
    EXPECT_FALSE(probe.all().contains("Event: Hangup"));
}
