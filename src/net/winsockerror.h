#pragma once

#include <QByteArray>

// Error codes of the socket layer are the Winsock 1.1 numbers, so that every
// message reads as the system always wrote it whatever the platform says.
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_RECOVERY = 11003;
inline constexpr int WSANO_DATA = 11004;

// The failures of the TLS layer, in the socket chain's range of protocol
// errors beside the SOCKS ones (20001 to 20018); they have texts of their own
// here so that every report of a code reads clearly.
inline constexpr int TlsSetupFailed = 20101;
inline constexpr int TlsHandshakeFailed = 20102;
inline constexpr int TlsCertificateRefused = 20103;
inline constexpr int TlsCertificateChanged = 20104;
inline constexpr int TlsRecordError = 20105;
// The connection ended without the peer's close_notify: what came may be cut short.
inline constexpr int TlsTruncated = 20106;

// English description of a Winsock code or of a TLS failure; "Not a WinSock
// error" for anything else.
QByteArray WinsockErrorText(int code);

// The one translation from the platform to Winsock codes: a positive value is
// an errno, a negative one a getaddrinfo() result (EAI_*), 0 stays 0. Values
// without a Winsock counterpart are returned unchanged.
int winsockErrorFromPosix(int error);
