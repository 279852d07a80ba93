#include "net/wsocket.h"
#include "supervision/managercertificatetrust.h"
#include "supervision/managertls.h"

#include <QHash>

#include <gtest/gtest.h>

namespace {

struct PortProposal
{
    bool tls;
    const char* current;
    const char* proposed;
};

class ManagerPortProposal : public testing::TestWithParam<PortProposal>
{
};

TEST_P(ManagerPortProposal, FollowsTheBoxOnlyFromTheOtherModesUsualPort)
{
    const PortProposal& c = GetParam();
    EXPECT_EQ(proposedManagerPort(c.tls, QString::fromLatin1(c.current)), QString::fromLatin1(c.proposed));
}

INSTANTIATE_TEST_SUITE_P(Ports, ManagerPortProposal,
                         testing::Values(PortProposal{true, "5038", "5039"}, PortProposal{false, "5039", "5038"},
                                         PortProposal{true, "6000", "6000"}, PortProposal{false, "6000", "6000"},
                                         PortProposal{true, "5039", "5039"}, PortProposal{false, "5038", "5038"}));

TEST(ManagerTlsSettings, SetsTlsAndTheCertificatesNameOnTheSocketAndClearsThemWhenOff)
{
    TWSocket socket;
    ManagerTlsSettings{true, QByteArrayLiteral("pbx.example")}.applyTo(socket);
    EXPECT_TRUE(socket.Tls());
    EXPECT_EQ(socket.TlsHostName(), QByteArrayLiteral("pbx.example"));
    ManagerTlsSettings{false, QByteArrayLiteral("pbx.example")}.applyTo(socket);
    EXPECT_FALSE(socket.Tls());
    EXPECT_TRUE(socket.TlsHostName().isEmpty());
}

// The trust kept in a table, as the settings file keeps it: host = fingerprint.
struct KeptFingerprints
{
    ManagerCertificateTrust trust()
    {
        return ManagerCertificateTrust([this](const QByteArray& host) { return kept.value(host); },
                                       [this](const QByteArray& host, const QByteArray& fingerprint) {
                                           if (!writable)
                                               return false;
                                           kept.insert(host, fingerprint);
                                           return true;
                                       });
    }
    QHash<QByteArray, QByteArray> kept;
    bool writable = true;
};

const QByteArray First = QByteArray(32, '\x11').toHex(':').toUpper();
const QByteArray Second = QByteArray(32, '\x22').toHex(':').toUpper();

TEST(ManagerCertificateTrust, AsksOnceKeepsAYesForTheHostAsTypedAndRefusesAnotherCertificateThere)
{
    using Decision = ManagerCertificateTrust::Decision;
    KeptFingerprints file;
    ManagerCertificateTrust trust = file.trust();
    EXPECT_EQ(trust.judge(QStringLiteral("PBX.example "), First.toLower().replace(':', "")), Decision::Ask);
    EXPECT_EQ(trust.judge(QStringLiteral("pbx.example"), First), Decision::AlreadyAsked) << "the question is open";
    EXPECT_TRUE(trust.answer(QStringLiteral("pbx.example"), First.toLower(), true));
    EXPECT_EQ(file.kept, (QHash<QByteArray, QByteArray>{{"pbx.example", First}}));
    EXPECT_EQ(trust.trusted(QStringLiteral("Pbx.Example")), First);
    EXPECT_EQ(trust.judge(QStringLiteral("pbx.example"), Second), Decision::Changed);
    // A later run reads what this one kept.
    EXPECT_EQ(file.trust().judge(QStringLiteral("pbx.example"), Second), Decision::Changed);
}

TEST(ManagerCertificateTrust, ANoIsNotAskedAgainThisRunButAnotherCertificateIs)
{
    using Decision = ManagerCertificateTrust::Decision;
    KeptFingerprints file;
    ManagerCertificateTrust trust = file.trust();
    ASSERT_EQ(trust.judge(QStringLiteral("pbx.example"), First), Decision::Ask);
    EXPECT_TRUE(trust.answer(QStringLiteral("pbx.example"), First, false));
    EXPECT_EQ(trust.judge(QStringLiteral("pbx.example"), First), Decision::AlreadyAsked);
    EXPECT_EQ(trust.judge(QStringLiteral("pbx.example"), Second), Decision::Ask);
    EXPECT_EQ(trust.judge(QStringLiteral("other.example"), First), Decision::Ask);
    EXPECT_TRUE(file.kept.isEmpty());
}

TEST(ManagerCertificateTrust, AYesTheSettingsCannotKeepIsTrustedForThisRunAndSaysSo)
{
    KeptFingerprints file;
    file.writable = false;
    ManagerCertificateTrust trust = file.trust();
    trust.judge(QStringLiteral("pbx.example"), First);
    EXPECT_FALSE(trust.answer(QStringLiteral("pbx.example"), First, true));
    EXPECT_EQ(trust.trusted(QStringLiteral("pbx.example")), First);
    EXPECT_TRUE(file.trust().trusted(QStringLiteral("pbx.example")).isEmpty());
}

} // namespace
