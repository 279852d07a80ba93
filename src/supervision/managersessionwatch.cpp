#include "supervision/managersessionwatch.h"

#include "supervision/managermessages.h"

using ManagerMessages::headerValue;

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
    LoginAnswer answer = LoginAnswer::None;
    if (!m_loginAwaited)
        return answer;
    ManagerMessages::forEach(text, [&](QByteArrayView message) {
        const QByteArrayView response = headerValue(message, "Response");
        if (answer != LoginAnswer::None || response.isEmpty() || !headerValue(message, "Challenge").isEmpty() ||
            !headerValue(message, "Event").isEmpty())
            return;
        m_loginAwaited = false;
        answer = response.compare("Success", Qt::CaseInsensitive) == 0 ? LoginAnswer::Accepted : LoginAnswer::Refused;
    });
    return answer;
}

bool ManagerSessionWatch::keepAliveTick()
{
    if (m_keepAliveSent && !m_receivedSinceKeepAlive)
        return false;
    m_keepAliveSent = true;
    m_receivedSinceKeepAlive = false;
    return true;
}
