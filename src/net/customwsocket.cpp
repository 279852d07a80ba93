// The core of TCustomWSocket: its life, the dispatch of readiness and posted
// messages to the protocol steps, and closing.
#include "net/customwsocket.h"

#include "net/esocketexception.h"
#include "net/socketcalls.h"
#include "net/socketnotifywindow.h"
#include "net/winsockerror.h"

#include <QCoreApplication>

TCustomWSocket::TCustomWSocket(QObject* owner) : QObject(owner), m_window(new TSocketNotifyWindow(this))
{
    ResetToDefaults();
}

TCustomWSocket::~TCustomWSocket()
{
    m_destroying = true;
    try {
        CancelDnsLookup();
        if (m_state != wsClosed)
            Close();
    } catch (...) {
        // A destructor cannot report; the handle is released below in any case.
    }
    ReleaseHandle();
    DiscardSendBuffer();
    m_window.release()->Release();
}

// ---- lifecycle ----

void TCustomWSocket::ResetToDefaults()
{
    ReleaseHandle();
    m_sin = sockaddr_in{};
    m_sin.sin_family = AF_INET;
    m_portAssigned = false;
    m_addrAssigned = false;
    m_addrResolved = false;
    m_portResolved = false;
    m_protoResolved = false;
    m_localPortResolved = false;
    m_protoAssigned = true;
    m_proto = IPPROTO_TCP;
    m_protoStr = QByteArrayLiteral("tcp");
    m_type = SOCK_STREAM;
    m_localPortStr = QByteArrayLiteral("0");
    m_localAddr = QByteArrayLiteral("0.0.0.0");
    m_lingerOnOff = wsLingerOn;
    m_lingerTimeout = 0;
    m_eventMask = 0;
    m_state = wsClosed;
    m_allSent = true;
    m_paused = false;
    m_readCount = 0;
    m_closeInvoked = false;
    m_connectPending = false;
    m_writeWanted = false;
}

void TCustomWSocket::AdoptHandle(TSocket handle)
{
    m_hSocket = handle;
    ++m_generation;
    m_closeInvoked = false;
    m_readClosed = false;
    m_connectPending = false;
    m_writeWanted = false;
    m_window->Watch(handle);
}

void TCustomWSocket::ReleaseHandle()
{
    if (m_hSocket == INVALID_SOCKET)
        return;
    m_window->Unwatch();
    SocketCalls::close(m_hSocket);
    m_hSocket = INVALID_SOCKET;
}

void TCustomWSocket::StartWatching(bool armWrite)
{
    RearmRead();
    if (armWrite)
        ArmWrite();
}

void TCustomWSocket::RearmRead()
{
    if (m_hSocket != INVALID_SOCKET && !m_readClosed && !m_paused && !m_connectPending &&
        (m_eventMask & (FD_READ | FD_ACCEPT)) != 0)
        m_window->SetReadEnabled(true);
}

void TCustomWSocket::ArmWrite()
{
    m_writeWanted = true;
    if (!m_paused)
        m_window->SetWriteEnabled(true);
}

void TCustomWSocket::EnterState(TSocketState newState)
{
    const TSocketState oldState = m_state;
    m_state = newState;
    DoChangeState(oldState, newState);
}

// ---- message dispatch ----

void TCustomWSocket::PostMessage(int msg, quintptr wParam, qintptr lParam)
{
    QCoreApplication::postEvent(m_window.get(), new TSocketMessage(msg, wParam, lParam));
}

void TCustomWSocket::ProcessMessage(TSocketMessage& msg)
{
    Protected([this, &msg] { HandleMessage(msg); });
}

bool TCustomWSocket::HandleMessage(TSocketMessage& msg)
{
    switch (msg.Msg()) {
    case MsgAsyncSelect:
        DispatchNetworkEvents(msg.wParam, static_cast<int>(msg.lParam & 0xFFFF),
                              static_cast<int>((msg.lParam >> 16) & 0xFFFF));
        return true;
    case MsgCloseLater:
        Close();
        return true;
    case MsgRelease:
        delete this;
        return true;
    case MsgTestException:
        throw ESocketException("Test exception in WSocket");
    default:
        return false;
    }
}

