// Datagrams on a TCustomWSocket: the connected sender, transfers to and from
// any address, and multicast.
#include "net/customwsocket.h"

#include "net/socketcalls.h"
#include "net/winsockerror.h"

#include <arpa/inet.h>

// ---- datagrams ----

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
    const HandlerGuard guard(this);
    EnterState(wsConnected);
    if (guard.connectionOpen())
        DoSessionConnected(0);
}

bool TCustomWSocket::JoinMulticastGroup()
{
    ip_mreq membership{};
    membership.imr_multiaddr.s_addr = ::inet_addr(m_multiCastAddrStr.constData());
    membership.imr_interface.s_addr = htonl(INADDR_ANY);
    if (SocketCalls::setOption(m_hSocket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) == 0)
        return true;
    ReportWinsockError("setsockopt(IP MULTICAST)", SocketCalls::lastError());
    return false;
}

int TCustomWSocket::SendTo(const sockaddr_in& dest, int destLen, const void* data, int len)
{
    const ssize_t result = SocketCalls::sendTo(m_hSocket, data, static_cast<size_t>(qMax(len, 0)), m_sendFlags, dest,
                                               static_cast<socklen_t>(destLen));
    if (result < 0) {
        SetWinsockError(m_hSocket == INVALID_SOCKET ? WSAENOTSOCK : SocketCalls::lastError());
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
    const ssize_t result =
        SocketCalls::receiveFrom(m_hSocket, buffer, static_cast<size_t>(qMax(size, 0)), from, length);
    if (result < 0)
        SetWinsockError(SocketCalls::lastError());
    else
        fromLen = static_cast<int>(length);
    RearmRead();
    return static_cast<int>(result);
}
