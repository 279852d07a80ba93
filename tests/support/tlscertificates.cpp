#include "tlscertificates.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>

#include "waitfor.h"

namespace {

const QStringList EcKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                           QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes")};

} // namespace

QString TlsCertificates::Run(const QStringList& arguments, QByteArray* output) const
{
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
        return QStringLiteral("openssl %1: %2")
            .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(openssl.readAllStandardError()));
    if (output != nullptr)
        *output = openssl.readAllStandardOutput();
    return QString();
}

QString TlsCertificates::CreateAuthority()
{
    return Run(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + EcKey +
               QStringList{QStringLiteral("-keyout"), Path(QStringLiteral("authority.key")), QStringLiteral("-out"),
                           AuthorityPath(), QStringLiteral("-subj"), QStringLiteral("/CN=Corvaline test authority"),
                           QStringLiteral("-days"), QStringLiteral("2")});
}

QString TlsCertificates::Issue(const QString& name, Kind kind, const QString& subjectAltName)
{
    const QString extensions = Path(name + QStringLiteral(".ext"));
    QFile file(extensions);
    if (!file.open(QIODevice::WriteOnly) || file.write("subjectAltName=" + subjectAltName.toLatin1() + "\n") < 0)
        return QStringLiteral("cannot write ") + extensions;
    file.close();
    const QStringList subject = {QStringLiteral("-subj"), QStringLiteral("/CN=") + name};
    if (kind == SelfSigned)
        return Run(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + EcKey + subject +
                   QStringList{QStringLiteral("-keyout"), KeyPath(name), QStringLiteral("-out"), CertificatePath(name),
                               QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-addext"),
                               QStringLiteral("subjectAltName=") + subjectAltName});
    const QString request = Path(name + QStringLiteral(".csr"));
    QString failure = Run(QStringList{QStringLiteral("req")} + EcKey + subject +
                          QStringList{QStringLiteral("-keyout"), KeyPath(name), QStringLiteral("-out"), request});
    if (!failure.isEmpty())
        return failure;
    // Zero days: the certificate ends the second it begins.
    const qint64 issued = QDateTime::currentSecsSinceEpoch();
    failure = Run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), request,
                   QStringLiteral("-CA"), AuthorityPath(), QStringLiteral("-CAkey"),
                   Path(QStringLiteral("authority.key")), QStringLiteral("-set_serial"), QString::number(issued),
                   QStringLiteral("-days"), kind == Expired ? QStringLiteral("0") : QStringLiteral("2"),
                   QStringLiteral("-extfile"), extensions, QStringLiteral("-out"), CertificatePath(name)});
    if (failure.isEmpty() && kind == Expired &&
        !testsupport::waitFor([issued] { return QDateTime::currentSecsSinceEpoch() > issued + 1; }, 10000))
        return QStringLiteral("the clock does not move");
    return failure;
}

QString TlsCertificates::CreateServer(const QString& name)
{
    const QString failure = CreateAuthority();
    return failure.isEmpty() ? Issue(name, SignedByAuthority, QStringLiteral("DNS:localhost,IP:127.0.0.1")) : failure;
}

QByteArray TlsCertificates::Fingerprint(const QString& name) const
{
    QByteArray output;
    if (!Run({QStringLiteral("x509"), QStringLiteral("-in"), CertificatePath(name), QStringLiteral("-noout"),
              QStringLiteral("-fingerprint"), QStringLiteral("-sha256")},
             &output)
             .isEmpty())
        return QByteArray();
    // "sha256 Fingerprint=AB:01:..."
    return output.mid(output.indexOf('=') + 1).trimmed();
}
