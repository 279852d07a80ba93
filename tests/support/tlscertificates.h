#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Certificates made for one test with the openssl command line, in a folder
// of their own: a private authority, and server certificates it signs (or
// that sign themselves). Nothing is kept beyond the object.
class TlsCertificates
{
public:
    enum Kind
    {
        SignedByAuthority,
        Expired, // signed by the authority, over already
        SelfSigned,
    };

    // Makes the authority; empty on success, otherwise openssl's messages.
    QString CreateAuthority();
    // A key and a certificate named name (for the host names and addresses of
    // subjectAltName, "DNS:localhost,IP:127.0.0.1"); empty on success.
    QString Issue(const QString& name, Kind kind, const QString& subjectAltName);
    // The authority and a certificate of its for localhost and 127.0.0.1; empty on success.
    QString CreateServer(const QString& name);

    QString AuthorityPath() const { return Path(QStringLiteral("authority.pem")); }
    QString CertificatePath(const QString& name) const { return Path(name + QStringLiteral(".pem")); }
    QString KeyPath(const QString& name) const { return Path(name + QStringLiteral(".key")); }
    // The SHA-256 fingerprint as openssl prints it ("AB:01:..."), empty when it cannot tell.
    QByteArray Fingerprint(const QString& name) const;

private:
    QString Path(const QString& file) const { return m_dir.filePath(file); }
    // Runs openssl in the folder; empty on success, otherwise its messages.
    QString Run(const QStringList& arguments, QByteArray* output = nullptr) const;

    QTemporaryDir m_dir;
};
