// A session the user can trust: a link that dies without a word is closed at
// the keep-alive's pace, and a slow name server does not freeze the window.
#include "corvalinefixture.h"

#include "gui/mainwindow.h"
#include "net/hostlookup.h"
#include "net/tncnx.h"
#include "gui/callcard.h"
#include "gui/managerconsole.h"
#include "waitfor.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

// Forwards one connection to the simulator until told to stop; then it drops
// whatever comes either way and closes nothing, as a PBX without power or a
// VPN gone would.
class SilentRelay
{
public:
    explicit SilentRelay(quint16 target) : m_target(target)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            m_client = m_server.nextPendingConnection();
            m_upstream = new QTcpSocket(m_client);
            m_upstream->connectToHost(QHostAddress::LocalHost, m_target);
            QObject::connect(m_client, &QTcpSocket::readyRead, [this] { pass(m_client, m_upstream); });
            QObject::connect(m_upstream, &QTcpSocket::readyRead, [this] { pass(m_upstream, m_client); });
        });
    }

    quint16 port() const { return m_server.serverPort(); }
    void goSilent() { m_silent = true; }

private:
    void pass(QTcpSocket* from, QTcpSocket* to)
    {
        const QByteArray bytes = from->readAll();
        if (!m_silent)
            to->write(bytes);
    }

    quint16 m_target;
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QPointer<QTcpSocket> m_upstream;
    bool m_silent = false;
};

using SessionTrust = CorvalineOnLoopback;

TEST_F(SessionTrust, LinkThatGoesSilent_IsClosedAtTheSecondKeepAliveWithoutAnswer)
{
    startSimulator();
    SilentRelay relay(simulator->port());
    writeSettings(false, {}, relay.port());
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    ASSERT_TRUE(waitForCards(0));

    // A keep-alive answered: the session stays.
    form2->Timer1Timer();
    ASSERT_TRUE(waitForReceived("Ping: Pong\r\n"));
    relay.goSilent();
    form2->Timer1Timer();
    testsupport::spinEventLoop(200);
    EXPECT_TRUE(form2->TnCnx->SessionOpen()) << "one keep-alive without answer yet";
    EXPECT_EQ(form1->CallCardCount(), 0);

    // The next tick finds it unanswered: closed as a peer close would be.
    form2->Timer1Timer();
    ASSERT_TRUE(waitForCards(1));
    EXPECT_FALSE(form2->TnCnx->SessionOpen());
    EXPECT_NE(form1->findCallCard(TFrame4::DisconnectionKey), nullptr);
    EXPECT_TRUE(memo().contains(QStringLiteral("*** PAS DE REPONSE ***")));
}

TEST_F(SessionTrust, SlowNameServer_TheWindowKeepsRunningWhileTheHostIsLookedUp)
{
    HostLookup::setResolverForTests([](const QByteArray&, QObject* context, HostLookup::Answer answer) {
        QTimer::singleShot(3000, context, [answer] { answer("127.0.0.1"); });
    });
    startSimulator();
    writeSettings(false, {"HostEdit_as=pbx.office.example"});
    createWindows();

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    ticker.start(50);
    form1->Timer1Timer();
    EXPECT_LT(clock.elapsed(), 1000) << "the start-up sequence does not wait for the name";
    const bool loggedIn = waitForReceived("Message: Authentication accepted\r\n");
    HostLookup::setResolverForTests({});
    ASSERT_TRUE(loggedIn);
    EXPECT_GE(clock.elapsed(), 2500) << "connected only once the name was found";
    EXPECT_LT(longestGap, 500) << "the timer kept firing during the lookup";
}

} // namespace
