#include "app/sessiontrayicon.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>

namespace {

constexpr int IconSize = 64;

QColor badgeColour(ManagerSessionState state)
{
    switch (state) {
    case ManagerSessionState::LoggedIn:
        return QColor(0x2e, 0xa0, 0x43);
    case ManagerSessionState::Refused:
        return QColor(0xe0, 0x8a, 0x00);
    case ManagerSessionState::Disconnected:
        break;
    }
    return QColor(0xc0, 0x20, 0x20);
}

} // namespace

SessionTrayIcon::SessionTrayIcon(const QList<QAction*>& menuActions, QObject* parent)
    : QObject(parent), m_menu(std::make_unique<QMenu>()), m_icon(new QSystemTrayIcon(this))
{
    m_menu->addActions(menuActions);
    m_icon->setContextMenu(m_menu.get());
    if (!menuActions.isEmpty()) {
        connect(m_icon, &QSystemTrayIcon::activated, this, [first = menuActions.first()](auto reason) {
            if (reason == QSystemTrayIcon::Trigger)
                first->trigger();
        });
    }
    showStatus(ManagerSessionStatus());
    m_icon->show();
}

SessionTrayIcon::~SessionTrayIcon() = default;

void SessionTrayIcon::showStatus(const ManagerSessionStatus& status)
{
    m_icon->setIcon(iconFor(status.state()));
    m_icon->setToolTip(status.toolTip());
}

QIcon SessionTrayIcon::iconFor(ManagerSessionState state)
{
    QPixmap picture = QIcon(QStringLiteral(":/icons/corvaline.png")).pixmap(IconSize, IconSize);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 4));
    painter.setBrush(badgeColour(state));
    painter.drawEllipse(QRect(IconSize * 9 / 16, IconSize * 9 / 16, IconSize * 7 / 16 - 2, IconSize * 7 / 16 - 2));
    return QIcon(picture);
}
