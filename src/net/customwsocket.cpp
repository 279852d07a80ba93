#include "net/customwsocket.h"

#include "net/esocketexception.h"
#include "net/socketnotifywindow.h"
#include "net/winsockerror.h"
#include "net/wsocketresolve.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int SendBufferBlockSize = 1460;
constexpr int ProtocolTcp = 6;

int LastSystemError()
{
    return WinsockErrorFromPosix(errno);
}

bool IsConnectionLoss(int code)
{
    return code == WSAECONNRESET || code == WSAENOTSOCK || code == WSAENOTCONN || code == WSAEINVAL ||
           code == WSAECONNABORTED;
}

} // namespace

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

bool TCustomWSocket::SameConnection(const QPointer<TCustomWSocket>& self, quintptr generation)
{
    return !self.isNull() && self->m_generation == generation && self->m_hSocket != INVALID_SOCKET;
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
    m_proto = ProtocolTcp;
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
    ::close(m_hSocket);
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

// ---- events ----

bool TCustomWSocket::DoDataAvailable(int error)
{
    if (!OnDataAvailable)
        return false;
    OnDataAvailable(this, static_cast<quint16>(error));
    return true;
}

void TCustomWSocket::DoSessionAvailable(int error)
{
    if (OnSessionAvailable)
        OnSessionAvailable(this, static_cast<quint16>(error));
}

void TCustomWSocket::DoSessionConnected(int error)
{
    if (OnSessionConnected)
        OnSessionConnected(this, static_cast<quint16>(error));
}

void TCustomWSocket::DoSessionClosed(int error)
{
    if (OnSessionClosed)
        OnSessionClosed(this, static_cast<quint16>(error));
}

void TCustomWSocket::DoDataSent(int error)
{
    if (OnDataSent)
        OnDataSent(this, static_cast<quint16>(error));
}

void TCustomWSocket::DoChangeState(TSocketState oldState, TSocketState newState)
{
    if (OnChangeState)
        OnChangeState(this, oldState, newState);
}

void TCustomWSocket::DoDnsLookupDone(int error)
{
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, static_cast<quint16>(error));
}

void TCustomWSocket::DoError()
{
    if (OnError)
        OnError(this);
}

// ---- errors ----

void TCustomWSocket::ReportError(const QByteArray& text)
{
    if (OnError) {
        DoError();
        return;
    }
    throw ESocketException(text);
}

void TCustomWSocket::ReportErrorFmt(const char* format, int code)
{
    char text[128];
    std::snprintf(text, sizeof text, format, code);
    ReportError(QByteArray(text));
}

void TCustomWSocket::ReportWinsockError(const char* function, int code)
{
    const QByteArray text =
        "Error " + QByteArray::number(code) + " in function " + function + "\r\n" + WinsockErrorText(code);
    if (code == WSAECONNRESET || code == WSAENOTCONN) {
        QPointer<TCustomWSocket> self(this);
        ReleaseHandle();
        if (m_state != wsClosed && !m_closeInvoked) {
            m_closeInvoked = true;
            DoSessionClosed(code);
            if (!self)
                return;
        }
        EnterState(wsClosed);
        if (!self)
            return;
    }
    m_lastError = code;
    ReportError(text);
}

void TCustomWSocket::HandleBgException(const std::exception& e)
{
    QPointer<TCustomWSocket> self(this);
    bool canClose = true;
    if (OnBgException) {
        try {
            OnBgException(this, e, canClose);
        } catch (...) {
            // An exception from the exception handler itself has nowhere left to go.
        }
    }
    if (self && canClose) {
        try {
            Abort();
        } catch (...) {
            // Aborting is the last resort; its own failure is not reported.
        }
    }
}

