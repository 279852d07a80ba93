#include "supervision/managercertificatetrust.h"

#include "config/cp1252.h"
#include "net/tlstrust.h"

#include <utility>

ManagerCertificateTrust::ManagerCertificateTrust(Reader reader, Writer writer)
    : m_read(std::move(reader)), m_write(std::move(writer))
{}

QByteArray ManagerCertificateTrust::key(const QString& host)
{
    return Cp1252::fromUnicode(host.trimmed().toLower());
}

QByteArray ManagerCertificateTrust::question(const QString& host, const QByteArray& fingerprint)
{
    return key(host) + ' ' + TlsTrust::NormalizedFingerprint(fingerprint);
}

QByteArray ManagerCertificateTrust::trusted(const QString& host) const
{
    if (const auto kept = m_trustedThisRun.constFind(key(host)); kept != m_trustedThisRun.cend())
        return *kept;
    return TlsTrust::NormalizedFingerprint(m_read(key(host)));
}

ManagerCertificateTrust::Decision ManagerCertificateTrust::judge(const QString& host, const QByteArray& fingerprint)
{
    const QByteArray kept = trusted(host);
    if (!kept.isEmpty() && kept != TlsTrust::NormalizedFingerprint(fingerprint))
        return Decision::Changed;
    if (m_asked.contains(question(host, fingerprint)))
        return Decision::AlreadyAsked;
    m_asked.insert(question(host, fingerprint));
    return Decision::Ask;
}

bool ManagerCertificateTrust::answer(const QString& host, const QByteArray& fingerprint, bool trust)
{
    if (!trust)
        return true;
    // Trusted for the run even when the settings could not keep it.
    m_trustedThisRun.insert(key(host), TlsTrust::NormalizedFingerprint(fingerprint));
    return m_write(key(host), TlsTrust::NormalizedFingerprint(fingerprint));
}
