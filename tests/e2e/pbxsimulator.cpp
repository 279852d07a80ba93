#include "pbxsimulator.h"

#include "waitfor.h"

#include <QFile>

PbxSimulator::PbxSimulator(const QStringList& arguments, const QString& logPath)
    : m_arguments(arguments), m_logPath(logPath)
{
    m_process.setProgram(QStringLiteral(CORVALINE_PBXSIM_PATH));
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
}

PbxSimulator::~PbxSimulator()
{
    kill();
}

bool PbxSimulator::start()
{
    if (running())
        return false;
    m_process.setArguments(
        QStringList{QStringLiteral("--port"), QString::number(m_port), QStringLiteral("--log"), m_logPath} +
        m_arguments);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return false;
    testsupport::waitFor([this] { return m_process.canReadLine() || !running(); }, 10000);
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith("listening on "))
        return false;
    const quint16 port = static_cast<quint16>(line.mid(13).toUInt());
    if (m_port != 0 && port != m_port)
        return false;
    m_port = port;
    return true;
}

bool PbxSimulator::kill()
{
    if (!running())
        return true;
    m_process.kill();
    return m_process.waitForFinished(10000);
}

QByteArray PbxSimulator::log() const
{
    QFile file(m_logPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool PbxSimulator::waitForLog(const QByteArray& text, qsizetype count, int timeoutMs) const
{
    return testsupport::waitFor([&] { return log().count(text) >= count; }, timeoutMs);
}

QByteArray PbxSimulator::errors()
{
    return m_process.readAllStandardError();
}
