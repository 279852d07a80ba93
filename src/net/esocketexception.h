#pragma once

#include <QByteArray>
#include <stdexcept>

// Raised by the socket layer when no OnError handler is assigned. The message
// is the 8-bit text of the system ("Error 10057 in function Send\r\n...").
class ESocketException : public std::runtime_error
{
public:
    explicit ESocketException(const QByteArray& message);

    QByteArray Message() const { return QByteArray(what()); }
};
