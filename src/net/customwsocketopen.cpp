// How a TCustomWSocket is set up and gets its handle: property setters,
// Connect, Listen, Accept, Dup and the socket options.
#include "net/customwsocket.h"

#include "net/esocketexception.h"
#include "net/socketcalls.h"
#include "net/socketnotifywindow.h"
#include "net/winsockerror.h"
#include "net/wsocketresolve.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>

namespace {

// A connect() refused or reset on the spot is, for Winsock, the outcome of the
// attempt: it arrives later as the connect notification, not as a failure of Connect.
bool IsAsynchronousConnectFailure(int code)
{
    return code == WSAECONNREFUSED || code == WSAETIMEDOUT || code == WSAECONNRESET;
}

int SocketTypeOf(int protocol)
{
    if (protocol == IPPROTO_TCP)
        return SOCK_STREAM;
    return protocol == IPPROTO_UDP ? SOCK_DGRAM : SOCK_RAW;
}

} // namespace

// ---- properties ----

bool TCustomWSocket::AcceptsRemoteSetting(const QByteArray& value, const QByteArray& stored, bool assigned,
                                          const char* name)
{
    if (assigned && value == stored)
        return false;
    if (m_state != wsClosed) {
        ReportError(QByteArray("Cannot change ") + name + " if not closed");
        return false;
    }
    return true;
}

void TCustomWSocket::SetAddr(const QByteArray& value)
{
    if (!AcceptsRemoteSetting(value, m_addrStr, m_addrAssigned, "Addr"))
        return;
    m_addrStr = trimBlanks(value);
    m_addrAssigned = !m_addrStr.isEmpty();
    m_addrResolved = false;
}

void TCustomWSocket::SetPort(const QByteArray& value)
{
    if (!AcceptsRemoteSetting(value, m_portStr, m_portAssigned, "Port"))
        return;
    m_portStr = trimBlanks(value);
    m_portAssigned = !m_portStr.isEmpty();
    m_portResolved = false;
}

void TCustomWSocket::SetProto(const QByteArray& value)
{
    if (!AcceptsRemoteSetting(value, m_protoStr, m_protoAssigned, "Proto"))
        return;
    m_protoStr = trimBlanks(value);
    m_protoAssigned = !m_protoStr.isEmpty();
    m_protoResolved = false;
}

void TCustomWSocket::SetLocalAddr(const QByteArray& value)
{
    if (m_state != wsClosed) {
        ReportError("Cannot change LocalAddr if not closed");
        return;
    }
    m_localAddr = value.isEmpty() ? QByteArrayLiteral("0.0.0.0") : value;
}

void TCustomWSocket::SetLocalPort(const QByteArray& value)
{
    if (m_state != wsClosed) {
        ReportError("Cannot change LocalPort if not closed");
        return;
    }
    m_localPortStr = value;
    m_localPortResolved = false;
}

TSocketSendFlags TCustomWSocket::SendFlags()
{
    if (m_sendFlags == 0)
        return wsSendNormal;
    if (m_sendFlags == MSG_OOB)
        return wsSendUrgent;
    ReportError("Invalid internal SendFlags");
    return wsSendNormal;
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags value)
{
    if (value == wsSendNormal)
        m_sendFlags = 0;
    else if (value == wsSendUrgent)
        m_sendFlags = MSG_OOB;
    else
        ReportError("Invalid SendFlags");
}

// ---- opening ----

void TCustomWSocket::SetConnectEndpoint(in_addr_t address, quint16 port)
{
    m_sin.sin_addr.s_addr = address;
    m_sin.sin_port = port;
    m_addrResolved = true;
    m_portResolved = true;
}

bool TCustomWSocket::ResolveAddress(const char* prefix, bool withLocalPort)
{
    try {
        if (!m_protoResolved) {
            m_proto = WSocketResolveProto(m_protoStr);
            m_type = SocketTypeOf(m_proto);
            m_protoResolved = true;
        }
        if (!m_portResolved) {
            m_portNum = WSocketResolvePort(m_portStr, m_protoStr);
            m_sin.sin_port = htons(m_portNum);
            m_portResolved = true;
        }
        if (withLocalPort && !m_localPortResolved) {
            m_localPortNum = WSocketResolvePort(m_localPortStr, m_protoStr);
            m_localPortResolved = true;
        }
        if (!m_addrResolved) {
            m_sin.sin_addr.s_addr = WSocketResolveHost(m_addrStr);
            m_addrResolved = true;
        }
    } catch (const ESocketException& e) {
        ReportError(prefix + e.Message());
        return false;
    }
    return true;
}

