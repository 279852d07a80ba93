#include "socksproxy.h"

#include "plainpeer.h"
#include "waitfor.h"

#include <QFile>
#include <QStandardPaths>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QStringList SystemFolders = {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/sbin"),
                                   QStringLiteral("/bin")};

QString Program(const char* name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name), SystemFolders);
}

bool WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Dante wants one field per line inside a rule.
QByteArray DanteConfiguration(const QString& dir, quint16 port, bool usercode)
{
    return "logoutput: " + dir.toUtf8() + "/danted.log\n" + "internal: 127.0.0.1 port = " + QByteArray::number(port) +
           "\n"
           "external: 127.0.0.1\n"
           "clientmethod: none\n" +
           (usercode ? "socksmethod: username\nuser.privileged: root\n" : "socksmethod: none\n") +
           "user.unprivileged: nobody\n"
           "client pass {\nfrom: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
           "socks pass {\nfrom: 127.0.0.0/8 to: 127.0.0.1/32\ncommand: connect\nprotocol: tcp\n}\n"
           "socks block {\nfrom: 0.0.0.0/0 to: 0.0.0.0/0\n}\n";
}

} // namespace

SocksProxy::SocksProxy(Kind kind) : m_kind(kind)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

SocksProxy::~SocksProxy()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // Dante's parent ends its helpers when it gets SIGTERM.
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString SocksProxy::Unavailable(Kind kind)
{
    if (kind != DanteUsercode)
        return QString();
    if (::geteuid() != 0)
        return QStringLiteral("checking a user code with dante takes root (a private mount over the account files)");
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {u"-m"_s, u"--propagation"_s, u"private"_s, u"true"_s});
    if (!probe.waitForFinished(5000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        return QStringLiteral("no private mount namespace here (unshare -m failed)");
    return QString();
}

QString SocksProxy::WriteDanteFiles()
{
    const QString dir = m_dir.path();
    if (!WriteFile(dir + u"/danted.conf"_s, DanteConfiguration(dir, m_port, m_kind == DanteUsercode)))
        return QStringLiteral("cannot write the dante configuration");
    if (m_kind != DanteUsercode)
        return QString();
    // The hash is `openssl passwd -6 -salt corvaline Proxy-Pass5`.
    const QByteArray passwd = "root:x:0:0:root:/root:/bin/bash\n"
                              "nobody:x:65534:65534:nobody:/nonexistent:/usr/sbin/nologin\n" +
                              QByteArray(Usercode) + ":x:64000:64000::/nonexistent:/usr/sbin/nologin\n";
    const QByteArray shadow =
        QByteArray(Usercode) +
        ":$6$corvaline$bdvQNlgLuJEDPUHZVEgYRu.kPXEg/nt.jmp82Yt7Us/8m2RdWtqdgs3AyNY8lQDlMHs08zFyBFdc2V2."
        "xJJL0.:19000:0:99999:7:::\n";
    if (!WriteFile(dir + u"/passwd"_s, passwd) || !WriteFile(dir + u"/shadow"_s, shadow))
        return QStringLiteral("cannot write the account files");
    return QString();
}

QString SocksProxy::Start()
{
    if (!m_dir.isValid())
        return QStringLiteral("no temporary folder");
    m_port = FreeLoopbackPort();
    const QString dir = m_dir.path();
    QString program;
    QStringList arguments;
    if (m_kind == Microsocks || m_kind == MicrosocksUsercode) {
        program = Program("microsocks");
        arguments = {u"-i"_s, u"127.0.0.1"_s, u"-p"_s, QString::number(m_port), u"-b"_s, u"127.0.0.1"_s};
        if (m_kind == MicrosocksUsercode)
            arguments << u"-u"_s << QString::fromLatin1(Usercode) << u"-P"_s << QString::fromLatin1(Password);
    } else {
        program = Program("danted");
        const QString error = WriteDanteFiles();
        if (!error.isEmpty())
            return error;
        arguments = {u"-f"_s, dir + u"/danted.conf"_s, u"-p"_s, dir + u"/danted.pid"_s, u"-N"_s, u"1"_s};
        if (m_kind == DanteUsercode && !program.isEmpty()) {
            const QString script = u"mount --bind '"_s + dir + u"/passwd' /etc/passwd && mount --bind '"_s + dir +
                                   u"/shadow' /etc/shadow && exec '"_s + program + u"' \"$@\""_s;
            arguments = QStringList{u"-m"_s, u"--propagation"_s, u"private"_s, u"sh"_s, u"-c"_s, script, u"danted"_s} +
                        arguments;
            program = Program("unshare");
        }
    }
    if (program.isEmpty())
        return QStringLiteral("the proxy program is not installed (scripts/install-deps.sh installs it)");
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(5000))
        return program + u" does not start: "_s + m_process.errorString();
    if (!testsupport::waitFor([this] { return Accepting() || m_process.state() == QProcess::NotRunning; }, 10000) ||
        !Accepting()) {
        QFile log(dir + u"/danted.log"_s);
        log.open(QIODevice::ReadOnly);
        return program + u" does not listen on port "_s + QString::number(m_port) + u": "_s +
               QString::fromUtf8(m_process.readAll() + log.readAll());
    }
    return QString();
}

bool SocksProxy::Accepting() const
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(m_port);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}