void TCustomWSocket::Protected(const std::function<void()>& fn)
{
    QPointer<TCustomWSocket> self(this);
    try {
        fn();
    } catch (const std::exception& e) {
        if (self)
            HandleBgException(e);
    } catch (...) {
        if (self)
            HandleBgException(ESocketException("Unknown exception"));
    }
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
        if (::ioctl(m_hSocket, FIONREAD, &pending) < 0 || pending == 0) {
            // Readable with nothing to read: the peer closed or the connection failed.
            char probe = 0;
            const ssize_t result = ::recv(m_hSocket, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
            if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                RearmRead();
                return;
            }
            if (result <= 0) {
                events = FD_CLOSE;
                error = result < 0 ? LastSystemError() : 0;
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
        int soError = 0;
        socklen_t length = sizeof soError;
        ::getsockopt(m_hSocket, SOL_SOCKET, SO_ERROR, &soError, &length);
        events = FD_CONNECT;
        error = WinsockErrorFromPosix(soError);
        if (error == 0) {
            // Winsock follows an established connection with one write notification.
            StartWatching(true);
        }
    }
    TSocketMessage msg(MsgAsyncSelect, m_generation, events | (error << 16));
    ProcessMessage(msg);
}

void TCustomWSocket::DispatchNetworkEvents(quintptr generation, int events, int error)
{
    QPointer<TCustomWSocket> self(this);
    if (!SameConnection(self, generation) || m_paused)
        return;
    if ((events & FD_CONNECT) != 0 && m_state != wsConnected) {
        EnterState(wsConnected);
        if (!SameConnection(self, generation))
            return;
        DoSessionConnected(error);
        if (!SameConnection(self, generation))
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
            if (!SameConnection(self, generation))
                return;
            DoSessionConnected(error);
            if (!SameConnection(self, generation))
                return;
        }
        ReceiveLoop(error, m_options, false);
        if (!SameConnection(self, generation))
            return;
    }
    if ((events & FD_WRITE) != 0) {
        TryToSend();
        if (!SameConnection(self, generation))
            return;
        if (m_allSent) {
            DoDataSent(error);
            if (!SameConnection(self, generation))
                return;
        }
    }
    if ((events & FD_ACCEPT) != 0) {
        DoSessionAvailable(error);
        if (!SameConnection(self, generation))
            return;
    }
    if ((events & FD_CLOSE) != 0 && m_state != wsConnecting) {
        ReceiveLoop(0, m_options & ~TWSocketOptions(wsoNoReceiveLoop), true);
        if (!SameConnection(self, generation))
            return;
        if (!m_closeInvoked) {
            m_closeInvoked = true;
            DoSessionClosed(error);
            if (!SameConnection(self, generation))
                return;
        }
        if (m_state != wsClosed)
            Close();
    }
}

// ---- receiving ----

void TCustomWSocket::ReceiveLoop(int error, TWSocketOptions options, bool toTheEnd)
{
    QPointer<TCustomWSocket> self(this);
    const quintptr generation = m_generation;
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
                if (!SameConnection(self, generation))
                    return;
                char discard[1024];
                if (RawReceive(discard, sizeof discard, 0) < 0 && WinsockError() == WSAEWOULDBLOCK) {
                    m_lastError = 0;
                    return;
                }
            }
            if (!SameConnection(self, generation))
                return;
            if (options.testFlag(wsoNoReceiveLoop) || m_lastError != 0)
                return;
            int count = 0;
            if (::ioctl(m_hSocket, FIONREAD, &count) < 0) {
                m_lastError = LastSystemError();
                return;
            }
            // A handler that reads nothing would otherwise be offered the same bytes forever.
            if (count == 0 || m_receiveCalls == callsBefore)
                return;
            if (!toTheEnd && pass >= MaxReceivePasses)
                return;
        } catch (...) {
            // Exceptions of one pass end the loop and go no further, by design of the receive path.
            return;
        }
    }
}