void TCustomWSocket::Connect()
{
    if (m_hSocket != INVALID_SOCKET && m_state != wsClosed) {
        ReportError("Connect: Socket already in use");
        return;
    }
    if (!m_portAssigned) {
        ReportError("Connect: No Port Specified");
        return;
    }
    if (!m_addrAssigned) {
        ReportError("Connect: No IP Address Specified");
        return;
    }
    if (!m_protoAssigned) {
        ReportError("Connect: No Protocol Specified");
        return;
    }
    if (!ResolveAddress("connect: ", true))
        return;
    DiscardSendBuffer();
    const int handle = SocketCalls::open(m_type, m_proto);
    if (handle < 0) {
        ReportWinsockError("Connect (socket)", SocketCalls::lastError());
        return;
    }
    ReleaseHandle();
    AdoptHandle(handle);
    const HandlerGuard guard(this);
    EnterState(wsOpened);
    if (!guard.alive())
        return;
    if (m_state != wsOpened || !guard.sameConnection()) {
        ReportWinsockError("Connect (Invalid operation in OnChangeState)", WSAEINVAL);
        return;
    }
    if (m_type == SOCK_DGRAM) {
        ConnectDatagram();
        return;
    }
    if (m_type == SOCK_STREAM) {
        if (!SetIntOption(SOL_SOCKET, SO_REUSEADDR, 1, "setsockopt(SO_REUSEADDR)"))
            return;
        if (m_options.testFlag(wsoTcpNoDelay) &&
            !SetIntOption(IPPROTO_TCP, TCP_NODELAY, 1, "setsockopt(IPPROTO_TCP, TCP_NODELAY)"))
            return;
        if (!ApplyLinger() || !SetIntOption(SOL_SOCKET, SO_KEEPALIVE, 1, "setsockopt(SO_KEEPALIVE)"))
            return;
        if ((m_localPortNum != 0 || m_localAddr != "0.0.0.0") && !BindLocal())
            return;
    }
    m_eventMask = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
    if (SocketCalls::connect(m_hSocket, m_sin) == 0) {
        // Completion shows as writability; reading waits until the connection is up.
        m_connectPending = true;
        ArmWrite();
        EnterState(wsConnecting);
        return;
    }
    const int code = SocketCalls::lastError();
    if (IsAsynchronousConnectFailure(code)) {
        const quintptr generation = m_generation;
        EnterState(wsConnecting);
        if (guard.connectionOpen())
            PostMessage(MsgAsyncSelect, generation, FD_CONNECT | (code << 16));
        return;
    }
    m_lastError = code;
    ReportWinsockError("Connect", code);
}

bool TCustomWSocket::BindLocal()
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    try {
        local.sin_addr.s_addr = WSocketResolveHost(m_localAddr);
    } catch (const ESocketException& e) {
        ReportError("connect: " + e.Message());
        return false;
    }
    local.sin_port = htons(m_localPortNum);
    if (SocketCalls::bind(m_hSocket, local) < 0) {
        ReportErrorFmt("winsock.bind failed, error #%d", SocketCalls::lastError());
        return false;
    }
    socklen_t length = sizeof local;
    if (SocketCalls::localAddress(m_hSocket, local, length) < 0) {
        ReportErrorFmt("winsock.getsockname failed, error #%d", SocketCalls::lastError());
        return false;
    }
    m_localPortNum = ntohs(local.sin_port);
    m_localPortStr = QByteArray::number(m_localPortNum);
    return true;
}

