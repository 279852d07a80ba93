// How a TCustomWSocket is set up and gets its handle: property setters, Connect,
// Listen, Accept, Dup, datagram transfers, asynchronous name lookups and address
// queries. The notification, send and close machinery lives in customwsocket.cpp.
#include "net/customwsocket.h"

#include "net/esocketexception.h"
#include "net/socketnotifywindow.h"
#include "net/winsockerror.h"
#include "net/wsocketresolve.h"

#include <QHostAddress>
#include <QHostInfo>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int ProtocolUdp = 17;

int LastSystemError()
{
    return WinsockErrorFromPosix(errno);
}

// A connect() refused or reset on the spot is, for Winsock, the outcome of the
// attempt: it arrives later as the connect notification, not as a failure of Connect.
bool IsAsynchronousConnectFailure(int error)
{
    return error == ECONNREFUSED || error == ETIMEDOUT || error == ECONNRESET;
}

int SocketTypeOf(int protocol)
{
    if (protocol == 6)
        return SOCK_STREAM;
    return protocol == ProtocolUdp ? SOCK_DGRAM : SOCK_RAW;
}

int LookupError(const QHostInfo& info)
{
    return info.error() == QHostInfo::HostNotFound ? WSAHOST_NOT_FOUND : WSANO_RECOVERY;
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
    m_addrStr = TrimBlanks(value);
    m_addrAssigned = !m_addrStr.isEmpty();
    m_addrResolved = false;
}

void TCustomWSocket::SetPort(const QByteArray& value)
{
    if (!AcceptsRemoteSetting(value, m_portStr, m_portAssigned, "Port"))
        return;
    m_portStr = TrimBlanks(value);
    m_portAssigned = !m_portStr.isEmpty();
    m_portResolved = false;
}

