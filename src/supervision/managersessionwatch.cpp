#include "supervision/managersessionwatch.h"

#include "supervision/managertext.h"

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

ManagerSessionWatch::LoginAnswer ManagerSessionWatch::readLoginAnswer(const ManagerText& text)
{
    if (!m_loginAwaited)
        return LoginAnswer::None;
    for (const ManagerMessage& message : text.messages()) {
        const QByteArrayView response = message.header("Response");
        if (response.isEmpty() || !message.header("Challenge").isEmpty() || !message.header("Event").isEmpty())
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
