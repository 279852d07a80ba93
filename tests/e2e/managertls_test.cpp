// The manager link over TLS: the real windows against the real simulator
// behind socat's TLS listener, with certificates made for the test. A
// certificate nothing vouches for is asked about once; a "yes" keeps its
// fingerprint in serie.ini and logs in, a "no" leaves the session closed and
// is not asked again; a kept fingerprint is taken without a question, and
// another certificate for the same host is refused.
#include "certificatequestions.h"
#include "corvalinefixture.h"

#include "gui/callcard.h"
#include "gui/desktopintegration.h"
#include "gui/mainwindow.h"
#include "gui/managerconsole.h"
#include "managertlscases.h"
#include "memolines.h"
#include "net/tncnx.h"
#include "tlscertificates.h"
#include "waitfor.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace {

// socat's TLS listener on a loopback port, forwarding to the simulator.
class TlsForwarder
{
public:
    bool start(const TlsCertificates& certificates, const QString& name, quint16 target)
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost))
            return false;
        m_port = probe.serverPort();
        probe.close();
        m_process.start(QStringLiteral("socat"),
                        {QStringLiteral("openssl-listen:%1,bind=127.0.0.1,reuseaddr,fork,cert=%2,key=%3,verify=0")
                             .arg(m_port)
                             .arg(certificates.CertificatePath(name), certificates.KeyPath(name)),
                         QStringLiteral("tcp:127.0.0.1:%1").arg(target)});
        if (!m_process.waitForStarted())
            return false;
        return testsupport::waitFor([&] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            return socket.waitForConnected(1000);
        });
    }
    ~TlsForwarder()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    quint16 port() const { return m_port; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

class ManagerOverTls : public CorvalineOnLoopback, public ::testing::WithParamInterface<ManagerTlsCase>
{
protected:
    void SetUp() override
    {
        CorvalineOnLoopback::SetUp();
        const QString san = QStringLiteral("IP:127.0.0.1");
        ASSERT_EQ(certificates.Issue(QStringLiteral("pbx"), TlsCertificates::SelfSigned, san), QString());
        ASSERT_EQ(certificates.Issue(QStringLiteral("other"), TlsCertificates::SelfSigned, san), QString());
    }

    TlsCertificates certificates;
    TlsForwarder forwarder;
    CertificateQuestions questions{GetParam().answer};
};

TEST_P(ManagerOverTls, UnknownCertificateIsAskedAboutKeptOrChanged)
{
    const ManagerTlsCase& c = GetParam();
    startSimulator(OneScriptedCall("new", "1", "1"));
    ASSERT_TRUE(forwarder.start(certificates, QStringLiteral("pbx"), simulator->port()));
    const QByteArray fingerprint = certificates.Fingerprint(QStringLiteral("pbx"));
    const QByteArray other = certificates.Fingerprint(QStringLiteral("other"));
    ASSERT_FALSE(fingerprint.isEmpty());
    writeSettings(c.md5, {"tls_as=1"}, forwarder.port());
    if (c.kept != Kept::Nothing) {
        ASSERT_TRUE(KeepFingerprint(dataDir, "127.0.0.1", c.kept == Kept::ThisCertificate ? fingerprint : other));
    }
    createWindows();
    const MemoLines lines(form2->session());
    // The box stays open across keep-alive ticks: none of them connects.
    TSocketState stateWhileAsked = wsClosed;
    questions.whileAsked = [&] {
        form2->Timer1Timer();
        stateWhileAsked = form2->TnCnx->State();
    };

    form1->Timer1Timer();
    if (c.loggedIn) {
        ASSERT_TRUE(waitForLoggedIn());
        EXPECT_EQ(lines.count(QStringLiteral("*** CONNEXION CHIFFRÉE (TLSv1.")), 1) << lines.joined();
        EXPECT_EQ(windows->desktop()->sessionStatus().toolTip(),
                  QStringLiteral("Corvaline : connecté à 127.0.0.1 (chiffrée)"));
        // The call's card comes through the encrypted link as through the clear one.
        ASSERT_TRUE(testsupport::waitFor([&] { return !cardLives.isEmpty() && cardLives.first().ringing; }));
        EXPECT_EQ(cardLives.first().number, QByteArrayLiteral("0612345678"));
    } else {
        ASSERT_TRUE(testsupport::waitFor([&] { return lines.count(QString::fromUtf8(c.refusal)) == 1; }))
            << lines.joined();
        // The keep-alive's next try is refused again without a new question.
        form2->Timer1Timer();
        ASSERT_TRUE(testsupport::waitFor([&] { return lines.count(QStringLiteral("Erreur #2010")) == 2; }))
            << lines.joined();
        QCoreApplication::processEvents();
        EXPECT_FALSE(form2->session().isLoggedIn());
        EXPECT_FALSE(received.contains("Authentication accepted"));
    }
    ASSERT_EQ(questions.asked.size(), c.questions);
    if (c.questions > 0) {
        EXPECT_TRUE(questions.asked.first().contains(QString::fromLatin1(fingerprint)))
            << questions.asked.first().toStdString();
        EXPECT_EQ(stateWhileAsked, wsClosed);
    }
    if (c.kept == Kept::AnotherCertificate) {
        EXPECT_EQ(lines.count(QString::fromLatin1(fingerprint)), 2);
        EXPECT_EQ(lines.count(QString::fromLatin1(other)), 2);
    }
    EXPECT_EQ(FingerprintKept(dataDir, "127.0.0.1", fingerprint), c.keepsThisCertificate())
        << dataDir.read(QStringLiteral("serie.ini")).constData();
}

INSTANTIATE_TEST_SUITE_P(Cases, ManagerOverTls, ::testing::ValuesIn(ManagerTlsCases),
                         ::testing::PrintToStringParamName());

} // namespace
