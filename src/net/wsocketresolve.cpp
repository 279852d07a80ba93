#include "net/wsocketresolve.h"

#include "net/esocketexception.h"
#include "net/winsockerror.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

qsizetype SkipBlanks(const QByteArray& text, qsizetype from)
{
    while (from < text.size() && text.at(from) == ' ')
        ++from;
    return from;
}

// The limit shared by port and protocol texts: empty or 32 characters and more is refused.
bool IsValidShortName(const QByteArray& text)
{
    return !text.isEmpty() && text.size() < 32;
}

} // namespace

QByteArray trimBlanks(const QByteArray& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && static_cast<unsigned char>(text.at(begin)) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text.at(end - 1)) <= ' ')
        --end;
    return text.mid(begin, end - begin);
}

bool IsDottedIP(const QByteArray& text)
{
    qsizetype i = SkipBlanks(text, 0);
    if (i < text.size() && text.at(i) == '.')
        return false;
    int dots = 0;
    int number = 0;
    for (; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '.') {
            if (++dots > 3 || number > 255)
                return false;
            number = 0;
            if (i + 1 >= text.size() || !IsDigit(text.at(i + 1)))
                return false;
        } else if (IsDigit(c)) {
            // Capped so that long digit runs cannot overflow; anything above 255 fails anyway.
            number = qMin(number * 10 + (c - '0'), 256);
        } else {
            if (SkipBlanks(text, i) < text.size())
                return false;
            break;
        }
    }
    return dots == 3 && number <= 255;
}

int LeadingNumber(const QByteArray& text)
{
    quint32 value = 0;
    for (qsizetype i = SkipBlanks(text, 0); i < text.size() && IsDigit(text.at(i)); ++i)
        value = value * 10 + static_cast<quint32>(text.at(i) - '0');
    return static_cast<int>(value);
}

quint32 WSocketResolveHost(const QByteArray& host)
{
    if (host.isEmpty() || host.size() > 256)
        throw ESocketException("WSocketResolveHost: '" + host + "' Invalid Hostname.");
    const QByteArray trimmed = trimBlanks(host);
    if (IsDottedIP(host)) {
        const in_addr_t address = ::inet_addr(trimmed.constData());
        if (address != INADDR_NONE || trimmed == "255.255.255.255")
            return address;
        throw ESocketException("WSocketResolveHost: '" + host + "' Invalid IP address.");
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int rc = ::getaddrinfo(trimmed.constData(), nullptr, &hints, &result);
    if (rc != 0 || result == nullptr) {
        const int code = rc != 0 ? winsockErrorFromPosix(rc) : WSANO_DATA;
        throw ESocketException(QByteArray("WSocketResolveHost: Cannot convert host address '") + host + "', Error #" +
                               QByteArray::number(code));
    }
    const quint32 address = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(result);
    return address;
}

quint16 WSocketResolvePort(const QByteArray& port, const QByteArray& proto)
{
    if (!IsValidShortName(port))
        throw ESocketException("WSocketResolvePort: Invalid Port.");
    if (!IsValidShortName(proto))
        throw ESocketException("WSocketResolvePort: Invalid Proto.");
    if (IsDigit(port.at(0)))
        return static_cast<quint16>(LeadingNumber(port));
    const QByteArray name = trimBlanks(port);
    const QByteArray protoName = trimBlanks(proto);
    const servent* service = ::getservbyname(name.constData(), protoName.isEmpty() ? nullptr : protoName.constData());
    if (service == nullptr) {
        throw ESocketException("WSocketResolvePort: Cannot convert port '" + port + "', Error #" +
                               QByteArray::number(WSANO_DATA));
    }
    return ntohs(static_cast<quint16>(service->s_port));
}

int WSocketResolveProto(const QByteArray& proto)
{
    if (!IsValidShortName(proto))
        throw ESocketException("WSocketResolveProto: Invalid Protocol.");
    const QByteArray name = trimBlanks(proto);
    if (!name.isEmpty() && IsDigit(name.at(0)))
        return LeadingNumber(name);
    const protoent* entry = ::getprotobyname(name.constData());
    if (entry == nullptr) {
        throw ESocketException("WSocketResolveProto: Cannot convert protocol '" + name + "', Error #" +
                               QByteArray::number(WSANO_DATA));
    }
    return entry->p_proto;
}
