#include "net/customsockswsocket.h"

#include "net/esocketexception.h"
#include "net/socksprotocol.h"
#include "net/winsockerror.h"
#include "net/wsocketresolve.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <sys/socket.h>

namespace {

bool IsSocks4(const QByteArray& level)
{
    return level.startsWith('4');
}

} // namespace

TCustomSocksWSocket::TCustomSocksWSocket(QObject* owner) : TCustomWSocket(owner) {}

bool TCustomSocksWSocket::SameAttempt(const QPointer<TCustomSocksWSocket>& self, quint64 attempt)
{
    return !self.isNull() && self->m_attempt == attempt && self->HSocket() != INVALID_SOCKET;
}

// ---- properties ----

void TCustomSocksWSocket::SetSocksServer(const QByteArray& value)
{
    if (State() != wsClosed) {
        ReportError("Can't change socks server if not closed");
        return;
    }
    m_socksServer = trimBlanks(value);
}

void TCustomSocksWSocket::SetSocksPort(const QByteArray& value)
{
    if (State() != wsClosed) {
        ReportError("Can't change socks port if not closed");
        return;
    }
    m_socksPort = trimBlanks(value);
}

void TCustomSocksWSocket::SetSocksLevel(const QByteArray& value)
{
    if (State() != wsClosed) {
        ReportError("Can't change socks level if not closed");
        return;
    }
    const QByteArray level = value.toUpper();
    if (level != "4" && level != "4A" && level != "5") {
        ReportError("Invalid socks level. Must be 4, 4A or 5.");
        return;
    }
    m_socksLevel = level;
}

void TCustomSocksWSocket::ResetToDefaults()
{
    TCustomWSocket::ResetToDefaults();
    m_phase = spData;
    m_socksServer.clear();
    m_socksPort.clear();
    m_socksLevel = QByteArrayLiteral("5");
    m_replyCount = 0;
    m_surplusCount = 0;
    m_surplusPosition = 0;
}

// ---- opening ----

void TCustomSocksWSocket::Connect()
{
    // A socket in use is refused by the base; its negotiation state must not change first.
    if (HSocket() != INVALID_SOCKET && State() != wsClosed) {
        TCustomWSocket::Connect();
        return;
    }
    // Counted for direct connections too: a handler that reconnects ends the negotiation that called it.
    ++m_attempt;
    if (m_socksServer.isEmpty()) {
        TCustomWSocket::Connect();
        return;
    }
    if (Proto().toLower() != "tcp") {
        ReportError("tcp is the only protocol supported thru socks server");
        return;
    }
    try {
        const quint16 proxyPort = htons(WSocketResolvePort(m_socksPort, Proto()));
        const in_addr_t proxyAddress = WSocketResolveHost(m_socksServer);
        m_targetPort = WSocketResolvePort(Port(), Proto());
        SetConnectEndpoint(proxyAddress, proxyPort);
    } catch (const ESocketException& e) {
        ReportError("connect: " + e.Message());
        return;
    }
    m_phase = spMethods;
    m_replyCount = 0;
    TCustomWSocket::Connect();
}

void TCustomSocksWSocket::Listen()
{
    if (!m_socksServer.isEmpty()) {
        ReportError("Listening is not supported thru socks server");
        return;
    }
    TCustomWSocket::Listen();
}

// ---- events ----

void TCustomSocksWSocket::DoSocksConnected(int error)
{
    if (OnSocksConnected)
        OnSocksConnected(this, static_cast<quint16>(error));
}

void TCustomSocksWSocket::DoSocksError(int error, const QByteArray& msg)
{
    if (OnSocksError)
        OnSocksError(this, error, msg);
}

void TCustomSocksWSocket::DoSocksAuthState(TSocksAuthState authState)
{
    if (OnSocksAuthState)
        OnSocksAuthState(this, authState);
}

void TCustomSocksWSocket::DoSessionConnected(int error)
{
    if (m_phase != spMethods) {
        TCustomWSocket::DoSessionConnected(error);
        return;
    }
    // The connection to the proxy is up (or failed); the owner hears of it only with the tunnel.
    QPointer<TCustomSocksWSocket> self(this);
    const quint64 attempt = m_attempt;
    DoSocksConnected(error);
    if (!SameAttempt(self, attempt))
        return;
    if (error != 0) {
        TCustomWSocket::DoSessionConnected(error);
        return;
    }
    if (IsSocks4(m_socksLevel))
        SendConnectRequest();
    else
        SendMethodRequest();
}

void TCustomSocksWSocket::DoSessionClosed(int error)
{
    if (m_phase == spAuth)
        DoSocksAuthState(socksAuthFailure);
    TCustomWSocket::DoSessionClosed(error);
}

// ---- requests ----

void TCustomSocksWSocket::SendMethodRequest()
{
    m_offeredMethod = m_socksAuthentication == socksAuthenticateUsercode ? SocksMethodUsercode : SocksMethodNone;
    SendRequest(socks5MethodRequest(m_offeredMethod), "");
}

