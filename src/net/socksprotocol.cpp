#include "net/socksprotocol.h"

#include <arpa/inet.h>

namespace {

constexpr quint8 CommandConnect = 0x01;
constexpr quint8 AddressTypeDomainName = 0x03;
constexpr quint8 AuthVersion = 0x01;

SocksFailure Unassigned(quint8 reply)
{
    return {20012, "unassigned error #" + QByteArray::number(reply)};
}

void AppendPort(QByteArray& request, quint16 port)
{
    request.append(static_cast<char>(port >> 8));
    request.append(static_cast<char>(port & 0xFF));
}

// A length byte then the bytes; the callers' size check refuses anything longer than a byte can count.
void AppendCounted(QByteArray& request, const QByteArray& text)
{
    request.append(static_cast<char>(text.size()));
    request.append(text);
}

} // namespace

QByteArray socks4ConnectRequest(quint16 port, quint32 address, const QByteArray& usercode)
{
    QByteArray request;
    request.append(static_cast<char>(0x04));
    request.append(static_cast<char>(CommandConnect));
    AppendPort(request, port);
    request.append(reinterpret_cast<const char*>(&address), sizeof address);
    request.append(usercode);
    request.append('\0');
    return request;
}

QByteArray socks4AConnectRequest(quint16 port, const QByteArray& usercode, const QByteArray& hostName)
{
    return socks4ConnectRequest(port, htonl(1), usercode) + hostName + '\0';
}

QByteArray socks5MethodRequest(quint8 method)
{
    QByteArray request;
    request.append(static_cast<char>(0x05));
    request.append(static_cast<char>(1));
    request.append(static_cast<char>(method));
    return request;
}

QByteArray socks5AuthRequest(const QByteArray& usercode, const QByteArray& password)
{
    QByteArray request(1, static_cast<char>(AuthVersion));
    AppendCounted(request, usercode);
    AppendCounted(request, password);
    return request;
}

QByteArray socks5ConnectRequest(const QByteArray& hostName, quint16 port)
{
    QByteArray request;
    request.append(static_cast<char>(0x05));
    request.append(static_cast<char>(CommandConnect));
    request.append('\0');
    request.append(static_cast<char>(AddressTypeDomainName));
    AppendCounted(request, hostName);
    AppendPort(request, port);
    return request;
}

SocksFailure socks4ReplyFailure(quint8 reply)
{
    switch (reply) {
    case 91:
        return {20016, "request rejected or failed"};
    case 92:
        return {20008, "connection refused"};
    case 93:
        return {SocksAuthenticationFailed, "authentification failed"};
    default:
        return Unassigned(reply);
    }
}

SocksFailure socks5ReplyFailure(quint8 reply)
{
    static const char* const texts[] = {
        "general SOCKS server failure", "connection not allowed by ruleset",
        "network unreachable",          "host unreachable",
        "connection refused",           "time to live expired",
        "command not supported",        "address type not supported",
    };
    if (reply < 1 || reply > 8)
        return Unassigned(reply);
    return {20003 + reply, texts[reply - 1]};
}
