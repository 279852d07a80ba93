#pragma once

#include <QByteArray>

#include <stdexcept>

// Raised by the HTTP client: a message and a code (1 busy, 2 nothing to post,
// 4 line too long, or the status of a failed request).
class EHttpException : public std::runtime_error
{
public:
    EHttpException(const QByteArray& message, int errorCode)
        : std::runtime_error(message.toStdString()), m_errorCode(errorCode)
    {}

    QByteArray Message() const { return QByteArray(what()); }
    int ErrorCode() const { return m_errorCode; }

private:
    int m_errorCode;
};