void TCustomWSocket::Listen()
{
    if (!m_portAssigned) {
        ReportWinsockError("listen: port not assigned", WSAEINVAL);
        return;
    }
    if (!m_protoAssigned) {
        ReportWinsockError("listen: protocol not assigned", WSAEINVAL);
        return;
    }
    if (!m_addrAssigned) {
        ReportWinsockError("listen: address not assigned", WSAEINVAL);
        return;
    }
    if (!ResolveAddress("listen: ", false))
        return;
    m_type = m_proto == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
    DiscardSendBuffer();
    const int handle = SocketCalls::open(m_type, m_proto);
    if (handle < 0) {
        ReportWinsockError("socket", SocketCalls::lastError());
        return;
    }
    ReleaseHandle();
    AdoptHandle(handle);
    if (m_type == SOCK_DGRAM && m_reuseAddr && !SetIntOption(SOL_SOCKET, SO_REUSEADDR, 1, "setsockopt(SO_REUSEADDR)"))
        return;
    if (m_type == SOCK_STREAM) {
        // Windows lets a server bind again over connections lingering in TIME_WAIT;
        // on Linux that takes SO_REUSEADDR (which, unlike Windows, never steals a live port).
        const int on = 1;
        SocketCalls::setOption(m_hSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    if (SocketCalls::bind(m_hSocket, m_sin) < 0) {
        const int code = SocketCalls::lastError();
        ReleaseHandle();
        ReportWinsockError("Bind", code);
        return;
    }
    const HandlerGuard guard(this);
    EnterState(wsBound);
    if (!guard.connectionOpen())
        return;
    if (m_type == SOCK_DGRAM && m_multiCast && !JoinMulticastGroup())
        return;
    m_eventMask = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;
    if (m_type == SOCK_STREAM) {
        if (SocketCalls::listen(m_hSocket, 5) < 0) {
            ReportWinsockError("Listen", SocketCalls::lastError());
            return;
        }
        StartWatching(false);
        EnterState(wsListening);
        return;
    }
    StartWatching(true);
    EnterState(wsListening);
    if (!guard.connectionOpen())
        return;
    EnterState(wsConnected);
    if (guard.connectionOpen())
        DoSessionConnected(0);
}

TSocket TCustomWSocket::Accept()
{
    if (m_state != wsListening) {
        ReportWinsockError("not a listening socket", WSAEINVAL);
        return INVALID_SOCKET;
    }
    socklen_t length = sizeof m_sin;
    const int handle = SocketCalls::accept(m_hSocket, m_sin, length);
    const int code = handle < 0 ? SocketCalls::lastError() : 0;
    // As with Winsock, accepting re-enables the accept notification.
    RearmRead();
    if (handle < 0) {
        ReportWinsockError("Accept", code);
        return INVALID_SOCKET;
    }
    return handle;
}

void TCustomWSocket::Dup(TSocket handle)
{
    if (handle == 0 || handle == INVALID_SOCKET) {
        ReportWinsockError("Dup", WSAEINVAL);
        return;
    }
    if (m_state != wsClosed) {
        if (m_hSocket != INVALID_SOCKET && !CloseHandle("Dup (closesocket)"))
            return;
        const HandlerGuard guard(this);
        EnterState(wsClosed);
        if (!guard.alive())
            return;
    }
    ReleaseHandle();
    SocketCalls::makeNonBlocking(handle);
    if (int type = 0; SocketCalls::socketType(handle, type) == 0)
        m_type = type;
    AdoptHandle(handle);
    const HandlerGuard guard(this);
    if (!ApplyLinger() || !guard.connectionOpen())
        return;
    m_eventMask = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;
    StartWatching(true);
    EnterState(wsConnected);
}

// ---- options ----

bool TCustomWSocket::SetUserTimeout(int milliseconds)
{
    const unsigned int timeout = static_cast<unsigned int>(qMax(milliseconds, 0));
    return m_hSocket != INVALID_SOCKET &&
           SocketCalls::setOption(m_hSocket, IPPROTO_TCP, TCP_USER_TIMEOUT, &timeout, sizeof timeout) == 0;
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
    if (SocketCalls::setOption(m_hSocket, SOL_SOCKET, SO_LINGER, &option, sizeof option) == 0)
        return true;
    ReportWinsockError("setsockopt(SO_LINGER)", SocketCalls::lastError());
    return false;
}

bool TCustomWSocket::SetIntOption(int level, int option, int value, const char* function)
{
    if (SocketCalls::setOption(m_hSocket, level, option, &value, sizeof value) == 0)
        return true;
    ReportWinsockError(function, SocketCalls::lastError());
    return false;
}
