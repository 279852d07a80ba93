// The console's own side of the manager session: connect and disconnect, the
// keep-alive, the period of its timer and the MD5 login's wait for its challenge.
#include "corvalinefixture.h"
#include "scriptedmanager.h"

#include "gui/mainwindow.h"
#include "control.h"
#include "net/tncnx.h"
#include "gui/callcard.h"
#include "gui/managerconsole.h"
#include "supervision/md5.h"
#include "waitfor.h"

#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback listener that never accepts, its one-place queue taken by a first
// client: further connection attempts stay pending, as towards a host that
// does not answer.
class UnansweredListener
{
public:
    UnansweredListener()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listener, 0) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_filler >= 0 && ::connect(m_filler, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~UnansweredListener()
    {
        for (int fd : {m_filler, m_listener}) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    UnansweredListener(const UnansweredListener&) = delete;
    UnansweredListener& operator=(const UnansweredListener&) = delete;

    quint16 port() const { return m_port; }

private:
    int m_listener = -1;
    int m_filler = -1;
    quint16 m_port = 0;
};

using ManagerSession = CorvalineOnLoopback;

TEST_F(ManagerSession, Tick_SendsTheKeepAliveAsConfigured)
{
    startSimulator();
    writeSettings(false, {"caction_m=Ping", "cpara_m=Aucun"});
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    form2->Timer1Timer();
    ASSERT_TRUE(simulator->waitForLog("Action: Ping\r\nParameters: Aucun\r\n\r\n"));
    ASSERT_TRUE(waitForReceived("Ping: Pong\r\n"));
    EXPECT_TRUE(simulator->log().endsWith("Action: Ping\r\nParameters: Aucun\r\n\r\n"));
}

TEST_F(ManagerSession, ConsoleClosedWithFermer_KeepsTheSessionAndTheKeepAlive)
{
    startSimulator();
    writeSettings(false);
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    form2->show();
    control<QPushButton>(form2, "Button1")->click();
    EXPECT_FALSE(form2->isVisible());
    testsupport::spinEventLoop(100);
    EXPECT_TRUE(form2->TnCnx->SessionOpen());
    EXPECT_EQ(form1->CallCardCount(), 0);
    form2->Timer1Timer();
    ASSERT_TRUE(simulator->waitForLog("Action: Ping\r\nParameters: None\r\n\r\n"));
    ASSERT_TRUE(waitForReceived("Ping: Pong\r\n"));
}

TEST_F(ManagerSession, DisconnectButton_ClosesTheSessionAndShowsTheDisconnectionCard)
{
    startSimulator();
    writeSettings(false);
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    EXPECT_FALSE(control<QPushButton>(form2, "ConnectButton")->isEnabled());
    control<QPushButton>(form2, "DisconnectButton")->click();
    ASSERT_TRUE(waitForCards(1));
    EXPECT_NE(form1->findCallCard(TFrame4::DisconnectionKey), nullptr);
    EXPECT_TRUE(control<QPushButton>(form2, "ConnectButton")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(form2, "DisconnectButton")->isEnabled());
    // A second close request finds no session and changes nothing.
    form2->DisconnectButtonClick();
    testsupport::spinEventLoop(100);
    EXPECT_EQ(form1->CallCardCount(), 1);

    control<QPushButton>(form2, "ConnectButton")->click();
    ASSERT_TRUE(waitForReceived("Message: Authentication accepted\r\n", 2));
    ASSERT_TRUE(waitForCards(0));
}

TEST_F(ManagerSession, LoginWithoutSession_OnlyNotesThatItIsNotConnected)
{
    startSimulator();
    writeSettings(false);
    createWindows();
    form2->SendButtonClick();
    EXPECT_EQ(memo(), QStringLiteral("*** NOT CONNECTED ***"));
    testsupport::spinEventLoop(100);
    EXPECT_TRUE(simulator->log().isEmpty());
}

TEST_F(ManagerSession, LongOutage_MemoKeepsOnlyTheLatestLines)
{
    // Every tick of a day without a manager adds a line; the memo must not
    // grow without bound in a program that stays open for weeks.
    startSimulator();
    writeSettings(false);
    createWindows();
    for (int tick = 0; tick < 5200; ++tick)
        form2->SendButtonClick();
    EXPECT_EQ(memoLines(), 5000);
    EXPECT_TRUE(memo().endsWith(QStringLiteral("*** NOT CONNECTED ***")));
}

TEST_F(ManagerSession, EmptyHost_ConnectAndLoginDoNothing)
{
    startSimulator();
    writeSettings(false, {"HostEdit_as="});
    createWindows();
    EXPECT_TRUE(control<QLineEdit>(form2, "HostEdit_as")->text().isEmpty());
    form2->Timer1Timer();
    EXPECT_TRUE(memo().isEmpty());
    testsupport::spinEventLoop(200);
    EXPECT_EQ(form2->TnCnx->State(), wsClosed);
    EXPECT_EQ(form1->CallCardCount(), 0);
}

TEST_F(ManagerSession, TimerPeriod_IsSixSecondsPerUnitOfTheSpinEdit)
{
    startSimulator();
    writeSettings(false, {"Spin_Edit1=3"});
    createWindows();
    EXPECT_EQ(control<QSpinBox>(form2, "Spin_Edit1")->value(), 3);
    EXPECT_EQ(form2->Timer1->interval(), 18000);
    control<QSpinBox>(form2, "Spin_Edit1")->setValue(30);
    EXPECT_EQ(form2->Timer1->interval(), 180000);
    control<QSpinBox>(form2, "Spin_Edit1")->setValue(1);
    EXPECT_EQ(form2->Timer1->interval(), 6000);
}

TEST_F(ManagerSession, TimerRunsFromCreation)
{
    startSimulator();
    writeSettings(false);
    windows = std::make_unique<ApplicationWindows>();
    EXPECT_TRUE(windows->form2()->Timer1->isActive());
    EXPECT_EQ(windows->form2()->Timer1->interval(), 6000);
    windows->form1()->Timer1->stop();
}

TEST_F(ManagerSession, TickWhileAnAttemptIsPending_ClosesItShowsOneCardAndTriesAgain)
{
    UnansweredListener unanswered;
    ASSERT_NE(unanswered.port(), 0);
    writeSettings(false, {}, unanswered.port());
    createWindows();
    form2->ConnectButtonClick();
    testsupport::spinEventLoop(300);
    ASSERT_EQ(form2->TnCnx->State(), wsConnecting);
    EXPECT_EQ(form1->CallCardCount(), 0);

    for (int tick = 1; tick <= 3; ++tick) {
        SCOPED_TRACE(tick);
        form2->Timer1Timer();
        EXPECT_EQ(form2->TnCnx->State(), wsConnecting);
        ASSERT_TRUE(waitForCards(1));
        EXPECT_NE(form1->findCallCard(TFrame4::DisconnectionKey), nullptr);
        EXPECT_TRUE(control<QPushButton>(form1, "Button1")->isVisibleTo(control<QFrame>(form1, "Panel1")));
    }
    EXPECT_EQ(memo().count(QStringLiteral("*** NOT CONNECTED ***")), 3);
}

// The secret never goes in clear when MD5 is asked for: a challenge that
// comes after the pause is answered then, by the MD5 login.
TEST_F(ManagerSession, Md5WithAChallengeAnsweredLate_LogsInByMd5AndNeverSendsTheSecret)
{
    ScriptedManager manager;
    manager.setAnswer([](const QByteArray& action) {
        return action.startsWith("Action: Challenge\r\n") ? QByteArray() : ScriptedManager::standardAnswer(action);
    });
    writeSettings(true, {}, manager.port());
    createWindows();
    form2->ConnectButtonClick();
    // The pause runs inside the handling of the connection: once the request
    // is seen here, the console has gone on without a challenge.
    ASSERT_TRUE(testsupport::waitFor([&] { return manager.received().contains("Action: Challenge\r\n"); }));
    EXPECT_TRUE(memo().contains(QStringLiteral("*** EN ATTENTE DU CHALLENGE ***")));
    // The keep-alive comes after anything the login would have sent.
    form2->Timer1Timer();
    ASSERT_TRUE(testsupport::waitFor([&] { return manager.received().contains("Action: Ping\r\n"); }));
    EXPECT_EQ(manager.received(), "Action: Challenge\r\nAuthType: MD5\r\n\r\nAction: Ping\r\nParameters: None\r\n\r\n");

    manager.send("Response: Success\r\nChallenge: 4711\r\n\r\n");
    ASSERT_TRUE(waitForLoggedIn());
    EXPECT_TRUE(manager.received().contains("Action: Login\r\nAuthType: MD5\r\nUserName: demo\r\nKey: " +
                                            DigestHex(TextDigest("4711demo")) + "\r\nEvents: On\r\n\r\n"))
        << manager.received().constData();
    EXPECT_FALSE(manager.received().contains("Secret"));
}

TEST_F(ManagerSession, SessionLostDuringTheChallengePause_SendsNoLoginAndStaysShownClosed)
{
    // A manager that hangs up on the challenge request.
    QTcpServer rude;
    ASSERT_TRUE(rude.listen(QHostAddress::LocalHost, 0));
    QTcpSocket* peer = nullptr;
    QObject::connect(&rude, &QTcpServer::newConnection, [&] {
        peer = rude.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [&] {
            if (peer->readAll().contains("Action: Challenge"))
                peer->abort();
        });
    });
    writeSettings(true, {}, rude.serverPort());
    createWindows();
    form2->ConnectButtonClick();
    ASSERT_TRUE(waitForCards(1));
    EXPECT_TRUE(memo().endsWith(QStringLiteral("*** NOT CONNECTED ***"))) << memo().toStdString();
    EXPECT_FALSE(memo().contains(QStringLiteral("Error")));
    EXPECT_NE(form1->findCallCard(TFrame4::DisconnectionKey), nullptr);
    // The connected report that started the login does not hide what the
    // close report showed.
    testsupport::spinEventLoop(100);
    EXPECT_EQ(form1->CallCardCount(), 1);
    EXPECT_TRUE(control<QPushButton>(form1, "Button1")->isVisibleTo(control<QFrame>(form1, "Panel1")));
    EXPECT_EQ(control<QFrame>(form1, "Panel1")->maximumHeight(), 25);
}

} // namespace
