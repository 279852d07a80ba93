#pragma once

#include <QByteArray>
#include <QTcpSocket>

// A manager client on a plain Qt socket.
class ManagerClient
{
public:
    bool connectTo(quint16 port);
    void send(const QByteArray& text);
    // Reads until the received text holds the given text; bounded.
    bool waitFor(const QByteArray& text, int timeoutMs = 30000);
    // Reads until the text occurs at least count times; bounded.
    bool waitForCount(const QByteArray& text, qsizetype count, int timeoutMs = 60000);
    // Reads until the simulator has closed the connection; bounded.
    bool waitForClosed(int timeoutMs = 30000);
    // Everything received so far, and what came after the last take().
    const QByteArray& received() const { return m_received; }
    QByteArray take();
    // Logs in with the plain form and waits for the answer.
    bool login(const QByteArray& user = "admin", const QByteArray& secret = "s3cret");

private:
    void readAvailable();

    QTcpSocket m_socket;
    QByteArray m_received;
    qsizetype m_taken = 0;
};
