#include "managerclient.h"

#include "waitfor.h"

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
