#include "streamsender.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <utility>

namespace {

constexpr int AcceptTimeoutMs = 10000;
// A client that stops reading for this long is given up on.
constexpr int WriteTimeoutMs = 30000;
constexpr qint64 Chunk = 256 * 1024;
// Enough queued to keep the kernel's buffer full, little enough to follow the reader.
constexpr qint64 Queued = 1024 * 1024;

} // namespace

StreamSender::StreamSender(QByteArray text) : m_text(std::move(text)) {}

StreamSender::~StreamSender()
{
    if (m_thread.joinable())
        m_thread.join();
}

quint16 StreamSender::start()
{
    std::promise<quint16> port;
    std::future<quint16> listening = port.get_future();
    m_thread = std::thread(&StreamSender::run, this, std::move(port));
    return listening.get();
}

void StreamSender::run(std::promise<quint16> port)
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        port.set_value(0);
        return;
    }
    port.set_value(server.serverPort());
    if (!server.waitForNewConnection(AcceptTimeoutMs))
        return;
    QTcpSocket* socket = server.nextPendingConnection();
    // Only one session: later attempts (the console's reconnection) are refused.
    server.close();
    if (!socket)
        return;
    m_accepted = true;
    qint64 written = 0;
    while (written < m_text.size() && socket->state() == QAbstractSocket::ConnectedState) {
        while (written < m_text.size() && socket->bytesToWrite() < Queued) {
            const qint64 size = std::min(Chunk, m_text.size() - written);
            if (socket->write(m_text.constData() + written, size) != size)
                return;
            written += size;
        }
        if (!socket->waitForBytesWritten(WriteTimeoutMs))
            return;
        socket->readAll();
        m_sent = written - socket->bytesToWrite();
    }
    while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(WriteTimeoutMs)) {
    }
    m_sent = written - socket->bytesToWrite();
    m_completed = written == m_text.size() && socket->bytesToWrite() == 0;
    socket->disconnectFromHost();
    if (socket->state() != QAbstractSocket::UnconnectedState)
        socket->waitForDisconnected(AcceptTimeoutMs);
}
