#pragma once

#include <QByteArray>
#include <QtGlobal>

// Synchronous conversion of the Addr, Port and Proto texts of a socket into
// numbers. Failures raise ESocketException with the system's messages. Names
// go to the platform resolver (getaddrinfo, getservbyname, getprotobyname) and
// may block; numeric texts never reach it.

// Removes the control characters and blanks at both ends, as the socket's
// property setters always did.
QByteArray trimBlanks(const QByteArray& text);

// Whether the text is four dot-separated decimal numbers of at most 255,
// blanks allowed before and after.
bool IsDottedIP(const QByteArray& text);

// Value of the decimal digits at the start of the text after leading blanks.
int LeadingNumber(const QByteArray& text);

// IPv4 address in network order.
quint32 WSocketResolveHost(const QByteArray& host);

// Port in host order.
quint16 WSocketResolvePort(const QByteArray& port, const QByteArray& proto);

int WSocketResolveProto(const QByteArray& proto);
