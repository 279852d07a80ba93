#include "managerserver.h"

#include "actionlog.h"
#include "net/wsocket.h"
#include "simulatedpbx.h"

namespace pbxsim {

namespace {

// One accepted connection: its socket owns the session, and both go when the
// client leaves.
class ClientConnection : public QObject
{
public:
    ClientConnection(TWSocket* socket, ManagerSession* session) : QObject(socket), m_socket(socket)
    {
        session->setParent(this);
        socket->OnDataAvailable = [session](TCustomWSocket* s, quint16) {
            const QByteArray received = s->ReceiveText();
            if (!received.isEmpty())
                session->receive(received);
        };
        // ReleaseLater defers the deletion until this handler has returned,
        // since the socket is still inside its own dispatch here.
        socket->OnSessionClosed = [](TCustomWSocket* s, quint16) { s->ReleaseLater(); };
        socket->OnDataSent = [this](TCustomWSocket* s, quint16) {
            if (m_closeWhenSent)
                s->CloseLater();
        };
        // A send that fails because the client is gone surfaces as a closed
        // session; the error report itself needs no action.
        socket->OnError = [](TCustomWSocket*) {};
        connect(session, &ManagerSession::output, this, [this](const QByteArray& bytes) { m_socket->SendText(bytes); });
        connect(session, &ManagerSession::finished, this, [this] { m_closeWhenSent = true; });
    }

private:
    TWSocket* m_socket;
    bool m_closeWhenSent = false;
};

} // namespace

ManagerServer::ManagerServer(SimulatedPbx& pbx, const SessionSettings& settings, ActionLog* log, QObject* parent)
    : QObject(parent), m_pbx(pbx), m_settings(settings), m_log(log)
{}

ManagerServer::~ManagerServer() = default;

quint16 ManagerServer::listen(const QByteArray& address, quint16 port)
{
    m_listener = std::make_unique<TWSocket>();
    m_listener->SetProto("tcp");
    m_listener->SetAddr(address);
    m_listener->SetPort(QByteArray::number(port));
    m_listener->OnSessionAvailable = [this](TCustomWSocket*, quint16 error) {
        if (error == 0)
            acceptClient();
    };
    m_listener->Listen();
    return static_cast<quint16>(m_listener->BoundPort().toUInt());
}

void ManagerServer::acceptClient()
{
    const TSocket handle = m_listener->Accept();
    if (handle == INVALID_SOCKET)
        return;
    auto* socket = new TWSocket(this);
    auto* session = new ManagerSession(m_pbx, m_settings);
    if (m_log)
        connect(session, &ManagerSession::actionReceived, this, [this](const QByteArray& raw) { m_log->append(raw); });
    connect(session, &ManagerSession::loggedInNow, this, &ManagerServer::clientLoggedIn);
    new ClientConnection(socket, session);
    socket->Dup(handle);
    session->start();
}

} // namespace pbxsim
