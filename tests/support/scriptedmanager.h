#pragma once

#include <QByteArray>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <utility>

// A manager of the test's own on a loopback port, for what the simulator
// never does: it answers the login and the list of live channels as told, and
// sends whatever bytes the test gives it, hostile ones included. One session
// at a time; a new connection replaces the last one.
class ScriptedManager
{
public:
    // What goes back for one received action (its whole text); empty: nothing.
    using Answer = std::function<QByteArray(const QByteArray& action)>;

    ScriptedManager();

    quint16 port() const { return m_server.serverPort(); }
    // Accepts every login and lists no live channel, unless told otherwise.
    void setAnswer(Answer answer) { m_answer = std::move(answer); }
    // The answers that a real manager gives to the login and to Status.
    static QByteArray standardAnswer(const QByteArray& action);
    // The first line of every session; "Asterisk Call Manager/1.1" unless told otherwise.
    void setBanner(QByteArray banner) { m_banner = std::move(banner); }

    // Sends bytes on the current session, in order; the event loop carries them.
    void send(const QByteArray& bytes);

    int connections() const { return m_connections; }
    // Everything the program sent, over all sessions.
    const QByteArray& received() const { return m_received; }

private:
    void readActions();

    QTcpServer m_server;
    QPointer<QTcpSocket> m_session;
    Answer m_answer = &ScriptedManager::standardAnswer;
    QByteArray m_banner = QByteArrayLiteral("Asterisk Call Manager/1.1\r\n");
    QByteArray m_received;
    QByteArray m_pending;
    int m_connections = 0;
};
