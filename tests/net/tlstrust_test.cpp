#include "net/tlstrust.h"

#include <gtest/gtest.h>

namespace {

const QByteArray Canonical =
    "2A:B4:ED:89:D6:87:90:BA:6B:4D:09:D8:3F:B0:46:EF:68:82:A1:0F:FD:D8:C5:85:D0:5A:A4:3C:F5:42:90:31";
const QByteArray Other =
    "00:B4:ED:89:D6:87:90:BA:6B:4D:09:D8:3F:B0:46:EF:68:82:A1:0F:FD:D8:C5:85:D0:5A:A4:3C:F5:42:90:31";

} // namespace

TEST(TlsTrust, FingerprintTexts_AreReadInAnyCaseWithOrWithoutColons)
{
    const struct
    {
        QByteArray text;
        QByteArray normalized;
    } rows[] = {
        {Canonical, Canonical},
        {Canonical.toLower(), Canonical},
        {QByteArray(Canonical).replace(':', QByteArray()), Canonical},
        {" " + Canonical + "\n", Canonical},
        {Canonical.left(Canonical.size() - 3), ""},      // 31 bytes
        {Canonical + ":00", ""},                         // 33 bytes
        {QByteArray(Canonical).replace("2A", "2G"), ""}, // no hexadecimal digit
        {QByteArray(Canonical).replace(":", "-"), ""},   // another separator
        {"", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(TlsTrust::NormalizedFingerprint(row.text), row.normalized) << row.text.toStdString();
}

TEST(TlsTrust, FingerprintOfACertificate_IsItsSha256InUpperCasePairs)
{
    // SHA-256 of "abc".
    EXPECT_EQ(TlsTrust::FingerprintOf("abc"),
              "BA:78:16:BF:8F:01:CF:EA:41:41:40:DE:5D:AE:22:23:B0:03:61:A3:96:17:7A:9C:B4:10:FF:61:F2:00:15:AD");
}

TEST(TlsTrust, Verdicts_FollowTheChecksAndTheTrustedFingerprints)
{
    TlsTrust none;
    TlsTrust trusting;
    ASSERT_TRUE(trusting.AddTrustedFingerprint(Canonical.toLower()));
    EXPECT_FALSE(trusting.AddTrustedFingerprint("not one"));
    const struct
    {
        const TlsTrust& trust;
        TlsCertificateCheck check;
        TlsVerdict verdict;
    } rows[] = {
        {none, {true, "", Canonical}, TlsVerdict::Verified},
        {trusting, {true, "", Other}, TlsVerdict::Verified},
        {none, {false, "self-signed certificate", Canonical}, TlsVerdict::Unknown},
        {trusting, {false, "self-signed certificate", Canonical}, TlsVerdict::TrustedFingerprint},
        {trusting, {false, "self-signed certificate", Other}, TlsVerdict::Changed},
        {trusting, {false, "no certificate", ""}, TlsVerdict::Changed},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.trust.Judge(row.check), row.verdict) << row.check.fingerprint.toStdString();
    EXPECT_EQ(trusting.TrustedFingerprints(), QByteArrayList{Canonical});
    EXPECT_TRUE(TlsTrust::Accepts(TlsVerdict::TrustedFingerprint));
    EXPECT_FALSE(TlsTrust::Accepts(TlsVerdict::Changed));
}