void TCustomSocksWSocket::SendAuthRequest()
{
    QPointer<TCustomSocksWSocket> self(this);
    const quint64 attempt = m_attempt;
    m_phase = spAuth;
    DoSocksAuthState(socksAuthStart);
    if (SameAttempt(self, attempt))
        SendRequest(socks5AuthRequest(m_socksUsercode, m_socksPassword), "user code and password too long");
}

void TCustomSocksWSocket::SendConnectRequest()
{
    m_phase = spRequest;
    if (m_socksLevel == "4A") {
        SendRequest(socks4AConnectRequest(m_targetPort, m_socksUsercode, Addr()), "user code and host name too long");
    } else if (m_socksLevel == "4") {
        quint32 target = 0;
        try {
            // Version 4 carries an address only: the name is resolved here, and that waits for the resolver.
            target = WSocketResolveHost(Addr());
        } catch (const ESocketException& e) {
            QPointer<TCustomSocksWSocket> self(this);
            const quint64 attempt = m_attempt;
            DoSocksError(SocksHostResolutionFailed, "ESocketException " + e.Message());
            if (SameAttempt(self, attempt))
                DoClose(true, SocksHostResolutionFailed);
            return;
        }
        SendRequest(socks4ConnectRequest(m_targetPort, target, m_socksUsercode), "user code too long");
    } else {
        SendRequest(socks5ConnectRequest(Addr(), m_targetPort), "host name too long");
    }
}

void TCustomSocksWSocket::SendRequest(const QByteArray& request, const char* tooLongText)
{
    if (request.size() > SocksRequestLimit) {
        Fail(SocksRequestTooLong, tooLongText);
        return;
    }
    try {
        // Straight to the proxy, past any layer above that would transform it.
        TCustomWSocket::Send(request.constData(), static_cast<int>(request.size()));
    } catch (...) {
        // A request that cannot leave means a lost connection, which the close reports.
    }
}

// ---- replies ----

bool TCustomSocksWSocket::DoDataAvailable(int error)
{
    if (m_phase == spData)
        return DeliverData(error);
    if (error != 0) {
        Fail(error, "data receive error");
        return false;
    }
    switch (m_phase) {
    case spMethods:
        ReadMethodReply();
        return true;
    case spAuth:
        ReadAuthReply();
        return true;
    case spRequest:
        return IsSocks4(m_socksLevel) ? ReadSocks4Reply() : ReadSocks5Reply();
    default:
        Fail(SocksInternalError, "internal error");
        return false;
    }
}

bool TCustomSocksWSocket::ReadReply(int limit)
{
    const int received = Receive(m_reply.data() + m_replyCount, limit - m_replyCount);
    if (received > 0) {
        m_replyCount += received;
        return true;
    }
    // The proxy closes after a refusal it has already sent; a close before any answer is a failure too.
    if (received == 0)
        Fail(SocksProtocolError, "connection closed by socks server");
    else if (LastError() != WSAEWOULDBLOCK)
        Fail(LastError(), "data receive error");
    return false;
}

void TCustomSocksWSocket::ReadMethodReply()
{
    if (!ReadReply(ReplyCapacity))
        return;
    if (IsSocks4(m_socksLevel)) {
        Fail(SocksProtocolError, "TWSocket logic error");
        return;
    }
    if (m_replyCount < 2)
        return;
    m_replyCount = 0;
    if (ReplyByte(0) != 0x05) {
        Fail(SocksVersionError, "socks version error");
        return;
    }
    // A method the socket did not offer is as unacceptable as the refusal 0xFF.
    const quint8 method = ReplyByte(1);
    if (method == SocksMethodNone) {
        if (m_offeredMethod != SocksMethodNone) {
            QPointer<TCustomSocksWSocket> self(this);
            const quint64 attempt = m_attempt;
            DoSocksAuthState(socksAuthNotRequired);
            if (!SameAttempt(self, attempt))
                return;
        }
        SendConnectRequest();
    } else if (method == SocksMethodUsercode && m_offeredMethod == SocksMethodUsercode) {
        SendAuthRequest();
    } else {
        Fail(SocksAuthMethodError, "authentification method not acceptable");
    }
}

void TCustomSocksWSocket::ReadAuthReply()
{
    if (!ReadReply(ReplyCapacity))
        return;
    if (ReplyByte(0) != 0x01) {
        Fail(SocksVersionError, "socks version error");
        return;
    }
    if (m_replyCount > 2) {
        Fail(SocksProtocolError, "too much data availaible");
        return;
    }
    if (m_replyCount < 2)
        return;
    m_replyCount = 0;
    if (ReplyByte(1) != 0) {
        Fail(SocksAuthenticationFailed, "socks authentication failed");
        return;
    }
    QPointer<TCustomSocksWSocket> self(this);
    const quint64 attempt = m_attempt;
    DoSocksAuthState(socksAuthSuccess);
    if (SameAttempt(self, attempt))
        SendConnectRequest();
}