void TCustomWSocket::SetProto(const QByteArray& value)
{
    if (!AcceptsRemoteSetting(value, m_protoStr, m_protoAssigned, "Proto"))
        return;
    m_protoStr = TrimBlanks(value);
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

int TCustomWSocket::RcvdCount()
{
    int count = 0;
    if (m_hSocket == INVALID_SOCKET || ::ioctl(m_hSocket, FIONREAD, &count) < 0) {
        ReportWinsockError("ioctlSocket", m_hSocket == INVALID_SOCKET ? WSAENOTSOCK : LastSystemError());
        return -1;
    }
    return count;
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
    const int handle = ::socket(AF_INET, m_type | SOCK_NONBLOCK | SOCK_CLOEXEC, m_proto);
    if (handle < 0) {
        ReportWinsockError("Connect (socket)", LastSystemError());
        return;
    }
    ReleaseHandle();
    AdoptHandle(handle);
    QPointer<TCustomWSocket> self(this);
    const quintptr generation = m_generation;
    EnterState(wsOpened);
    if (!self)
        return;
    if (m_state != wsOpened || m_generation != generation) {
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
    const int started = ::connect(m_hSocket, reinterpret_cast<const sockaddr*>(&m_sin), sizeof m_sin);
    const int connectError = started == 0 ? 0 : errno;
    if (started == 0 || connectError == EINPROGRESS || connectError == EINTR) {
        // Completion shows as writability; reading waits until the connection is up.
        m_connectPending = true;
        ArmWrite();
        EnterState(wsConnecting);
        return;
    }
    const int code = WinsockErrorFromPosix(connectError);
    if (IsAsynchronousConnectFailure(connectError)) {
        EnterState(wsConnecting);
        if (SameConnection(self, generation))
            PostMessage(MsgAsyncSelect, generation, FD_CONNECT | (code << 16));
        return;
    }
    m_lastError = code;
    ReportWinsockError("Connect", code);
}

void TCustomWSocket::ConnectDatagram()
{
    if (!BindLocal())
        return;
    if (m_multiCast && m_multiCastIpTTL != 1 &&
        !SetIntOption(IPPROTO_IP, IP_MULTICAST_TTL, m_multiCastIpTTL, "setsockopt(IP_MULTICAST_TTL)"))
        return;
    if (m_sin.sin_addr.s_addr == INADDR_BROADCAST &&
        !SetIntOption(SOL_SOCKET, SO_BROADCAST, 1, "setsockopt(SO_BROADCAST)"))
        return;
    m_eventMask = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
    StartWatching(true);
    QPointer<TCustomWSocket> self(this);
    const quintptr generation = m_generation;
    EnterState(wsConnected);
    if (SameConnection(self, generation))
        DoSessionConnected(0);
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
    if (::bind(m_hSocket, reinterpret_cast<const sockaddr*>(&local), sizeof local) < 0) {
        ReportErrorFmt("winsock.bind failed, error #%d", LastSystemError());
        return false;
    }
    socklen_t length = sizeof local;
    if (::getsockname(m_hSocket, reinterpret_cast<sockaddr*>(&local), &length) < 0) {
        ReportErrorFmt("winsock.getsockname failed, error #%d", LastSystemError());
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
    m_type = m_proto == ProtocolUdp ? SOCK_DGRAM : SOCK_STREAM;
    DiscardSendBuffer();
    const int handle = ::socket(AF_INET, m_type | SOCK_NONBLOCK | SOCK_CLOEXEC, m_proto);
    if (handle < 0) {
        ReportWinsockError("socket", LastSystemError());
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
        ::setsockopt(m_hSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    if (::bind(m_hSocket, reinterpret_cast<const sockaddr*>(&m_sin), sizeof m_sin) < 0) {
        const int code = LastSystemError();
        ReleaseHandle();
        ReportWinsockError("Bind", code);
        return;
    }
    QPointer<TCustomWSocket> self(this);
    const quintptr generation = m_generation;
    EnterState(wsBound);
    if (!SameConnection(self, generation))
        return;
    if (m_type == SOCK_DGRAM && m_multiCast) {
        ip_mreq membership{};
        membership.imr_multiaddr.s_addr = ::inet_addr(m_multiCastAddrStr.constData());
        membership.imr_interface.s_addr = htonl(INADDR_ANY);
        if (::setsockopt(m_hSocket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) < 0) {
            ReportWinsockError("setsockopt(IP MULTICAST)", LastSystemError());
            return;
        }
    }
    m_eventMask = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;
    if (m_type == SOCK_STREAM) {
        if (::listen(m_hSocket, 5) < 0) {
            ReportWinsockError("Listen", LastSystemError());
            return;
        }
        StartWatching(false);
        EnterState(wsListening);
        return;
    }
    StartWatching(true);
    EnterState(wsListening);
    if (!SameConnection(self, generation))
        return;
    EnterState(wsConnected);
    if (SameConnection(self, generation))
        DoSessionConnected(0);
}

TSocket TCustomWSocket::Accept()
{
    if (m_state != wsListening) {
        ReportWinsockError("not a listening socket", WSAEINVAL);
        return INVALID_SOCKET;
    }
    socklen_t length = sizeof m_sin;
    int handle;
    do {
        handle = ::accept4(m_hSocket, reinterpret_cast<sockaddr*>(&m_sin), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    } while (handle < 0 && errno == EINTR);
    const int code = handle < 0 ? LastSystemError() : 0;
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
    QPointer<TCustomWSocket> self(this);
    if (m_state != wsClosed) {
        if (m_hSocket != INVALID_SOCKET) {
            m_window->Unwatch();
            const int closed = ::close(m_hSocket);
            const int closeError = errno;
            m_hSocket = INVALID_SOCKET;
            if (closed < 0 && closeError != EINTR) {
                ReportWinsockError("Dup (closesocket)", WinsockErrorFromPosix(closeError));
                return;
            }
        }
        EnterState(wsClosed);
        if (!self)
            return;
    }
    ReleaseHandle();
    ::fcntl(handle, F_SETFL, ::fcntl(handle, F_GETFL) | O_NONBLOCK);
    int type = SOCK_STREAM;
    socklen_t length = sizeof type;
    if (::getsockopt(handle, SOL_SOCKET, SO_TYPE, &type, &length) == 0)
        m_type = type;
    AdoptHandle(handle);
    const quintptr generation = m_generation;
    if (!ApplyLinger() || !SameConnection(self, generation))
        return;
    m_eventMask = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;
    StartWatching(true);
    EnterState(wsConnected);
}

int TCustomWSocket::SendTo(const sockaddr_in& dest, int destLen, const void* data, int len)
{
    ssize_t result;
    do {
        result = ::sendto(m_hSocket, data, static_cast<size_t>(qMax(len, 0)), m_sendFlags | MSG_NOSIGNAL,
                          reinterpret_cast<const sockaddr*>(&dest), static_cast<socklen_t>(destLen));
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        SetWinsockError(m_hSocket == INVALID_SOCKET ? WSAENOTSOCK : LastSystemError());
        m_lastError = WinsockError();
        return -1;
    }
    if (result > 0 && OnSendData)
        OnSendData(this, static_cast<int>(result));
    return static_cast<int>(result);
}

int TCustomWSocket::ReceiveFrom(void* buffer, int size, sockaddr_in& from, int& fromLen)
{
    const int result = RawReceiveFrom(buffer, size, from, fromLen);
    if (result < 0)
        m_lastError = WinsockError();
    else
        m_readCount += result;
    return result;
}

int TCustomWSocket::RawReceiveFrom(void* buffer, int size, sockaddr_in& from, int& fromLen)
{
    if (m_hSocket == INVALID_SOCKET) {
        SetWinsockError(WSAENOTSOCK);
        return -1;
    }
    ++m_receiveCalls;
    socklen_t length = static_cast<socklen_t>(qBound(0, fromLen, static_cast<int>(sizeof from)));
    ssize_t result;
    do {
        result = ::recvfrom(m_hSocket, buffer, static_cast<size_t>(qMax(size, 0)), 0,
                            reinterpret_cast<sockaddr*>(&from), &length);
    } while (result < 0 && errno == EINTR);
    if (result < 0)
        SetWinsockError(LastSystemError());
    else
        fromLen = static_cast<int>(length);
    RearmRead();
    return static_cast<int>(result);
}

// ---- asynchronous lookups ----

void TCustomWSocket::DnsLookup(const QByteArray& hostName)
{
    if (hostName.isEmpty()) {
        ReportError("DNS lookup: invalid host name.");
        DoDnsLookupDone(WSAEINVAL);
        return;
    }
    m_lookupId = -1;
    m_dnsResult.clear();
    m_dnsResultList.clear();
    const in_addr_t address = ::inet_addr(hostName.constData());
    if (address != INADDR_NONE) {
        in_addr dotted{};
        dotted.s_addr = address;
        m_dnsResult = QByteArray(::inet_ntoa(dotted));
        m_dnsResultList.append(m_dnsResult);
        DoDnsLookupDone(0);
        return;
    }
    StartLookup(hostName, false);
}

void TCustomWSocket::ReverseDnsLookup(const QByteArray& hostAddr)
{
    if (hostAddr.isEmpty() || hostAddr.size() > 256) {
        ReportError("ReverseDnsLookup: Invalid host name.");
        DoDnsLookupDone(WSAEINVAL);
        return;
    }
    m_lookupId = -1;
    m_dnsResult.clear();
    m_dnsResultList.clear();
    in_addr address{};
    address.s_addr = ::inet_addr(hostAddr.constData());
    StartLookup(QByteArray(::inet_ntoa(address)), true);
}

void TCustomWSocket::StartLookup(const QByteArray& name, bool reverse)
{
    m_lookupReverse = reverse;
    TSocketNotifyWindow* window = m_window.get();
    // The window is the context: a lookup still running when the socket goes is dropped.
    m_lookupId = QHostInfo::lookupHost(QString::fromLatin1(name), window, [window](const QHostInfo& info) {
        window->Dispatch([&info](TCustomWSocket* socket) { socket->HandleLookupResult(info); });
    });
}

void TCustomWSocket::HandleLookupResult(const QHostInfo& info)
{
    if (info.lookupId() != m_lookupId)
        return;
    m_lookupId = -1;
    Protected([this, &info] {
        int error = 0;
        if (info.error() != QHostInfo::NoError) {
            error = LookupError(info);
        } else if (m_lookupReverse) {
            // An address without a name comes back as its own dotted text: that is no name.
            if (info.hostName().isEmpty() || !QHostAddress(info.hostName()).isNull()) {
                error = WSAHOST_NOT_FOUND;
            } else {
                m_dnsResult = info.hostName().toLatin1();
                m_dnsResultList = QByteArrayList{m_dnsResult};
            }
        } else {
            for (const QHostAddress& address : info.addresses()) {
                if (address.protocol() == QAbstractSocket::IPv4Protocol)
                    m_dnsResultList.append(address.toString().toLatin1());
            }
            if (m_dnsResultList.isEmpty())
                error = WSANO_DATA;
            else
                m_dnsResult = m_dnsResultList.first();
        }
        DoDnsLookupDone(error);
    });
}

void TCustomWSocket::CancelDnsLookup()
{
    if (m_lookupId < 0)
        return;
    // The lookup is forgotten rather than aborted: its late result no longer
    // matches and is dropped (aborting a functor lookup leaks it in Qt 6.4).
    m_lookupId = -1;
    if (!m_destroying)
        DoDnsLookupDone(WSAEINTR);
}

// ---- address queries ----

int TCustomWSocket::QueryPeerAddress(sockaddr_in& addr, int& addrLen)
{
    if (m_state != wsConnected) {
        SetWinsockError(WSAENOTCONN);
        return -1;
    }
    socklen_t length = static_cast<socklen_t>(qBound(0, addrLen, static_cast<int>(sizeof addr)));
    if (::getpeername(m_hSocket, reinterpret_cast<sockaddr*>(&addr), &length) < 0) {
        SetWinsockError(LastSystemError());
        return -1;
    }
    addrLen = static_cast<int>(length);
    return 0;
}

int TCustomWSocket::QueryLocalAddress(sockaddr_in& addr, int& addrLen)
{
    socklen_t length = static_cast<socklen_t>(qBound(0, addrLen, static_cast<int>(sizeof addr)));
    if (::getsockname(m_hSocket, reinterpret_cast<sockaddr*>(&addr), &length) < 0) {
        SetWinsockError(m_hSocket == INVALID_SOCKET ? WSAENOTSOCK : LastSystemError());
        return -1;
    }
    addrLen = static_cast<int>(length);
    return 0;
}

QByteArray TCustomWSocket::BoundPort()
{
    sockaddr_in local{};
    int length = sizeof local;
    if ((m_state == wsBound || m_state == wsConnected || m_state == wsListening) &&
        QueryLocalAddress(local, length) == 0)
        return QByteArray::number(ntohs(local.sin_port));
    return QByteArrayLiteral("error");
}

QByteArray TCustomWSocket::BoundAddr()
{
    sockaddr_in local{};
    int length = sizeof local;
    if ((m_state == wsBound || m_state == wsConnected || m_state == wsListening) &&
        QueryLocalAddress(local, length) == 0)
        return QByteArray(::inet_ntoa(local.sin_addr));
    return QByteArrayLiteral("error");
}

QByteArray TCustomWSocket::PeerAddr()
{
    sockaddr_in peer{};
    int length = sizeof peer;
    if (m_state != wsConnected)
        return QByteArrayLiteral("error");
    if (QueryPeerAddress(peer, length) != 0) {
        ReportWinsockError("GetPeerName", WinsockError());
        return QByteArrayLiteral("error");
    }
    return QByteArray(::inet_ntoa(peer.sin_addr));
}

QByteArray TCustomWSocket::PeerPort()
{
    sockaddr_in peer{};
    int length = sizeof peer;
    if (m_state != wsConnected)
        return QByteArrayLiteral("error");
    if (QueryPeerAddress(peer, length) != 0) {
        ReportWinsockError("GetPeerPort", WinsockError());
        return QByteArrayLiteral("error");
    }
    return QByteArray::number(ntohs(peer.sin_port));
}
