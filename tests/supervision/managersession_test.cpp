// The manager session without any window, against a scripted manager on
// loopback: what the manager answers decides the session's state and cards.
#include "cardrecorder.h"
#include "net/tncnx.h"
#include "scriptedmanager.h"
#include "supervision/livechannellist.h"
#include "supervision/managersession.h"
#include "supervision/md5.h"
#include "waitfor.h"

#include <gtest/gtest.h>

namespace {

const QByteArray Challenge = QByteArrayLiteral("5551212");
const QByteArray Secret = QByteArrayLiteral("s3cret");

class SessionOnLoopback : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = QString::number(manager.port());
        settings.loginAction = QStringLiteral("Login");
        settings.userName = QStringLiteral("corvaline");
        settings.secret = QString::fromLatin1(Secret);
        settings.events = QStringLiteral("On");
        settings.modern = true;
        settings.extension = QStringLiteral("100");
        settings.keepAliveAction = QStringLiteral("Ping");
        settings.keepAliveParameters = QStringLiteral("None");
        session.setSettingsSource([this] { return settings; });
        session.callCards = &cards;
        QObject::connect(&session, &ManagerSession::memoLine, [this](const QString& line) { memo.append(line); });
        QObject::connect(&session, &ManagerSession::sessionStateChanged,
                         [this](ManagerSessionState state, const QString&) { states.append(state); });
    }

    // Connects and waits for the session to open; the login goes out by itself.
    bool open()
    {
        session.connectToManager();
        return testsupport::waitFor([&] { return session.telnet()->SessionOpen(); });
    }
    bool waitForState(ManagerSessionState state)
    {
        return testsupport::waitFor([&] { return states.contains(state); });
    }

    ScriptedManager manager;
    ManagerSessionSettings settings;
    CardRecorder cards;
    ManagerSession session;
    QStringList memo;
    QList<ManagerSessionState> states;
};

struct LoginCase
{
    const char* name;
    QByteArray answer;
    ManagerSessionState state;
    bool sessionCard;
};

class LoginAnswer : public SessionOnLoopback, public ::testing::WithParamInterface<LoginCase>
{
};

