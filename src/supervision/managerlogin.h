#pragma once

#include <QByteArray>

#include <functional>

// The login action of the console's fields, composed from what the fields hold
// at the moment of sending: the action name (normally "Login"), the user name,
// the secret and the events setting.
class ManagerLogin
{
public:
    using Field = std::function<QByteArray()>;

    ManagerLogin(Field action, Field userName, Field secret, Field events);

    // With the secret in clear.
    QByteArray plainText() const;
    // Proves the secret without sending it: the key is the MD5 digest of the
    // manager's challenge followed by the secret.
    QByteArray md5Text(const QByteArray& challenge) const;

private:
    Field m_action;
    Field m_userName;
    Field m_secret;
    Field m_events;
};