void TCustomWSocket::HandleReadReady()
{
    m_window->SetReadEnabled(false);
    if (m_hSocket == INVALID_SOCKET)
        return;
    int events = FD_READ;
    int error = 0;
    if (m_state == wsListening && m_type == SOCK_STREAM) {
        events = FD_ACCEPT;
    } else if (m_type == SOCK_STREAM) {
        int pending = 0;
        if (SocketCalls::bytesWaiting(m_hSocket, pending) < 0 || pending == 0) {
            // Readable with nothing to read: the peer closed or the connection failed.
            char probe = 0;
            const ssize_t result = SocketCalls::receive(m_hSocket, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
            const int code = result < 0 ? SocketCalls::lastError() : 0;
            if (code == WSAEWOULDBLOCK) {
                RearmRead();
                return;
            }
            if (result <= 0) {
                events = FD_CLOSE;
                error = code;
                m_readClosed = true;
            }
        }
    }
    TSocketMessage msg(MsgAsyncSelect, m_generation, events | (error << 16));
    ProcessMessage(msg);
}

void TCustomWSocket::HandleWriteReady()
{
    m_window->SetWriteEnabled(false);
    m_writeWanted = false;
    if (m_hSocket == INVALID_SOCKET)
        return;
    int events = FD_WRITE;
    int error = 0;
    if (m_connectPending) {
        m_connectPending = false;
        events = FD_CONNECT;
        error = SocketCalls::pendingError(m_hSocket);
        if (error == 0) {
            // Winsock follows an established connection with one write notification.
            StartWatching(true);
        }
    }
    TSocketMessage msg(MsgAsyncSelect, m_generation, events | (error << 16));
    ProcessMessage(msg);
}

void TCustomWSocket::HandleHangUp()
{
    // Only when nothing else will tell: an armed read notification brings the
    // close by itself, and a paused socket reports nothing.
    if (m_hSocket == INVALID_SOCKET || m_type != SOCK_STREAM || m_state != wsConnected || m_readClosed || m_paused ||
        m_window->ReadEnabled())
        return;
    m_readClosed = true;
    TSocketMessage msg(MsgAsyncSelect, m_generation, FD_CLOSE);
    ProcessMessage(msg);
}

void TCustomWSocket::DispatchNetworkEvents(quintptr generation, int events, int error)
{
    const HandlerGuard guard(this, generation);
    if (!guard.connectionOpen() || m_paused)
        return;
    if ((events & FD_CONNECT) != 0 && m_state != wsConnected) {
        EnterState(wsConnected);
        if (!guard.connectionOpen())
            return;
        DoSessionConnected(error);
        if (!guard.connectionOpen())
            return;
        if (error != 0) {
            if (m_state != wsClosed)
                Close();
            return;
        }
    }
    if ((events & FD_READ) != 0) {
        if (m_state != wsConnected) {
            EnterState(wsConnected);
            if (!guard.connectionOpen())
                return;
            DoSessionConnected(error);
            if (!guard.connectionOpen())
                return;
        }
        ReceiveLoop(error, m_options, false);
        if (!guard.connectionOpen())
            return;
    }
    if ((events & FD_WRITE) != 0) {
        TryToSend();
        if (!guard.connectionOpen())
            return;
        if (m_allSent) {
            DoDataSent(error);
            if (!guard.connectionOpen())
                return;
        }
    }
    if ((events & FD_ACCEPT) != 0) {
        DoSessionAvailable(error);
        if (!guard.connectionOpen())
            return;
    }
    if ((events & FD_CLOSE) != 0 && m_state != wsConnecting) {
        ReceiveLoop(0, m_options & ~TWSocketOptions(wsoNoReceiveLoop), true);
        if (!guard.connectionOpen())
            return;
        if (!m_closeInvoked) {
            m_closeInvoked = true;
            DoSessionClosed(error);
            if (!guard.connectionOpen())
                return;
        }
        if (m_state != wsClosed)
            Close();
    }
}

// ---- closing ----

void TCustomWSocket::Close()
{
    DoClose(true, 0);
}

void TCustomWSocket::CloseLater()
{
    PostMessage(MsgCloseLater);
}

void TCustomWSocket::ReleaseLater()
{
    PostMessage(MsgRelease);
}

void TCustomWSocket::Abort()
{
    CancelDnsLookup();
    DiscardSendBuffer();
    if (m_state == wsConnected && m_proto == IPPROTO_TCP) {
        m_lingerOnOff = wsLingerOff;
        ApplyLinger();
    }
    DoClose(false, 0);
}

void TCustomWSocket::Shutdown(int how)
{
    if (m_hSocket != INVALID_SOCKET)
        SocketCalls::shutdown(m_hSocket, how);
}

void TCustomWSocket::DoClose(bool halfClose, int error)
{
    if (m_hSocket == INVALID_SOCKET) {
        if (m_state != wsClosed) {
            const HandlerGuard guard(this);
            EnterState(wsClosed);
            if (guard.alive())
                ResetToDefaults();
        }
        return;
    }
    if (m_state == wsClosed) {
        // A handle left behind by a failed Listen or Connect: nobody was told about it.
        ReleaseHandle();
        return;
    }
    if (halfClose)
        Shutdown(SHUT_WR);
    if (!CloseHandle("Disconnect (closesocket)"))
        return;
    const HandlerGuard guard(this);
    EnterState(wsClosed);
    if (!guard.sameConnection())
        return;
    if (!m_destroying && !m_closeInvoked) {
        m_closeInvoked = true;
        DoSessionClosed(error);
        // The handler may have destroyed the socket or started a new connection.
        if (!guard.sameConnection())
            return;
    }
    try {
        ResetToDefaults();
    } catch (...) {
        // Resetting fields cannot fail in this layer; an override that does is ignored here.
    }
}

bool TCustomWSocket::CloseHandle(const char* function)
{
    m_window->Unwatch();
    const int closed = SocketCalls::close(m_hSocket);
    m_hSocket = INVALID_SOCKET;
    if (closed == 0)
        return true;
    ReportWinsockError(function, SocketCalls::lastError());
    return false;
}
