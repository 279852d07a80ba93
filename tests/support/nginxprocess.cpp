#include "nginxprocess.h"

#include "waitfor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in Loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A port the system has just handed out, free again for the server to take.
quint16 FreePort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(probe);
    return port;
}

bool Accepting(quint16 port)
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    const bool connected = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return connected;
}

bool WriteFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

NginxProcess::NginxProcess() = default;

NginxProcess::~NginxProcess()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool NginxProcess::serve(const QString& path, const QByteArray& content) const
{
    return WriteFile(m_root.filePath(QStringLiteral("www/") + path), content);
}

void NginxProcess::enableTls(const QString& certificate, const QString& key)
{
    m_certificate = certificate;
    m_key = key;
}

QString NginxProcess::writeTlsFiles()
{
    if (m_certificate.isEmpty())
        return QString();
    m_securePort = FreePort();
    const QByteArray port = QByteArray::number(m_securePort);
    const QByteArray server = "server {\n"
                              "    listen 127.0.0.1:" +
                              port +
                              " ssl;\n"
                              "    ssl_certificate " +
                              m_certificate.toLocal8Bit() +
                              ";\n"
                              "    ssl_certificate_key " +
                              m_key.toLocal8Bit() +
                              ";\n"
                              "    root " +
                              m_root.filePath(QStringLiteral("www")).toLocal8Bit() +
                              ";\n"
                              "    location = /insecure { return 302 " +
                              url("/private/list.txt", "agent:s3cret@") +
                              "; }\n"
                              "}\n";
    const QByteArray locations = "location = /secure { return 302 " + secureUrl("/list.txt") + "; }\n";
    if (!WriteFile(m_root.filePath(QStringLiteral("tls-server.conf")), server) ||
        !WriteFile(m_root.filePath(QStringLiteral("tls-locations.conf")), locations))
        return QStringLiteral("cannot write the TLS configuration in ") + m_root.path();
    return QString();
}

QString NginxProcess::start()
{
    QFile templateFile(QStringLiteral(CORVALINE_SUPPORT_DIR "/nginx.conf.in"));
    if (!templateFile.open(QIODevice::ReadOnly))
        return QStringLiteral("no nginx.conf.in");
    m_port = FreePort();
    QByteArray configuration = templateFile.readAll();
    configuration.replace("ROOT", m_root.path().toLocal8Bit()).replace("PORT", QByteArray::number(m_port));
    // nginx reads "{PLAIN}" passwords as they stand.
    if (!WriteFile(m_root.filePath(QStringLiteral("nginx.conf")), configuration) ||
        !WriteFile(m_root.filePath(QStringLiteral("passwords")), "agent:{PLAIN}s3cret\n") ||
        !QDir(m_root.path()).mkpath(QStringLiteral("www")))
        return QStringLiteral("cannot write the configuration in ") + m_root.path();
    if (const QString failure = writeTlsFiles(); !failure.isEmpty())
        return failure;
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral("nginx"), {QStringLiteral("-p"), m_root.path(), QStringLiteral("-c"),
                                              m_root.filePath(QStringLiteral("nginx.conf")), QStringLiteral("-e"),
                                              m_root.filePath(QStringLiteral("error.log")), QStringLiteral("-g"),
                                              QStringLiteral("daemon off;")});
    if (!m_process.waitForStarted(5000))
        return QStringLiteral("nginx did not start: ") + m_process.errorString();
    const auto accepting = [this] { return Accepting(m_port) && (m_securePort == 0 || Accepting(m_securePort)); };
    if (!testsupport::waitFor([&] { return accepting() || m_process.state() == QProcess::NotRunning; }, 10000) ||
        m_process.state() == QProcess::NotRunning)
        return QStringLiteral("nginx does not listen: ") + QString::fromLocal8Bit(m_process.readAll());
    return QString();
}

QByteArray NginxProcess::url(const QByteArray& path, const QByteArray& credentials) const
{
    return "http://" + credentials + "127.0.0.1:" + QByteArray::number(m_port) + path;
}

QByteArray NginxProcess::secureUrl(const QByteArray& path) const
{
    return "https://127.0.0.1:" + QByteArray::number(m_securePort) + path;
}
