#pragma once

#include "supervision/managersessionstate.h"

#include <QString>

// The session state shown at a glance (the tray icon and its tooltip). A
// refused login stays shown through the disconnection that follows it, as the
// session's card does: it says more. A link over TLS is said to be encrypted. The program starts disconnected.
class ManagerSessionStatus
{
public:
    void update(ManagerSessionState reported, const QString& pbxHost, bool encrypted = false);

    ManagerSessionState state() const { return m_state; }
    QString toolTip() const;

private:
    ManagerSessionState m_state = ManagerSessionState::Disconnected;
    QString m_host;
    bool m_encrypted = false; // the logged-in link is over TLS
};
