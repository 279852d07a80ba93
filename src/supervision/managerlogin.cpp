#include "supervision/managerlogin.h"

#include "supervision/manageraction.h"
#include "supervision/md5.h"

#include <utility>

ManagerLogin::ManagerLogin(Field action, Field userName, Field secret, Field events)
    : m_action(std::move(action)), m_userName(std::move(userName)), m_secret(std::move(secret)),
      m_events(std::move(events))
{}

QByteArray ManagerLogin::plainText() const
{
    return ManagerAction(m_action())
        .header("UserName", m_userName())
        .header("Secret", m_secret())
        .header("Events", m_events())
        .text();
}

QByteArray ManagerLogin::md5Text(const QByteArray& challenge) const
{
    return ManagerAction(m_action())
        .header("AuthType", "MD5")
        .header("UserName", m_userName())
        .header("Key", DigestHex(TextDigest(challenge + m_secret())))
        .header("Events", m_events())
        .text();
}
