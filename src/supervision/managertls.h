#pragma once

#include <QByteArray>
#include <QString>

class TlsLayer;

// How the console reaches the manager: in clear or over TLS, the manager's
// TLS listener being on its own port (5039 beside the clear 5038).
struct ManagerTlsSettings
{
    bool enabled = false;
    // The name the server's certificate must carry: the host as typed.
    QByteArray hostName;

    // Sets the socket for the next connection; clear text is asked only when
    // TLS is off, never as a fall back.
    void applyTo(TlsLayer& socket) const;
};

// The port to propose when the TLS box changes: the other listener's usual
// port when the current one is the usual port of the other mode, else the
// current one unchanged.
QString proposedManagerPort(bool tls, const QString& currentPort);

// The memo's line once the session is open.
QString managerLinkLine(const TlsLayer& socket);
