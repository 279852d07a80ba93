#pragma once

#include "managersession.h"
#include "simulatedpbx.h"

#include <QByteArray>

#include <memory>
#include <ostream>

// A manager session of a simulated exchange driven in memory: what the session
// sends is collected, what a client would send is handed to it directly.
class SessionProbe
{
public:
    explicit SessionProbe(pbxsim::SimulatedPbx& pbx, const pbxsim::SessionSettings& settings);

    void send(const QByteArray& text) { m_session->receive(text); }
    // Everything sent since the last call.
    QByteArray take();
    // Runs the event loop until the collected output holds the text (bounded).
    bool waitFor(const QByteArray& text, int timeoutMs = 5000);
    const QByteArray& all() const { return m_all; }
    QByteArrayList actionsLogged() const { return m_logged; }
    bool finished() const { return m_finished; }
    pbxsim::ManagerSession& session() { return *m_session; }

    // Logs in with the plain form and forgets the reply.
    void login(const QByteArray& events = "on");

private:
    std::unique_ptr<pbxsim::ManagerSession> m_session;
    QByteArray m_pending;
    QByteArray m_all;
    QByteArrayList m_logged;
    bool m_finished = false;
};

// The header value of the first line of the text that starts with the name.
QByteArray headerIn(const QByteArray& text, const QByteArray& name);

// Lets test failures show bytes as text.
inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << '"' << bytes.toStdString() << '"';
}

inline void PrintTo(const QByteArrayList& list, std::ostream* out)
{
    *out << '{';
    for (const QByteArray& item : list)
        *out << " \"" << item.toStdString() << '"';
    *out << " }";
}
