// Receiving on a TCustomWSocket: the receive loop a read notification runs,
// and the reads its handlers make.
#include "net/customwsocket.h"

#include "net/socketcalls.h"
#include "net/socketnotifywindow.h"
#include "net/winsockerror.h"

// ---- receiving ----

void TCustomWSocket::ReceiveLoop(int error, TWSocketOptions options, bool toTheEnd)
{
    const HandlerGuard guard(this);
    // A peer that sends as fast as the handler reads would keep the loop, and
    // with it the whole interface thread, going for as long as it sends. After
    // a bounded number of passes the loop yields; the read notification, armed
    // again by every receive, brings it back on the next turn of the event loop.
    // The close path reads to the end: nothing comes after it.
    for (int pass = 1;; ++pass) {
        try {
            m_lastError = 0;
            const quint64 callsBefore = m_receiveCalls;
            if (!DoDataAvailable(error)) {
                if (!guard.connectionOpen())
                    return;
                char discard[1024];
                if (RawReceive(discard, sizeof discard, 0) < 0 && WinsockError() == WSAEWOULDBLOCK) {
                    m_lastError = 0;
                    return;
                }
            }
            if (!guard.connectionOpen())
                return;
            if (options.testFlag(wsoNoReceiveLoop) || m_lastError != 0) {
                RepostHeldData();
                return;
            }
            int count = 0;
            if (SocketCalls::bytesWaiting(m_hSocket, count) < 0) {
                m_lastError = SocketCalls::lastError();
                return;
            }
            if (count == 0 && !HasHeldData())
                return;
            if (!guard.connectionOpen())
                return;
            // A handler that reads nothing would otherwise be offered the same
            // bytes forever. Read notifications stop until it reads; a close of
            // the peer meanwhile must still be seen.
            if (m_receiveCalls == callsBefore) {
                m_window->WatchHangUp();
                return;
            }
            if (!toTheEnd && pass >= MaxReceivePasses) {
                RepostHeldData();
                return;
            }
        } catch (...) {
            // Exceptions of one pass end the loop and go no further, by design of the receive path.
            return;
        }
    }
}

void TCustomWSocket::RepostHeldData()
{
    // Bytes held by a layer have no read notification of the system's.
    if (m_hSocket != INVALID_SOCKET && HasHeldData())
        PostNetworkEvents(FD_READ);
}

void TCustomWSocket::PostNetworkEvents(int events, int error)
{
    PostMessage(MsgAsyncSelect, m_generation, events | (error << 16));
}

int TCustomWSocket::RawReceive(void* buffer, int size, int flags)
{
    if (m_hSocket == INVALID_SOCKET) {
        SetWinsockError(WSAENOTSOCK);
        return -1;
    }
    ++m_receiveCalls;
    const ssize_t result = SocketCalls::receive(m_hSocket, buffer, static_cast<size_t>(qMax(size, 0)), flags);
    if (result < 0)
        SetWinsockError(SocketCalls::lastError());
    // As with Winsock, each recv re-enables the read notification.
    RearmRead();
    return static_cast<int>(result);
}

int TCustomWSocket::Receive(void* buffer, int size)
{
    const int result = RawReceive(buffer, size, 0);
    if (result < 0)
        m_lastError = WinsockError();
    else
        m_readCount += result;
    return result;
}

QByteArray TCustomWSocket::ReceiveText()
{
    int size = RcvdCount();
    if (size < 0)
        return QByteArray();
    if (size == 0)
        size = 255;
    QByteArray text(size, Qt::Uninitialized);
    const int count = Receive(text.data(), size);
    if (count <= 0)
        return QByteArray();
    text.truncate(count);
    return text;
}

int TCustomWSocket::RcvdCount()
{
    int count = 0;
    if (m_hSocket == INVALID_SOCKET || SocketCalls::bytesWaiting(m_hSocket, count) < 0) {
        ReportWinsockError("ioctlSocket", m_hSocket == INVALID_SOCKET ? WSAENOTSOCK : SocketCalls::lastError());
        return -1;
    }
    return count;
}
