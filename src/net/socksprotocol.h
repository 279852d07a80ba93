#pragma once

#include <QByteArray>
#include <QtGlobal>

// The wire side of a connection through a SOCKS proxy: the requests of
// version 4, its 4A extension (the proxy resolves the name) and version 5
// (RFC 1928, user code and password per RFC 1929), and the codes and texts
// the socket reports when the proxy refuses or answers something else.

// What the socket reports through OnSocksError, OnSessionConnected and OnSessionClosed.
struct SocksFailure
{
    int code;
    QByteArray text;
};

inline constexpr int SocksProtocolError = 20001;
inline constexpr int SocksVersionError = 20002;
inline constexpr int SocksAuthMethodError = 20003;
inline constexpr int SocksUnknownAddressType = 20011;
inline constexpr int SocksInternalError = 20013;
inline constexpr int SocksAuthenticationFailed = 20015;
inline constexpr int SocksHostResolutionFailed = 20017;
// A user code, password or host name that would not fit the request.
inline constexpr int SocksRequestTooLong = 20018;

// The proxy is never sent a longer request. It bounds the user code and
// password together to 125 bytes, the version 4 user code to 119 (with the
// 4A host name, 118 together) and the version 5 host name to 121.
inline constexpr int SocksRequestLimit = 128;

// Method numbers of version 5.
inline constexpr quint8 SocksMethodNone = 0x00;
inline constexpr quint8 SocksMethodUsercode = 0x02;

// Version 4 CONNECT to an address (network order) and port (host order), with the user code as USERID.
QByteArray socks4ConnectRequest(quint16 port, quint32 address, const QByteArray& usercode);
// Version 4A CONNECT: the invalid address 0.0.0.1 tells the proxy to resolve the name that follows.
QByteArray socks4AConnectRequest(quint16 port, const QByteArray& usercode, const QByteArray& hostName);
// Version 5 greeting offering exactly one method.
QByteArray socks5MethodRequest(quint8 method);
// Version 5 sub-negotiation carrying the user code and password.
QByteArray socks5AuthRequest(const QByteArray& usercode, const QByteArray& password);
// Version 5 CONNECT naming the target as a domain name, dotted addresses included.
QByteArray socks5ConnectRequest(const QByteArray& hostName, quint16 port);

// The failure a version 4 reply code other than 90 (granted) stands for.
SocksFailure socks4ReplyFailure(quint8 reply);
// The failure a version 5 reply code other than 0 (succeeded) stands for.
SocksFailure socks5ReplyFailure(quint8 reply);
