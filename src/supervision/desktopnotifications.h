#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// The desktop's notification server (org.freedesktop.Notifications on the
// session bus). Every call is asynchronous: the program never waits for the
// desktop. Without a session bus or without a server nothing is shown and
// nothing fails; the reply to a notification simply never comes.
//
// The session bus is the one DBUS_SESSION_BUS_ADDRESS names (none when it is
// set empty), else the user's bus in XDG_RUNTIME_DIR; none is started for the
// program. Each instance has a connection of its own, closed with it.
class DesktopNotifications : public QObject
{
    Q_OBJECT

public:
    struct Notification
    {
        QString summary;
        // Plain text: escaped on the way when the server reads bodies as markup,
        // so that a caller's name shows as it is written.
        QString body;
        // Pairs of action key and caption; the key "default" is the click on
        // the notification itself.
        QStringList actions;
    };

    explicit DesktopNotifications(QObject* parent = nullptr);
    ~DesktopNotifications() override;

    // Shows the notification; shown gets the server's id once it answers.
    void show(const Notification& notification, std::function<void(uint id)> shown);
    void close(uint id);

signals:
    // The user chose an action of a notification (of any program: the
    // receiver keeps to its own ids).
    void actionInvoked(uint id, const QString& actionKey);

private:
    enum class Capabilities
    {
        Unknown,
        Asked,
        Known
    };
    struct Waiting
    {
        Notification notification;
        std::function<void(uint id)> shown;
    };

    bool connected();
    void askCapabilities();
    void sendWaiting();
    void send(const Notification& notification, std::function<void(uint id)> shown);

    QString m_connectionName;
    QDBusConnection m_bus;
    bool m_tried = false;
    Capabilities m_capabilities = Capabilities::Unknown;
    bool m_bodyMarkup = false;
    // Shown before the server told its capabilities.
    std::vector<Waiting> m_waiting;
};
