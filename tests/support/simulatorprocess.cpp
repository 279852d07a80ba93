#include "simulatorprocess.h"

#include "waitfor.h"

#include <QDateTime>
#include <QFile>

namespace {
// How long a start or an end of the program may take on a loaded machine.
constexpr int ProcessBoundMs = 60000;
} // namespace

QString SimulatorProcess::program()
{
    return QStringLiteral(CORVALINE_PBXSIM_PATH);
}

SimulatorProcess::SimulatorProcess(const QStringList& arguments, const QString& logPath)
    : m_arguments(arguments), m_logPath(logPath)
{
    m_process.setProgram(program());
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
}

SimulatorProcess::~SimulatorProcess()
{
    kill();
}

bool SimulatorProcess::start()
{
    if (running())
        return false;
    // The simulator names its channels after the second it started in, as
    // Asterisk does after the second of each channel; a restart within the
    // same second would give the new calls the names of the last run's, which
    // a real PBX, restarting in seconds, never does.
    if (!testsupport::waitFor([this] { return QDateTime::currentSecsSinceEpoch() > m_startSecond; }, ProcessBoundMs))
        return false;
    m_startSecond = QDateTime::currentSecsSinceEpoch();
    QStringList arguments{QStringLiteral("--port"), QString::number(m_port)};
    if (!m_logPath.isEmpty())
        arguments << QStringLiteral("--log") << m_logPath;
    m_process.setArguments(arguments + m_arguments);
    m_process.start();
    if (!m_process.waitForStarted(ProcessBoundMs))
        return false;
    testsupport::waitFor([this] { return m_process.canReadLine() || !running(); }, ProcessBoundMs);
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith("listening on "))
        return false;
    const quint16 port = static_cast<quint16>(line.mid(13).toUInt());
    if (m_port != 0 && port != m_port)
        return false;
    m_port = port;
    return true;
}

bool SimulatorProcess::stop()
{
    m_process.terminate();
    return m_process.waitForFinished(ProcessBoundMs);
}

bool SimulatorProcess::kill()
{
    if (!running())
        return true;
    m_process.kill();
    return m_process.waitForFinished(ProcessBoundMs);
}

QByteArray SimulatorProcess::log() const
{
    QFile file(m_logPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool SimulatorProcess::waitForLog(const QByteArray& text, qsizetype count, int timeoutMs) const
{
    return testsupport::waitFor([&] { return log().count(text) >= count; }, timeoutMs);
}

QByteArray SimulatorProcess::errors()
{
    return m_process.readAllStandardError();
}
