#pragma once

#include "gui/messagebox.h"
#include "tempdatafolder.h"

#include <QByteArray>
#include <QStringList>

#include <functional>

// The program's question about a certificate nothing vouches for, answered
// for a test: every question is kept in asked and given the answer set; the
// question box comes back with the end of the object.
class CertificateQuestions
{
public:
    explicit CertificateQuestions(bool answer)
    {
        setQuestionSinkForTests([this, answer](const QString& text) {
            asked.append(text);
            if (whileAsked)
                whileAsked();
            return answer;
        });
    }
    ~CertificateQuestions() { setQuestionSinkForTests({}); }
    CertificateQuestions(const CertificateQuestions&) = delete;
    CertificateQuestions& operator=(const CertificateQuestions&) = delete;

    QStringList asked;
    // Runs while a question is open, before it is answered.
    std::function<void()> whileAsked;
};

// The line of serie.ini's [TLS] section that trusts host's certificate.
inline QByteArray KeptFingerprintLine(const QByteArray& host, const QByteArray& fingerprint)
{
    return host + '=' + fingerprint;
}

// Whether the data folder's serie.ini holds that line.
inline bool FingerprintKept(const TempDataFolder& dataDir, const QByteArray& host, const QByteArray& fingerprint)
{
    return dataDir.read(QStringLiteral("serie.ini")).contains(KeptFingerprintLine(host, fingerprint));
}

// Adds that section to the data folder's serie.ini, as a "yes" of an earlier run leaves it.
inline bool KeepFingerprint(const TempDataFolder& dataDir, const QByteArray& host, const QByteArray& fingerprint)
{
    return dataDir.write(QStringLiteral("serie.ini"), dataDir.read(QStringLiteral("serie.ini")) + "[TLS]\r\n" +
                                                          KeptFingerprintLine(host, fingerprint) + "\r\n");
}
