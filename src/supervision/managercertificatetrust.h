#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <functional>

// The manager certificates the user trusted, one SHA-256 fingerprint per host
// as typed, kept where the reader and writer keep them (the settings file),
// and what to do with a certificate that did not verify. The user is asked
// once about a certificate: not again while the question is open, nor after a
// "no" for the rest of the program's run. A host that has a trusted
// fingerprint never gets a question: another certificate there is refused.
class ManagerCertificateTrust
{
public:
    using Reader = std::function<QByteArray(const QByteArray& host)>;
    using Writer = std::function<bool(const QByteArray& host, const QByteArray& fingerprint)>;

    enum class Decision
    {
        Ask,
        AlreadyAsked, // the question is open, or was answered "no"
        Changed,      // the host has another trusted fingerprint
    };

    ManagerCertificateTrust() = default;
    ManagerCertificateTrust(Reader reader, Writer writer);

    // The fingerprint trusted for host; empty when none.
    QByteArray trusted(const QString& host) const;
    // What to do with the fingerprint of a certificate that did not verify;
    // Ask marks the question open.
    Decision judge(const QString& host, const QByteArray& fingerprint);
    // The user's answer; false when a "yes" could not be kept.
    bool answer(const QString& host, const QByteArray& fingerprint, bool trust);

private:
    static QByteArray key(const QString& host);
    static QByteArray question(const QString& host, const QByteArray& fingerprint);

    Reader m_read = [](const QByteArray&) { return QByteArray(); };
    Writer m_write = [](const QByteArray&, const QByteArray&) { return false; };
    QSet<QByteArray> m_asked;
    QHash<QByteArray, QByteArray> m_trustedThisRun;
};