int TCustomWSocket::RawReceive(void* buffer, int size, int flags)
{
    if (m_hSocket == INVALID_SOCKET) {
        SetWinsockError(WSAENOTSOCK);
        return -1;
    }
    ++m_receiveCalls;
    ssize_t result;
    do {
        result = ::recv(m_hSocket, buffer, static_cast<size_t>(qMax(size, 0)), flags);
    } while (result < 0 && errno == EINTR);
    if (result < 0)
        SetWinsockError(LastSystemError());
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

// ---- sending ----

int TCustomWSocket::Send(const void* data, int len)
{
    if (m_state != wsConnected) {
        ReportWinsockError("Send", WSAENOTCONN);
        return -1;
    }
    m_allSent = false;
    int result = 0;
    if (len > 0) {
        AppendToSendBuffer(static_cast<const char*>(data), len);
        result = len;
    }
    QPointer<TCustomWSocket> self(this);
    const quintptr generation = m_generation;
    TryToSend();
    // When everything left at once, OnDataSent still comes from the loop, never from
    // inside Send. A write notification already on its way stands for it.
    if (SameConnection(self, generation) && m_allSent && !m_writeWanted)
        PostMessage(MsgAsyncSelect, m_generation, FD_WRITE);
    return result;
}

int TCustomWSocket::SendText(const QByteArray& text)
{
    if (text.isEmpty())
        return 0;
    return Send(text.constData(), static_cast<int>(text.size()));
}

void TCustomWSocket::AppendToSendBuffer(const char* data, int len)
{
    if (m_sendBuffer.empty())
        m_sendBuffer.push_back(std::make_unique<TBuffer>(SendBufferBlockSize));
    int done = m_sendBuffer.back()->Append(data, len);
    while (done < len) {
        m_sendBuffer.push_back(std::make_unique<TBuffer>(SendBufferBlockSize));
        done += m_sendBuffer.back()->Append(data + done, len - done);
    }
}

void TCustomWSocket::DiscardSendBuffer()
{
    m_sendBuffer.clear();
}

void TCustomWSocket::TryToSend()
{
    if (m_hSocket == INVALID_SOCKET)
        return;
    if (m_sendBuffer.empty()) {
        m_allSent = true;
        return;
    }
    QPointer<TCustomWSocket> self(this);
    const quintptr generation = m_generation;
    for (;;) {
        TBuffer& block = *m_sendBuffer.front();
        const auto [data, length] = block.Peek();
        if (length == 0) {
            if (m_sendBuffer.size() == 1) {
                m_allSent = true;
                return;
            }
            m_sendBuffer.pop_front();
            continue;
        }
        const int sent = RawSend(data, length);
        if (!SameConnection(self, generation))
            return;
        if (sent < 0) {
            const int code = WinsockError();
            if (IsConnectionLoss(code)) {
                m_closeInvoked = true;
                Close();
                if (self)
                    DoSessionClosed(code);
            } else if (code == WSAEWOULDBLOCK) {
                ArmWrite();
            } else {
                ReportWinsockError("TryToSend failed", code);
            }
            return;
        }
        block.Consume(sent);
        if (sent < length) {
            // The network took part of the block: the rest goes on the next write notification.
            ArmWrite();
            return;
        }
    }
}

int TCustomWSocket::RawSend(const char* data, int len)
{
    ssize_t result;
    do {
        if (m_type == SOCK_DGRAM) {
            result = ::sendto(m_hSocket, data, static_cast<size_t>(len), m_sendFlags | MSG_NOSIGNAL,
                              reinterpret_cast<const sockaddr*>(&m_sin), sizeof m_sin);
        } else {
            result = ::send(m_hSocket, data, static_cast<size_t>(len), m_sendFlags | MSG_NOSIGNAL);
        }
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        SetWinsockError(LastSystemError());
        return -1;
    }
    if (result > 0 && OnSendData)
        OnSendData(this, static_cast<int>(result));
    return static_cast<int>(result);
}

void TCustomWSocket::Flush()
{
    QPointer<TCustomWSocket> self(this);
    while (self && m_hSocket != INVALID_SOCKET && !m_allSent) {
        TryToSend();
        if (self)
            PumpMessages();
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
    if (m_state == wsConnected && m_proto == ProtocolTcp) {
        m_lingerOnOff = wsLingerOff;
        ApplyLinger();
    }
    DoClose(false, 0);
}

void TCustomWSocket::Shutdown(int how)
{
    if (m_hSocket != INVALID_SOCKET)
        ::shutdown(m_hSocket, how);
}

void TCustomWSocket::DoClose(bool halfClose, int error)
{
    QPointer<TCustomWSocket> self(this);
    if (m_hSocket == INVALID_SOCKET) {
        if (m_state != wsClosed) {
            EnterState(wsClosed);
            if (self)
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
    m_window->Unwatch();
    const int closed = ::close(m_hSocket);
    const int closeError = errno;
    m_hSocket = INVALID_SOCKET;
    if (closed < 0 && closeError != EINTR) {
        ReportWinsockError("Disconnect (closesocket)", WinsockErrorFromPosix(closeError));
        return;
    }
    const quintptr generation = m_generation;
    EnterState(wsClosed);
    if (!self || m_generation != generation)
        return;
    if (!m_destroying && !m_closeInvoked) {
        m_closeInvoked = true;
        DoSessionClosed(error);
        // The handler may have destroyed the socket or started a new connection.
        if (!self || m_generation != generation)
            return;
    }
    try {
        ResetToDefaults();
    } catch (...) {
        // Resetting fields cannot fail in this layer; an override that does is ignored here.
    }
}

void TCustomWSocket::WaitUntilClosed()
{
    QPointer<TCustomWSocket> self(this);
    while (self && m_hSocket != INVALID_SOCKET && m_state != wsClosed) {
        PumpMessages();
        if (!self || m_hSocket == INVALID_SOCKET)
            return;
        int count = 0;
        if (::ioctl(m_hSocket, FIONREAD, &count) < 0)
            return;
        if (count > 0) {
            DoDataAvailable(0);
            if (!self || m_hSocket == INVALID_SOCKET)
                return;
        }
        // Winsock's zero-length recv tells "still open" (would block) from "closed";
        // a one-byte peek does that here.
        char probe = 0;
        const int result = RawReceive(&probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (result == 0 || (result < 0 && WinsockError() != WSAEWOULDBLOCK))
            return;
        PumpMessages();
    }
}

// ---- pausing and pumping ----

int TCustomWSocket::PauseEvents()
{
    m_paused = true;
    m_window->SetReadEnabled(false);
    m_window->SetWriteEnabled(false);
    return 0;
}

int TCustomWSocket::ResumeEvents()
{
    m_paused = false;
    RearmRead();
    if (m_writeWanted)
        m_window->SetWriteEnabled(true);
    return 0;
}

void TCustomWSocket::PumpMessages()
{
    // Both settings pump the creating thread's own queue: Qt keeps one per thread.
    QCoreApplication::processEvents();
}

// ---- linger and options ----

bool TCustomWSocket::SetUserTimeout(int milliseconds)
{
    const unsigned int timeout = static_cast<unsigned int>(qMax(milliseconds, 0));
    return m_hSocket != INVALID_SOCKET &&
           ::setsockopt(m_hSocket, IPPROTO_TCP, TCP_USER_TIMEOUT, &timeout, sizeof timeout) == 0;
}

bool TCustomWSocket::ApplyLinger()
{
    if (m_lingerOnOff == wsLingerNoSet)
        return true;
    if (m_hSocket == INVALID_SOCKET) {
        ReportError("Cannot set linger option at this time");
        return false;
    }
    linger option{};
    option.l_onoff = m_lingerOnOff == wsLingerOn ? 1 : 0;
    option.l_linger = static_cast<quint16>(m_lingerTimeout);
    if (::setsockopt(m_hSocket, SOL_SOCKET, SO_LINGER, &option, sizeof option) == 0)
        return true;
    ReportWinsockError("setsockopt(SO_LINGER)", LastSystemError());
    return false;
}

bool TCustomWSocket::SetIntOption(int level, int option, int value, const char* function)
{
    if (::setsockopt(m_hSocket, level, option, &value, sizeof value) == 0)
        return true;
    ReportWinsockError(function, LastSystemError());
    return false;
}
