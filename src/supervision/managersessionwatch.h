#pragma once

class ManagerText;

// What the console needs to know of its own session beyond the events: the
// manager's answer to its login, and whether the manager still answers at all.
// A refused login must not pass for a working session, and a link that died
// without a word (a PBX without power, a VPN gone) must not stay "connected"
// for the quarter of an hour the system takes to notice.
class ManagerSessionWatch
{
public:
    enum class LoginAnswer
    {
        None, // not in this text
        Accepted,
        Refused,
    };

    // A new session: nothing awaited, nothing received.
    void reset();

    void loginSent();
    // Reads whole messages for the first response after the login; a response
    // that carries a challenge answers the challenge request, not the login.
    LoginAnswer readLoginAnswer(const ManagerText& text);

    void received() { m_receivedSinceKeepAlive = true; }
    // At each keep-alive tick of an open session: false when the keep-alive of
    // the previous tick has had no byte at all in reply.
    bool keepAliveTick();

private:
    bool m_loginAwaited = false;
    bool m_keepAliveSent = false;
    bool m_receivedSinceKeepAlive = false;
};
