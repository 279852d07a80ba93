#include "supervision/managersessionwatch.h"

namespace {

// The value of the header in the message, trimmed of blanks; empty when absent.
QByteArrayView headerValue(QByteArrayView message, QByteArrayView name)
{
    for (qsizetype start = 0; start < message.size();) {
        qsizetype end = message.indexOf('\n', start);
        if (end < 0)
            end = message.size();
        QByteArrayView line = message.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > name.size() && line.at(name.size()) == ':' &&
            line.first(name.size()).compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(name.size() + 1).trimmed();
        start = end + 1;
    }
    return {};
}

} // namespace

void ManagerSessionWatch::reset()
{
    m_loginAwaited = false;
    m_keepAliveSent = false;
    m_receivedSinceKeepAlive = false;
}

void ManagerSessionWatch::loginSent()
{
    m_loginAwaited = true;
}

ManagerSessionWatch::LoginAnswer ManagerSessionWatch::readLoginAnswer(QByteArrayView text)
{
    if (!m_loginAwaited)
        return LoginAnswer::None;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = text.indexOf("\r\n\r\n", start);
        end = end < 0 ? text.size() : end + 4;
        const QByteArrayView message = text.sliced(start, end - start);
        start = end;
        const QByteArrayView response = headerValue(message, "Response");
        if (response.isEmpty() || !headerValue(message, "Challenge").isEmpty() ||
            !headerValue(message, "Event").isEmpty())
            continue;
        m_loginAwaited = false;
        return response.compare("Success", Qt::CaseInsensitive) == 0 ? LoginAnswer::Accepted : LoginAnswer::Refused;
    }
    return LoginAnswer::None;
}

bool ManagerSessionWatch::keepAliveTick()
{
    if (m_keepAliveSent && !m_receivedSinceKeepAlive)
        return false;
    m_keepAliveSent = true;
    m_receivedSinceKeepAlive = false;
    return true;
}
