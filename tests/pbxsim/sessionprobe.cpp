#include "sessionprobe.h"

#include "waitfor.h"

SessionProbe::SessionProbe(pbxsim::SimulatedPbx& pbx, const pbxsim::SessionSettings& settings)
    : m_session(std::make_unique<pbxsim::ManagerSession>(pbx, settings))
{
    QObject::connect(m_session.get(), &pbxsim::ManagerSession::output, [this](const QByteArray& bytes) {
        m_pending += bytes;
        m_all += bytes;
    });
    QObject::connect(m_session.get(), &pbxsim::ManagerSession::actionReceived,
                     [this](const QByteArray& raw) { m_logged.append(raw); });
    QObject::connect(m_session.get(), &pbxsim::ManagerSession::finished, [this] { m_finished = true; });
    m_session->start();
}

QByteArray SessionProbe::take()
{
    return std::exchange(m_pending, QByteArray());
}

bool SessionProbe::waitFor(const QByteArray& text, int timeoutMs)
{
    return testsupport::waitFor([&] { return m_all.contains(text); }, timeoutMs);
}

void SessionProbe::login(const QByteArray& events)
{
    send("Action: Login\r\nUserName: admin\r\nSecret: s3cret\r\nEvents: " + events + "\r\n\r\n");
    take();
}

QByteArray headerIn(const QByteArray& text, const QByteArray& name)
{
    const QByteArray prefix = name + ": ";
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed();
    }
    return {};
}
