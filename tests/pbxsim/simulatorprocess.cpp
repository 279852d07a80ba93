#include "simulatorprocess.h"

#include "waitfor.h"

SimulatorProcess::SimulatorProcess(const QStringList& arguments)
{
    m_process.setProgram(QStringLiteral(CORVALINE_PBXSIM_PATH));
    m_process.setArguments(QStringList{QStringLiteral("--port"), QStringLiteral("0")} + arguments);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return;
    testsupport::waitFor([this] { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; },
                         10000);
    const QByteArray line = m_process.readLine().trimmed();
    if (line.startsWith("listening on "))
        m_port = static_cast<quint16>(line.mid(13).toUInt());
}

SimulatorProcess::~SimulatorProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool SimulatorProcess::stop()
{
    m_process.terminate();
    return m_process.waitForFinished(10000);
}

bool ManagerClient::connectTo(quint16 port)
{
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    return m_socket.waitForConnected(5000);
}

void ManagerClient::send(const QByteArray& text)
{
    m_socket.write(text);
    m_socket.flush();
}

void ManagerClient::readAvailable()
{
    m_received += m_socket.readAll();
}

bool ManagerClient::waitFor(const QByteArray& text, int timeoutMs)
{
    return testsupport::waitFor(
        [&] {
            readAvailable();
            return m_received.indexOf(text, m_taken) >= 0;
        },
        timeoutMs);
}

bool ManagerClient::waitForCount(const QByteArray& text, qsizetype count, int timeoutMs)
{
    return testsupport::waitFor(
        [&] {
            readAvailable();
            return m_received.count(text) >= count;
        },
        timeoutMs);
}

bool ManagerClient::waitForClosed(int timeoutMs)
{
    return testsupport::waitFor(
        [&] {
            readAvailable();
            return m_socket.state() == QAbstractSocket::UnconnectedState;
        },
        timeoutMs);
}

QByteArray ManagerClient::take()
{
    readAvailable();
    const QByteArray fresh = m_received.mid(m_taken);
    m_taken = m_received.size();
    return fresh;
}

bool ManagerClient::login(const QByteArray& user, const QByteArray& secret)
{
    send("Action: Login\r\nUserName: " + user + "\r\nSecret: " + secret + "\r\nEvents: On\r\n\r\n");
    return waitFor("Message: Authentication accepted\r\n\r\n");
}
