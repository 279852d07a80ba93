#pragma once

#include "supervision/managersessionstatus.h"

#include <QIcon>
#include <QList>
#include <QObject>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

// The program's icon in the desktop's tray: it shows whether the manager
// session is logged in, refused or disconnected, its tooltip says which and
// names the PBX, its menu holds the main window's tray actions, and a click
// brings the main window forward (the first action).
class SessionTrayIcon : public QObject
{
    Q_OBJECT

public:
    explicit SessionTrayIcon(const QList<QAction*>& menuActions, QObject* parent = nullptr);
    ~SessionTrayIcon() override;

    void showStatus(const ManagerSessionStatus& status);

    // The program's icon with a badge of the state's colour.
    static QIcon iconFor(ManagerSessionState state);

private:
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_icon;
};
