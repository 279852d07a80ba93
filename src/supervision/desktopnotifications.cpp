#include "supervision/desktopnotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileInfo>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");

QString sessionBusAddress()
{
    // Set but empty means no bus at all, as for the tests' own desktop.
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        return qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString userBus = QDir(runtimeDir).filePath(QStringLiteral("bus"));
    if (!runtimeDir.isEmpty() && QFileInfo::exists(userBus))
        return QStringLiteral("unix:path=") + userBus;
    return QString();
}

// text with '&', '<' and '>' written as the entities of the markup.
QString escapedForMarkup(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            escaped += QStringLiteral("&amp;");
        else if (c == u'<')
            escaped += QStringLiteral("&lt;");
        else if (c == u'>')
            escaped += QStringLiteral("&gt;");
        else
            escaped += c;
    }
    return escaped;
}

} // namespace

DesktopNotifications::DesktopNotifications(QObject* parent)
    : QObject(parent), m_connectionName(QStringLiteral("corvaline-notifications-%1").arg(quintptr(this), 0, 16)),
      m_bus(m_connectionName)
{}

DesktopNotifications::~DesktopNotifications()
{
    if (m_tried)
        QDBusConnection::disconnectFromBus(m_connectionName);
}

bool DesktopNotifications::connected()
{
    // The bus is joined at the first notification, not at start: a program
    // that shows none never touches it.
    if (!m_tried) {
        m_tried = true;
        const QString address = sessionBusAddress();
        if (address.isEmpty())
            return false;
        m_bus = QDBusConnection::connectToBus(address, m_connectionName);
        // QtDBus relays a bus signal only to a member named by its signature.
        if (m_bus.isConnected())
            m_bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                          SIGNAL(actionInvoked(uint, QString)));
    }
    return m_bus.isConnected();
}

void DesktopNotifications::show(const Notification& notification, std::function<void(uint id)> shown)
{
    if (!connected())
        return;
    m_waiting.push_back({notification, std::move(shown)});
    if (m_capabilities == Capabilities::Known)
        sendWaiting();
    else if (m_capabilities == Capabilities::Unknown)
        askCapabilities();
}

void DesktopNotifications::askCapabilities()
{
    // Whether the server reads the body as markup decides how a caller's name
    // is sent; notifications wait for the answer, an error counts as no markup.
    m_capabilities = Capabilities::Asked;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<QStringList> reply = *watcher;
        m_bodyMarkup = reply.isValid() && reply.value().contains(QStringLiteral("body-markup"));
        m_capabilities = Capabilities::Known;
        sendWaiting();
    });
}

void DesktopNotifications::sendWaiting()
{
    std::vector<Waiting> waiting;
    waiting.swap(m_waiting);
    for (Waiting& each : waiting)
        send(each.notification, std::move(each.shown));
}

void DesktopNotifications::send(const Notification& notification, std::function<void(uint id)> shown)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    // A ringing call is urgent; the program closes the notification itself
    // once the call is answered or gone.
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(2))},
                            {QStringLiteral("desktop-entry"), QStringLiteral("corvaline")}};
    call << QStringLiteral("Corvaline") << uint(0) << QStringLiteral("corvaline") << notification.summary
         << (m_bodyMarkup ? escapedForMarkup(notification.body) : notification.body) << notification.actions << hints
         << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, shown = std::move(shown)] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isValid())
            shown(reply.value());
    });
}

void DesktopNotifications::close(uint id)
{
    if (!connected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("CloseNotification"));
    call << id;
    m_bus.asyncCall(call);
}
