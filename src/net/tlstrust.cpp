#include "net/tlstrust.h"

#include <QCryptographicHash>

namespace {

constexpr qsizetype Sha256Length = 32;

} // namespace

QByteArray TlsTrust::NormalizedFingerprint(const QByteArray& text)
{
    QByteArray digits = text.trimmed();
    digits.replace(':', QByteArray());
    if (digits.size() != 2 * Sha256Length)
        return QByteArray();
    const QByteArray bytes = QByteArray::fromHex(digits);
    // fromHex skips what is no digit: a text of other characters comes back shorter.
    if (bytes.size() != Sha256Length || bytes.toHex().toUpper() != digits.toUpper())
        return QByteArray();
    return bytes.toHex(':').toUpper();
}

QByteArray TlsTrust::FingerprintOf(const QByteArray& der)
{
    return QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex(':').toUpper();
}

bool TlsTrust::AddTrustedFingerprint(const QByteArray& fingerprint)
{
    const QByteArray normalized = NormalizedFingerprint(fingerprint);
    if (normalized.isEmpty())
        return false;
    if (!m_fingerprints.contains(normalized))
        m_fingerprints.append(normalized);
    return true;
}

bool TlsTrust::Trusts(const QByteArray& fingerprint) const
{
    const QByteArray normalized = NormalizedFingerprint(fingerprint);
    return !normalized.isEmpty() && m_fingerprints.contains(normalized);
}

TlsVerdict TlsTrust::Judge(const TlsCertificateCheck& check) const
{
    if (check.verified)
        return TlsVerdict::Verified;
    if (Trusts(check.fingerprint))
        return TlsVerdict::TrustedFingerprint;
    return m_fingerprints.isEmpty() ? TlsVerdict::Unknown : TlsVerdict::Changed;
}
