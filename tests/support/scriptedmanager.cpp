#include "scriptedmanager.h"

#include "supervision/livechannellist.h"

ScriptedManager::ScriptedManager()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
        if (m_session)
            m_session->deleteLater();
        m_session = m_server.nextPendingConnection();
        m_pending.clear();
        ++m_connections;
        QObject::connect(m_session, &QTcpSocket::readyRead, [this] { readActions(); });
        send(m_banner);
    });
}

QByteArray ScriptedManager::standardAnswer(const QByteArray& action)
{
    if (action.startsWith("Action: Login\r\n"))
        return "Response: Success\r\nMessage: Authentication accepted\r\n\r\n";
    if (action.startsWith("Action: Status\r\n"))
        return "Response: Success\r\nActionID: " + LiveChannelList::ActionId +
               "\r\nMessage: Channel status will follow\r\n\r\nEvent: StatusComplete\r\nActionID: " +
               LiveChannelList::ActionId + "\r\nItems: 0\r\n\r\n";
    return "Response: Success\r\n\r\n";
}

void ScriptedManager::send(const QByteArray& bytes)
{
    if (!m_session)
        return;
    m_session->write(bytes);
}

void ScriptedManager::readActions()
{
    const QByteArray bytes = m_session->readAll();
    m_received += bytes;
    m_pending += bytes;
    for (qsizetype end = m_pending.indexOf("\r\n\r\n"); end >= 0; end = m_pending.indexOf("\r\n\r\n")) {
        const QByteArray action = m_pending.left(end + 4);
        m_pending.remove(0, end + 4);
        if (const QByteArray answer = m_answer(action); !answer.isEmpty())
            send(answer);
    }
}
