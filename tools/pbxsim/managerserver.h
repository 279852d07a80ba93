#pragma once

#include "managersession.h"

#include <QByteArray>
#include <QObject>

#include <memory>

class TWSocket;

namespace pbxsim {

class ActionLog;
class SimulatedPbx;

// Listens for manager clients on the project's own sockets and runs one
// ManagerSession per accepted connection, for as many clients as connect.
class ManagerServer : public QObject
{
    Q_OBJECT

public:
    ManagerServer(SimulatedPbx& pbx, const SessionSettings& settings, ActionLog* log, QObject* parent = nullptr);
    ~ManagerServer() override;

    // Starts listening; returns the port actually bound (useful with port 0).
    // Throws the socket layer's exception when the address cannot be bound.
    quint16 listen(const QByteArray& address, quint16 port);

signals:
    // A client's login was accepted.
    void clientLoggedIn();

private:
    void acceptClient();

    SimulatedPbx& m_pbx;
    const SessionSettings& m_settings;
    ActionLog* m_log;
    std::unique_ptr<TWSocket> m_listener;
};

} // namespace pbxsim