bool TCustomSocksWSocket::ReadSocks4Reply()
{
    constexpr int ReplyLength = 8;
    if (!ReadReply(ReplyLength) || m_replyCount < ReplyLength)
        return true;
    m_replyCount = 0;
    if (ReplyByte(0) != 0x00) {
        Fail(SocksVersionError, "socks version error");
        return true;
    }
    constexpr quint8 Granted = 90;
    if (ReplyByte(1) != Granted) {
        const SocksFailure failure = socks4ReplyFailure(ReplyByte(1));
        Fail(failure.code, failure.text);
        return true;
    }
    return OpenTunnel(ReplyLength);
}

bool TCustomSocksWSocket::ReadSocks5Reply()
{
    if (!ReadReply(ReplyCapacity))
        return true;
    if (ReplyByte(0) != 0x05) {
        Fail(SocksVersionError, "socks version error");
        return true;
    }
    if (m_replyCount >= 2 && ReplyByte(1) != 0) {
        const SocksFailure failure = socks5ReplyFailure(ReplyByte(1));
        Fail(failure.code, failure.text);
        return true;
    }
    if (m_replyCount <= 4)
        return true;
    constexpr quint8 TypeIPv4 = 1;
    constexpr quint8 TypeName = 3;
    const quint8 type = ReplyByte(3);
    const int nameLength = ReplyByte(4);
    const int replyLength = type == TypeIPv4 ? 10 : type == TypeName ? nameLength + 7 : 5;
    if (m_replyCount < replyLength)
        return true;
    int portOffset = 0;
    if (type == TypeIPv4) {
        in_addr address{};
        std::memcpy(&address.s_addr, m_reply.data() + 4, 4);
        m_boundAddr = QByteArray(::inet_ntoa(address));
        portOffset = 8;
    } else if (type == TypeName) {
        m_boundAddr = QByteArray(m_reply.data() + 5, nameLength);
        portOffset = 5 + nameLength;
    } else {
        Fail(SocksUnknownAddressType, "address type not supported");
        return true;
    }
    m_boundPort = QByteArray::number(ReplyByte(portOffset) << 8 | ReplyByte(portOffset + 1));
    return OpenTunnel(replyLength);
}

bool TCustomSocksWSocket::OpenTunnel(int replyLength)
{
    // Bytes the proxy relayed right behind its reply belong to the owner, ahead of anything read later.
    m_surplusCount = m_replyCount - replyLength;
    m_surplusPosition = replyLength;
    m_replyCount = 0;
    m_phase = spData;
    QPointer<TCustomSocksWSocket> self(this);
    const quint64 attempt = m_attempt;
    DoSessionConnected(0);
    if (!SameAttempt(self, attempt) || m_surplusCount == 0)
        return true;
    return DoDataAvailable(0);
}

void TCustomSocksWSocket::Fail(int code, const QByteArray& text)
{
    QPointer<TCustomSocksWSocket> self(this);
    const quint64 attempt = m_attempt;
    if (m_phase == spAuth) {
        DoSocksAuthState(socksAuthFailure);
        if (!SameAttempt(self, attempt))
            return;
    }
    DoSocksError(code, text);
    if (!SameAttempt(self, attempt))
        return;
    m_phase = spData;
    DoSessionConnected(code);
    if (SameAttempt(self, attempt))
        DoClose(true, code);
}

// ---- the open tunnel ----

bool TCustomSocksWSocket::DeliverData(int error)
{
    if (m_surplusCount == 0)
        return TCustomWSocket::DoDataAvailable(error);
    // The surplus has no read notification of its own: it is offered again for as long as the owner takes from it.
    QPointer<TCustomSocksWSocket> self(this);
    int before = m_surplusCount;
    bool handled = TCustomWSocket::DoDataAvailable(error);
    while (handled && self && m_surplusCount > 0 && m_surplusCount < before) {
        before = m_surplusCount;
        handled = TCustomWSocket::DoDataAvailable(0);
    }
    return handled;
}

int TCustomSocksWSocket::RcvdCount()
{
    return m_surplusCount > 0 ? m_surplusCount : TCustomWSocket::RcvdCount();
}

int TCustomSocksWSocket::RawReceive(void* buffer, int size, int flags)
{
    if (m_surplusCount <= 0)
        return TCustomWSocket::RawReceive(buffer, size, flags);
    const int count = std::clamp(size, 0, m_surplusCount);
    std::memcpy(buffer, m_reply.data() + m_surplusPosition, static_cast<size_t>(count));
    if ((flags & MSG_PEEK) == 0) {
        m_surplusPosition += count;
        m_surplusCount -= count;
    }
    return count;
}
