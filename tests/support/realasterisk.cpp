#include "realasterisk.h"

#include "waitfor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QUdpSocket>

#include <list>
#include <memory>

namespace {

// How long a start, an end or a console command may take on a loaded machine.
constexpr int ProcessBoundMs = 60000;
constexpr char Variable[] = "CORVALINE_ASTERISK";

QSet<quint16>& reservedPorts()
{
    static QSet<quint16> ports;
    return ports;
}

QString modulesDirOf(const QString& prefix)
{
    QStringList candidates{prefix + QStringLiteral("/lib/asterisk/modules"),
                           prefix + QStringLiteral("/lib64/asterisk/modules")};
    // Debian and Ubuntu keep them under the multiarch folder.
    for (const QString& triplet : QDir(prefix + QStringLiteral("/lib")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        candidates.append(prefix + QStringLiteral("/lib/") + triplet + QStringLiteral("/asterisk/modules"));
    for (const QString& candidate : candidates) {
        if (QFileInfo::exists(candidate + QStringLiteral("/chan_pjsip.so")))
            return candidate;
    }
    return QString();
}

AsteriskInstallation installedAt(const QString& prefix, const QString& program)
{
    AsteriskInstallation found;
    found.modulesDir = modulesDirOf(prefix);
    if (!QFileInfo(program).isExecutable() || found.modulesDir.isEmpty()) {
        found.reason = QStringLiteral("no Asterisk with chan_pjsip in ") + prefix;
        return found;
    }
    found.program = program;
    found.libraryDir = prefix + QStringLiteral("/lib");
    return found;
}

QString cacheDir()
{
    const QString chosen = qEnvironmentVariable("CORVALINE_ASTERISK_CACHE");
    if (!chosen.isEmpty())
        return chosen;
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/corvaline/asterisk");
}

// The archive's folder in the cache, unpacked the first time. Unpacked beside
// it first, then renamed, so a concurrent or interrupted run never sees half
// a build.
QString unpacked(const QString& archive, QString* reason)
{
    const QString name = QFileInfo(archive).fileName().remove(QRegularExpression(QStringLiteral("\\.tar\\.xz$")));
    const QString target = cacheDir() + QLatin1Char('/') + name;
    if (QFileInfo::exists(target + QStringLiteral("/sbin/asterisk")))
        return target;
    if (!QDir().mkpath(cacheDir())) {
        *reason = QStringLiteral("cannot create ") + cacheDir();
        return QString();
    }
    QTemporaryDir scratch(cacheDir() + QStringLiteral("/unpacking-XXXXXX"));
    QProcess tar;
    tar.start(QStringLiteral("tar"), {QStringLiteral("-xJf"), archive, QStringLiteral("-C"), scratch.path()});
    if (!tar.waitForFinished(ProcessBoundMs) || tar.exitCode() != 0) {
        *reason = QStringLiteral("cannot unpack ") + archive + QStringLiteral(": ") +
                  QString::fromLocal8Bit(tar.readAllStandardError());
        return QString();
    }
    const QStringList folders = QDir(scratch.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (folders.size() != 1) {
        *reason = archive + QStringLiteral(" does not hold one folder");
        return QString();
    }
    // Another run may have won the race: its folder is as good.
    QDir().rename(scratch.filePath(folders.first()), target);
    return target;
}

} // namespace

bool AsteriskInstallation::hasModule(const QString& name) const
{
    return found() && QFileInfo::exists(modulesDir + QLatin1Char('/') + name + QStringLiteral(".so"));
}

AsteriskInstallation AsteriskInstallation::find()
{
    const QString chosen = qEnvironmentVariable(Variable);
    if (chosen.endsWith(QStringLiteral(".tar.xz"))) {
        AsteriskInstallation none;
        const QString prefix = unpacked(chosen, &none.reason);
        return prefix.isEmpty() ? none : installedAt(prefix, prefix + QStringLiteral("/sbin/asterisk"));
    }
    if (!chosen.isEmpty())
        return installedAt(chosen, chosen + QStringLiteral("/sbin/asterisk"));
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("asterisk"));
    if (onPath.isEmpty()) {
        AsteriskInstallation none;
        none.reason = QStringLiteral("no Asterisk: set ") + QLatin1String(Variable) +
                      QStringLiteral(" to an installed prefix or a .tar.xz build, or put asterisk on PATH");
        return none;
    }
    const QString program = QFileInfo(onPath).canonicalFilePath();
    return installedAt(QFileInfo(program).dir().absolutePath() + QStringLiteral("/.."), program);
}

RealAsterisk::RealAsterisk(AsteriskInstallation installation, const QString& templateDir)
    : m_installation(std::move(installation)), m_templateDir(templateDir),
      // The console's socket path has to stay within the 108 bytes of a Unix address.
      m_run(QStringLiteral("/tmp/corvaline-asterisk-XXXXXX"))
{
    m_process.setProgram(m_installation.program);
    m_process.setProcessEnvironment(environment());
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_run.filePath(QStringLiteral("console.log")), QIODevice::Append);
}

RealAsterisk::~RealAsterisk()
{
    stop();
    for (const quint16 port : std::as_const(m_ports))
        reservedPorts().remove(port);
}

bool RealAsterisk::reserved(quint16 port)
{
    return reservedPorts().contains(port);
}

quint16 RealAsterisk::freePort()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        QTcpServer tcp;
        if (!tcp.listen(QHostAddress::LocalHost, 0) || reserved(tcp.serverPort()))
            continue;
        QUdpSocket udp;
        if (udp.bind(QHostAddress::LocalHost, tcp.serverPort()))
            return tcp.serverPort();
    }
    return 0;
}

