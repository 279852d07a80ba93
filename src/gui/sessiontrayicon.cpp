#include "gui/sessiontrayicon.h"

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
    // The program's picture may be smaller than the tray's: it is scaled into
    // a picture of the icon's size before the badge goes on.
    QPixmap picture(IconSize, IconSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(picture.rect(), QPixmap(QStringLiteral(":/icons/corvaline.png")));
    painter.setPen(QPen(Qt::white, 4));
    painter.setBrush(badgeColour(state));
    painter.drawEllipse(QRect(IconSize / 2, IconSize / 2, IconSize / 2 - 3, IconSize / 2 - 3));
    painter.end();
    return QIcon(picture);
}
