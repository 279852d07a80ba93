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
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral("nginx"), {QStringLiteral("-p"), m_root.path(), QStringLiteral("-c"),
                                              m_root.filePath(QStringLiteral("nginx.conf")), QStringLiteral("-e"),
                                              m_root.filePath(QStringLiteral("error.log")), QStringLiteral("-g"),
                                              QStringLiteral("daemon off;")});
    if (!m_process.waitForStarted(5000))
        return QStringLiteral("nginx did not start: ") + m_process.errorString();
    if (!testsupport::waitFor([&] { return Accepting(m_port) || m_process.state() == QProcess::NotRunning; }, 10000) ||
        m_process.state() == QProcess::NotRunning)
        return QStringLiteral("nginx does not listen: ") + QString::fromLocal8Bit(m_process.readAll());
    return QString();
}

QByteArray NginxProcess::url(const QByteArray& path, const QByteArray& credentials) const
{
    return "http://" + credentials + "127.0.0.1:" + QByteArray::number(m_port) + path;
}