QString RealAsterisk::configFile() const
{
    return m_run.filePath(QStringLiteral("etc/asterisk.conf"));
}

QProcessEnvironment RealAsterisk::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString libraries = environment.value(QStringLiteral("LD_LIBRARY_PATH"));
    environment.insert(QStringLiteral("LD_LIBRARY_PATH"),
                       libraries.isEmpty() ? m_installation.libraryDir
                                           : m_installation.libraryDir + QLatin1Char(':') + libraries);
    return environment;
}

bool RealAsterisk::writeConfiguration()
{
    const QDir run(m_run.path());
    for (const char* folder : {"etc", "lib", "spool", "run", "log"}) {
        if (!run.mkpath(QString::fromLatin1(folder)))
            return false;
    }
    const QRegularExpression placeholder(QStringLiteral("@([A-Z0-9_]+)@"));
    // The sockets stay bound until every port is chosen, so no two are the same.
    std::list<std::unique_ptr<QTcpServer>> held;
    const auto fill = [&](QByteArray text) {
        for (const QRegularExpressionMatch& match : placeholder.globalMatch(QString::fromLatin1(text))) {
            const QByteArray name = match.captured(1).toLatin1();
            if (name == "RUN" || name == "MODULES" || m_ports.contains(name))
                continue;
            held.push_back(std::make_unique<QTcpServer>());
            quint16 port = 0;
            do {
                port = freePort();
            } while (port != 0 && !held.back()->listen(QHostAddress::LocalHost, port));
            m_ports.insert(name, port);
            reservedPorts().insert(port);
        }
        text.replace("@RUN@", m_run.path().toUtf8());
        text.replace("@MODULES@", m_installation.modulesDir.toUtf8());
        for (auto it = m_ports.cbegin(); it != m_ports.cend(); ++it)
            text.replace('@' + it.key() + '@', QByteArray::number(it.value()));
        return text;
    };
    QMap<QString, QByteArray> files;
    for (const QFileInfo& entry : QDir(m_templateDir).entryInfoList(QDir::Files)) {
        QFile source(entry.filePath());
        if (!source.open(QIODevice::ReadOnly))
            return false;
        files.insert(entry.fileName(), source.readAll());
    }
    files.insert(m_added);
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QFile target(run.filePath(QStringLiteral("etc/") + it.key()));
        if (!target.open(QIODevice::WriteOnly) || target.write(fill(it.value())) < 0)
            return false;
    }
    return true;
}

bool RealAsterisk::start()
{
    if (!m_installation.found() || !m_run.isValid()) {
        m_errors = m_installation.reason;
        return false;
    }
    if (!m_configured && !(m_configured = writeConfiguration())) {
        m_errors = QStringLiteral("cannot write the configuration into ") + m_run.path();
        return false;
    }
    m_process.setArguments({QStringLiteral("-f"), QStringLiteral("-n"), QStringLiteral("-C"), configFile()});
    m_process.start();
    if (!m_process.waitForStarted(ProcessBoundMs)) {
        m_errors = m_process.errorString();
        return false;
    }
    // The console socket comes a little after the start; the command then
    // returns once the boot is over.
    const bool booted = testsupport::waitFor(
        [this] { return !running() || cli(QStringLiteral("core waitfullybooted")).contains("fully booted"); },
        ProcessBoundMs);
    if (!booted || !running()) {
        QFile console(m_run.filePath(QStringLiteral("console.log")));
        m_errors = QStringLiteral("Asterisk did not boot: ") +
                   QString::fromLocal8Bit(console.open(QIODevice::ReadOnly) ? console.readAll() : QByteArray());
        kill();
        return false;
    }
    return true;
}

bool RealAsterisk::stop()
{
    if (!running())
        return true;
    cli(QStringLiteral("core stop now"));
    return m_process.waitForFinished(ProcessBoundMs) || kill();
}

bool RealAsterisk::kill()
{
    if (!running())
        return true;
    m_process.kill();
    return m_process.waitForFinished(ProcessBoundMs);
}

QByteArray RealAsterisk::cli(const QString& command) const
{
    QProcess console;
    console.setProcessEnvironment(environment());
    console.setStandardInputFile(QProcess::nullDevice());
    console.start(m_installation.program, {QStringLiteral("-C"), configFile(), QStringLiteral("-rx"), command});
    if (!console.waitForFinished(ProcessBoundMs)) {
        console.kill();
        console.waitForFinished();
        return QByteArray();
    }
    return console.readAllStandardOutput();
}

QByteArrayList RealAsterisk::channels() const
{
    QByteArrayList lines;
    for (const QByteArray& line : cli(QStringLiteral("core show channels concise")).split('\n')) {
        if (line.count('!') >= 5)
            lines.append(line.trimmed());
    }
    return lines;
}

QByteArrayList RealAsterisk::channelsIn(const QByteArray& state) const
{
    QByteArrayList names;
    for (const QByteArray& line : channels()) {
        const QByteArrayList fields = line.split('!');
        if (fields.value(4) == state)
            names.append(fields.first());
    }
    return names;
}

QByteArray RealAsterisk::log() const
{
    QFile file(m_run.filePath(QStringLiteral("log/messages")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
