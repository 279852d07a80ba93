#include "sippphone.h"

#include "realasterisk.h"
#include "waitfor.h"

#include <QFile>
#include <QUdpSocket>

#include <array>

namespace {
// The longest a scenario runs: sipp gives up after it, as a failure.
constexpr int ScenarioBoundSeconds = 120;

// sipp binds its audio port, the next one, and the two after them for video:
// all four have to be free.
quint16 freeMediaPorts()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const quint16 base = RealAsterisk::freePort();
        if (base == 0 || base > 65530)
            continue;
        std::array<QUdpSocket, 4> sockets;
        bool free = true;
        for (quint16 i = 0; i < sockets.size() && free; ++i)
            free = !RealAsterisk::reserved(base + i) && sockets[i].bind(QHostAddress::LocalHost, base + i);
        if (free)
            return base;
    }
    return 0;
}
} // namespace

SippPhone::SippPhone(const char* scenario, quint16 port, int delayMs, const Call& call, const QString& workDir,
                     int calls)
    : m_scenario(scenario), m_port(port), m_delayMs(delayMs), m_call(call), m_workDir(workDir), m_calls(calls)
{}

SippPhone::~SippPhone()
{
    kill();
}

bool SippPhone::start()
{
    QFile source(QStringLiteral(CORVALINE_SIPP_DIR "/") + QString::fromLatin1(m_scenario) + QStringLiteral(".xml"));
    const QString path = m_workDir + QStringLiteral("/%1-%2.xml").arg(QString::fromLatin1(m_scenario)).arg(m_port);
    QFile scenario(path);
    if (!source.open(QIODevice::ReadOnly) || !scenario.open(QIODevice::WriteOnly) ||
        scenario.write(source.readAll().replace("@DELAY_MS@", QByteArray::number(m_delayMs))) < 0)
        return false;
    scenario.close();
    QStringList arguments;
    if (!m_call.target.isEmpty()) {
        arguments << m_call.target << QStringLiteral("-s") << QString::fromLatin1(m_call.dialled)
                  << QStringLiteral("-key") << QStringLiteral("fromuser") << QString::fromLatin1(m_call.fromUser)
                  << QStringLiteral("-key") << QStringLiteral("idname") << QString::fromUtf8(m_call.idName)
                  << QStringLiteral("-key") << QStringLiteral("idnumber") << QString::fromLatin1(m_call.idNumber);
    }
    const QString port = QString::number(m_port);
    arguments << QStringLiteral("-sf") << path << QStringLiteral("-i") << QStringLiteral("127.0.0.1")
              << QStringLiteral("-p") << port << QStringLiteral("-ci") << QStringLiteral("127.0.0.1")
              << QStringLiteral("-cp") << QString::number(RealAsterisk::freePort()) << QStringLiteral("-mp")
              << QString::number(freeMediaPorts()) << QStringLiteral("-aa") << QStringLiteral("-nostdin")
              << QStringLiteral("-m") << QString::number(m_calls) << QStringLiteral("-l") << QString::number(m_calls)
              << QStringLiteral("-timeout") << QStringLiteral("%1s").arg(ScenarioBoundSeconds)
              << QStringLiteral("-timeout_error") << QStringLiteral("-trace_err") << QStringLiteral("-error_file")
              << m_workDir + QStringLiteral("/sipp-%1.err").arg(m_port);
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(QStringLiteral("sipp"), arguments);
    return m_process.waitForStarted(ScenarioBoundSeconds * 1000);
}

bool SippPhone::waitForSuccess()
{
    testsupport::waitFor([this] { return !running(); }, (ScenarioBoundSeconds + 30) * 1000);
    return !running() && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

void SippPhone::kill()
{
    if (!running())
        return;
    m_process.kill();
    m_process.waitForFinished();
}

QByteArray SippPhone::errors() const
{
    QFile file(m_workDir + QStringLiteral("/sipp-%1.err").arg(m_port));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
