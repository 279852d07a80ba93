// The addresses of a TCustomWSocket's connection: its own and its peer's.
#include "net/customwsocket.h"

#include "net/socketcalls.h"
#include "net/winsockerror.h"

#include <arpa/inet.h>

// ---- address queries ----

int TCustomWSocket::QueryPeerAddress(sockaddr_in& addr, int& addrLen)
{
    if (m_state != wsConnected) {
        SetWinsockError(WSAENOTCONN);
        return -1;
    }
    socklen_t length = static_cast<socklen_t>(qBound(0, addrLen, static_cast<int>(sizeof addr)));
    if (SocketCalls::peerAddress(m_hSocket, addr, length) < 0) {
        SetWinsockError(SocketCalls::lastError());
        return -1;
    }
    addrLen = static_cast<int>(length);
    return 0;
}

int TCustomWSocket::QueryLocalAddress(sockaddr_in& addr, int& addrLen)
{
    socklen_t length = static_cast<socklen_t>(qBound(0, addrLen, static_cast<int>(sizeof addr)));
    if (SocketCalls::localAddress(m_hSocket, addr, length) < 0) {
        SetWinsockError(m_hSocket == INVALID_SOCKET ? WSAENOTSOCK : SocketCalls::lastError());
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
