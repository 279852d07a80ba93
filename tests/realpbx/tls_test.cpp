// The manager link over TLS against a real Asterisk's own TLS listener
// (manager.conf's tlsenable, beside the cleartext one), with a self-signed
// certificate made for the test file. A certificate nothing vouches for is
// asked about; a "yes" keeps its fingerprint and logs in, a "no" leaves the
// session closed; a kept fingerprint is taken without a question, and another
// certificate for the same host is refused.
#include "realpbxfixture.h"

#include "certificatequestions.h"
#include "gui/desktopintegration.h"
#include "gui/mainwindow.h"
#include "gui/managerconsole.h"
#include "managertlscases.h"
#include "memolines.h"
#include "tlscertificates.h"
#include "waitfor.h"

namespace {

constexpr char PbxCertificate[] = "pbx";
constexpr char OtherCertificate[] = "other";

// The real PBX with its TLS listener on port AMI_TLS_PORT, and the console
// set to reach it with the TLS box checked.
class RealPbxOverTls : public RealPbx
{
public:
    static void SetUpTestSuite()
    {
        certificates = new TlsCertificates;
        for (const char* name : {PbxCertificate, OtherCertificate}) {
            const QString failure = certificates->Issue(QString::fromLatin1(name), TlsCertificates::SelfSigned,
                                                        QStringLiteral("IP:127.0.0.1"));
            if (!failure.isEmpty()) {
                ADD_FAILURE() << failure.toStdString();
                skipReason = QStringLiteral("no certificate for the PBX");
                return;
            }
        }
        // The certificate is there before the PBX boots: its listener reads it then.
        const QString pbxName = QString::fromLatin1(PbxCertificate);
        startPbx({{QStringLiteral("manager_tls.conf"),
                   "tlsenable = yes\ntlsbindaddr = 127.0.0.1:@AMI_TLS_PORT@\ntlscertfile = " +
                       certificates->CertificatePath(pbxName).toUtf8() +
                       "\ntlsprivatekey = " + certificates->KeyPath(pbxName).toUtf8() + "\n"}});
    }
    static void TearDownTestSuite()
    {
        RealPbx::TearDownTestSuite();
        delete certificates;
        certificates = nullptr;
    }

protected:
    static QByteArray fingerprint(const char* name) { return certificates->Fingerprint(QString::fromLatin1(name)); }
    static QByteArrayList overTls()
    {
        return {"tls_as=1", "PortEdit_as=" + QByteArray::number(pbx->port("AMI_TLS_PORT"))};
    }

    static TlsCertificates* certificates;
};

TlsCertificates* RealPbxOverTls::certificates = nullptr;

class RealPbxTlsLogins : public RealPbxOverTls, public ::testing::WithParamInterface<ManagerTlsCase>
{
};

TEST_P(RealPbxTlsLogins, TheQuestionTheKeptFingerprintAndThePbxAgreeOnTheSession)
{
    const ManagerTlsCase& login = GetParam();
    const QByteArray pbxFingerprint = fingerprint(PbxCertificate);
    const QByteArray otherFingerprint = fingerprint(OtherCertificate);
    ASSERT_FALSE(pbxFingerprint.isEmpty());
    const QByteArray kept = login.kept == Kept::ThisCertificate      ? pbxFingerprint
                            : login.kept == Kept::AnotherCertificate ? otherFingerprint
                                                                     : QByteArray();
    CertificateQuestions questions(login.answer);
    ASSERT_NO_FATAL_FAILURE(openWindows(login.md5, overTls(), kept));
    const MemoLines lines(form2->session());
    form1->Timer1Timer();

    if (login.loggedIn) {
        ASSERT_TRUE(waitForLoggedIn()) << lines.joined();
        EXPECT_EQ(lines.count(QStringLiteral("*** CONNEXION CHIFFRÉE (TLSv1.")), 1) << lines.joined();
        EXPECT_TRUE(windows->desktop()->sessionStatus().toolTip().endsWith(QStringLiteral(" (chiffrée)")));
        EXPECT_TRUE(testsupport::waitFor([] { return pbxListsTheManagerSession(); }));
    } else {
        ASSERT_TRUE(testsupport::waitFor([&] { return lines.count(QString::fromUtf8(login.refusal)) == 1; }))
            << lines.joined();
        EXPECT_FALSE(form2->session().isLoggedIn());
        EXPECT_FALSE(received.contains("Authentication accepted"));
        EXPECT_FALSE(pbxListsTheManagerSession());
    }
    EXPECT_EQ(received.contains("Challenge: "), login.loggedIn && login.md5);
    ASSERT_EQ(questions.asked.size(), login.questions);
    if (login.questions > 0) {
        EXPECT_TRUE(questions.asked.first().contains(QString::fromLatin1(pbxFingerprint)))
            << questions.asked.first().toStdString();
    }
    if (login.kept == Kept::AnotherCertificate) {
        EXPECT_EQ(lines.count(QString::fromLatin1(pbxFingerprint)), 1) << lines.joined();
        EXPECT_EQ(lines.count(QString::fromLatin1(otherFingerprint)), 1) << lines.joined();
    }
    EXPECT_EQ(FingerprintKept(dataDir, "127.0.0.1", pbxFingerprint), login.keepsThisCertificate())
        << dataDir.read(QStringLiteral("serie.ini")).constData();
}

INSTANTIATE_TEST_SUITE_P(Logins, RealPbxTlsLogins, ::testing::ValuesIn(ManagerTlsCases),
                         ::testing::PrintToStringParamName());

TEST_F(RealPbxOverTls, TrunkCallRingsThePhone_TheCardComesOverTheEncryptedLink)
{
    const CertificateQuestions questions(false);
    ASSERT_NO_FATAL_FAILURE(logIn(false, overTls(), fingerprint(PbxCertificate)));
    phone("100", "ring");
    SippPhone& caller = callFromTrunk("100", "giveup", 2000);
    ASSERT_TRUE(testsupport::waitFor([&] { return !cardLives.isEmpty() && cardLives.first().ringing; }));
    EXPECT_EQ(cardLives.first().number, CallerNumber);
    EXPECT_TRUE(caller.waitForSuccess()) << caller.errors().constData();
    ASSERT_TRUE(waitForCards(0));
    EXPECT_TRUE(questions.asked.isEmpty());
}

} // namespace