TEST_P(LoginAnswer, DecidesTheStateAndTheSessionCard)
{
    cards.AddRingingCard({}, "/ Attention", ManagerSession::DisconnectionKey, "00");
    manager.setAnswer([](const QByteArray& action) {
        return action.startsWith("Action: Login\r\n") ? GetParam().answer : ScriptedManager::standardAnswer(action);
    });
    ASSERT_TRUE(open());
    ASSERT_TRUE(waitForState(GetParam().state));
    EXPECT_EQ(session.isLoggedIn(), GetParam().state == ManagerSessionState::LoggedIn);
    EXPECT_EQ(cards.HasCallCard(ManagerSession::DisconnectionKey), GetParam().sessionCard);
    EXPECT_EQ(memo.contains(QStringLiteral("*** CONNEXION REFUSEE ***")), GetParam().sessionCard);
    // Only an accepted login asks for the live channels.
    if (GetParam().state == ManagerSessionState::LoggedIn) {
        EXPECT_TRUE(testsupport::waitFor([&] { return manager.received().contains("Action: Status\r\n"); }));
    } else {
        testsupport::spinEventLoop(100);
        EXPECT_FALSE(manager.received().contains("Action: Status\r\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LoginAnswer,
    ::testing::Values(LoginCase{"Accepted", "Response: Success\r\nMessage: Authentication accepted\r\n\r\n",
                                ManagerSessionState::LoggedIn, false},
                      LoginCase{"Refused", "Response: Error\r\nMessage: Authentication failed\r\n\r\n",
                                ManagerSessionState::Refused, true}),
    [](const ::testing::TestParamInfo<LoginCase>& info) { return std::string(info.param.name); });

TEST_F(SessionOnLoopback, Md5Login_SendsTheDigestOfTheChallengeAndNeverTheSecret)
{
    settings.md5Login = true;
    manager.setAnswer([](const QByteArray& action) -> QByteArray {
        if (action.startsWith("Action: Challenge\r\n"))
            return "Response: Success\r\nChallenge: " + Challenge + "\r\n\r\n";
        if (action.startsWith("Action: Login\r\n"))
            return action.contains("Key: " + DigestHex(TextDigest(Challenge + Secret))) ? "Response: Success\r\n\r\n"
                                                                                        : "Response: Error\r\n\r\n";
        return ScriptedManager::standardAnswer(action);
    });
    ASSERT_TRUE(open());
    ASSERT_TRUE(waitForState(ManagerSessionState::LoggedIn));
    EXPECT_EQ(session.challenge(), Challenge);
    EXPECT_TRUE(manager.received().contains("AuthType: MD5\r\n"));
    EXPECT_FALSE(manager.received().contains(Secret));
}

struct BannerCase
{
    const char* name;
    QByteArray banner;
    bool modern;
    bool blindTransfer;
};

class Banner : public SessionOnLoopback, public ::testing::WithParamInterface<BannerCase>
{
};

TEST_P(Banner, VersionAndModeDecideBlindTransfer)
{
    manager.setBanner(GetParam().banner);
    settings.modern = GetParam().modern;
    ASSERT_TRUE(open());
    ASSERT_TRUE(waitForState(ManagerSessionState::LoggedIn));
    EXPECT_EQ(session.blindTransferAvailable(), GetParam().blindTransfer);
}

INSTANTIATE_TEST_SUITE_P(
    Managers, Banner,
    ::testing::Values(BannerCase{"Asterisk11", "Asterisk Call Manager/1.3\r\n", true, false},
                      BannerCase{"Asterisk13Modern", "Asterisk Call Manager/2.10.4\r\n", true, true},
                      BannerCase{"Asterisk13Classic", "Asterisk Call Manager/2.10.4\r\n", false, false},
                      BannerCase{"Asterisk20Modern", "Asterisk Call Manager/9.0.0\r\n", true, true},
                      BannerCase{"NoBanner", "Welcome\r\n", true, false}),
    [](const ::testing::TestParamInfo<BannerCase>& info) { return std::string(info.param.name); });

TEST_F(SessionOnLoopback, SilentLink_IsClosedAtTheSecondKeepAliveWithoutAnswer)
{
    manager.setAnswer([](const QByteArray& action) {
        return action.startsWith("Action: Ping\r\n") ? QByteArray() : ScriptedManager::standardAnswer(action);
    });
    ASSERT_TRUE(open());
    ASSERT_TRUE(waitForState(ManagerSessionState::LoggedIn));
    ASSERT_TRUE(testsupport::waitFor([&] { return manager.received().contains("ActionID: corvaline-status"); }));
    testsupport::spinEventLoop(200); // the live channels' answer is in
    session.keepAliveTick();
    ASSERT_TRUE(testsupport::waitFor([&] { return manager.received().contains("Action: Ping\r\n"); }));
    EXPECT_TRUE(session.telnet()->SessionOpen()) << "one keep-alive without answer yet";
    session.keepAliveTick();
    EXPECT_TRUE(memo.contains(QStringLiteral("*** PAS DE REPONSE ***")));
    ASSERT_TRUE(waitForState(ManagerSessionState::Disconnected));
    EXPECT_TRUE(cards.HasCallCard(ManagerSession::DisconnectionKey));
}

TEST_F(SessionOnLoopback, LiveChannelList_RemovesTheCardsOfCallsThatEndedWhileDown)
{
    cards.AddRingingCard("201", "", "1.1", "SIP/100-1");
    cards.AddRingingCard("202", "", "2.2", "SIP/100-2");
    manager.setAnswer([](const QByteArray& action) -> QByteArray {
        if (!action.startsWith("Action: Status\r\n"))
            return ScriptedManager::standardAnswer(action);
        return "Response: Success\r\nActionID: " + LiveChannelList::ActionId +
               "\r\n\r\nEvent: Status\r\nChannel: SIP/100-2\r\nUniqueid: 2.2\r\nActionID: " +
               LiveChannelList::ActionId + "\r\n\r\nEvent: StatusComplete\r\nActionID: " + LiveChannelList::ActionId +
               "\r\nItems: 1\r\n\r\n";
    });
    ASSERT_TRUE(open());
    ASSERT_TRUE(testsupport::waitFor([&] { return !cards.HasCallCard("1.1"); }));
    EXPECT_TRUE(cards.HasCallCard("2.2"));
}

TEST_F(SessionOnLoopback, OneSender_ActionsWaitForWhatTheyNeed)
{
    manager.setAnswer([](const QByteArray& action) {
        return action.startsWith("Action: Login\r\n") ? QByteArray() : ScriptedManager::standardAnswer(action);
    });
    EXPECT_FALSE(session.send("Action: Ping\r\n\r\n", ManagerSession::Needs::OpenSession));
    ASSERT_TRUE(open());
    EXPECT_FALSE(session.send("Action: Originate\r\n\r\n", ManagerSession::Needs::Login)) << "no answer to the login";
    session.hangUp("SIP/100-1");
    EXPECT_TRUE(testsupport::waitFor(
        [&] { return manager.received().contains("Action: Hangup\r\nChannel: SIP/100-1\r\n\r\n"); }));
    EXPECT_FALSE(manager.received().contains("Action: Originate"));
}

} // namespace
