#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

// How a server certificate came out of the checks of a TLS connection.
enum class TlsVerdict
{
    // Signed by an authority of the system (or of CaFile) for the host name.
    Verified,
    // Not verified, but its fingerprint is one the user trusts.
    TrustedFingerprint,
    // Not verified, and nothing vouches for it.
    Unknown,
    // Not verified, and not the certificate the user trusted for this server
    // before: the server changed it, or someone stands in between.
    Changed,
};

// What the checks found out about the server's certificate: enough for a
// caller to show the user what to decide on.
struct TlsCertificateCheck
{
    bool verified = false;
    QByteArray reason;      // why it did not verify ("certificate has expired"...), empty when it did
    QByteArray fingerprint; // SHA-256 of the certificate, "AB:01:..."
};

// Which server certificates a TLS connection accepts beyond those that
// verify: the certificates the user has explicitly trusted, named by their
// SHA-256 fingerprint, and authorities of a file of its own besides the
// system's trust store. Plain data with no tie to a socket or a window: the
// settings keep the fingerprints, the console shows the verdict.
class TlsTrust
{
public:
    // The fingerprint in its canonical form (upper-case hexadecimal pairs
    // separated by colons); the text may use lower case and leave out the
    // colons. Empty when it is no SHA-256 fingerprint.
    static QByteArray NormalizedFingerprint(const QByteArray& text);
    // The SHA-256 fingerprint of a certificate in DER form.
    static QByteArray FingerprintOf(const QByteArray& der);

    // False (and nothing added) when the text is no SHA-256 fingerprint.
    bool AddTrustedFingerprint(const QByteArray& fingerprint);
    void ClearTrustedFingerprints() { m_fingerprints.clear(); }
    const QByteArrayList& TrustedFingerprints() const { return m_fingerprints; }
    bool Trusts(const QByteArray& fingerprint) const;

    // A PEM file of authorities trusted besides the system's; empty: none.
    QString CaFile() const { return m_caFile; }
    void SetCaFile(const QString& path) { m_caFile = path; }

    TlsVerdict Judge(const TlsCertificateCheck& check) const;
    static bool Accepts(TlsVerdict verdict)
    {
        return verdict == TlsVerdict::Verified || verdict == TlsVerdict::TrustedFingerprint;
    }

private:
    QByteArrayList m_fingerprints;
    QString m_caFile;
};
