// A ringing call of the real simulator becomes a desktop notification on a
// private session bus, served by a notification server of the test's own; the
// notification goes once the call is answered, and its action opens the
// caller's agenda page.
#include "corvalinefixture.h"

#include "gui/mainwindow.h"
#include "gui/agendasettings.h"
#include "gui/callcard.h"
#include "waitfor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVariantMap>

namespace {

struct Notified
{
    uint id;
    QString appName;
    QString appIcon;
    QString summary;
    QString body;
    QStringList actions;
};

// The desktop's notification server, as much of it as the program uses.
class NotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QList<Notified> notified;
    QList<uint> closed;
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body")};

public slots:
    uint Notify(const QString& appName, uint, const QString& appIcon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int)
    {
        notified.append({uint(notified.size() + 41), appName, appIcon, summary, body, actions});
        return notified.last().id;
    }
    void CloseNotification(uint id) { closed.append(id); }
    QStringList GetCapabilities() { return capabilities; }

signals:
    void ActionInvoked(uint id, const QString& actionKey);
};

class CallNotification : public CorvalineOnLoopback
{
protected:
    void SetUp() override
    {
        CorvalineOnLoopback::SetUp();
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed (package dbus)";
        ASSERT_TRUE(busDir.isValid());
        address = QStringLiteral("unix:path=") + busDir.filePath(QStringLiteral("bus"));
        bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                           QStringLiteral("--address=") + address});
        ASSERT_TRUE(bus.waitForStarted(10000));
        ASSERT_TRUE(testsupport::waitFor([&] { return bus.canReadLine(); }, 10000)) << "the bus did not start";
        // The program's bus for this case; the base fixture puts the variable back.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());

        QDBusConnection connection = QDBusConnection::connectToBus(address, ServerConnection);
        ASSERT_TRUE(connection.isConnected()) << connection.lastError().message().toStdString();
        ASSERT_TRUE(connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    void TearDown() override
    {
        CorvalineOnLoopback::TearDown();
        QDBusConnection::disconnectFromBus(ServerConnection);
        if (bus.state() != QProcess::NotRunning) {
            bus.terminate();
            bus.waitForFinished(10000);
        }
    }

    static inline const QString ServerConnection = QStringLiteral("test-notification-server");
    QTemporaryDir busDir;
    QProcess bus;
    QString address;
    NotificationServer server;
};

TEST_F(CallNotification, RingingCallIsNotified_TheActionOpensTheAgenda_TheAnswerClosesIt)
{
    // The first scripted call: 0612345678 on the SDA 0491234500, answered.
    // It rings 1.5 s after the login, once the name lists are downloaded at
    // start-up, and rings and talks long enough for a busy machine to look.
    startSimulator(OneScriptedCall("new", "5", "5", "1.5"));
    writeSettings(false);
    // The name lists come from the agenda at start-up, as in an office.
    const QByteArray agendaAddress = startAgenda("0612345678=Dupont Marie\r\n", "0491234500=Accueil\r\n");
    ASSERT_FALSE(agendaAddress.isEmpty());
    createWindows();
    form3->adresse_ob->setText(QString::fromLatin1(agendaAddress));
    ASSERT_TRUE(startUpAndLogIn());

    ASSERT_TRUE(testsupport::waitFor([&] { return !server.notified.isEmpty(); }, 60000));
    const Notified shown = server.notified.first();
    EXPECT_EQ(shown.appName, QStringLiteral("Corvaline"));
    EXPECT_EQ(shown.appIcon, QStringLiteral("corvaline"));
    EXPECT_EQ(shown.summary, QStringLiteral("Appel entrant"));
    EXPECT_EQ(shown.body, QStringLiteral("Dupont Marie\nLigne : Accueil"));
    EXPECT_EQ(shown.actions, (QStringList{QStringLiteral("default"), QStringLiteral("Ouvrir l'agenda")}));
    ASSERT_EQ(form1->CallCardCount(), 1);
    EXPECT_FALSE(onlyCard()->isAnswered());

    emit server.ActionInvoked(shown.id, QStringLiteral("default"));
    ASSERT_TRUE(testsupport::waitFor([&] { return !pages.isEmpty(); }));
    EXPECT_EQ(pages.join(u' ').toStdString(),
              agendaAddress.toStdString() + "/cgi-bin/agenda/frame.pl?sda=0491234500&number=0612345678");

    // Closed at the answer, while the card is still there; once only.
    ASSERT_TRUE(testsupport::waitFor([&] { return !server.closed.isEmpty(); }, 60000));
    EXPECT_EQ(server.closed, QList<uint>{shown.id});
    ASSERT_EQ(form1->CallCardCount(), 1);
    EXPECT_TRUE(onlyCard()->isAnswered());
    ASSERT_TRUE(waitForCards(0));
    EXPECT_EQ(server.notified.size(), 1);
}

struct MarkupCase
{
    const char* name;
    bool serverReadsMarkup;
    const char* body;
};

class CallNotificationMarkup : public CallNotification, public ::testing::WithParamInterface<MarkupCase>
{
};

TEST_P(CallNotificationMarkup, ACallersNameShowsAsWritten)
{
    if (GetParam().serverReadsMarkup)
        server.capabilities.append(QStringLiteral("body-markup"));
    startSimulator(OneScriptedCall("new", "3", "2", "1.5"));
    writeSettings(false);
    const QByteArray agendaAddress =
        startAgenda("0612345678=<b>URGENT</b> <a href=\"http://x/?a=1&b=2\">ici</a>\r\n", "0491234500=R&D <2>\r\n");
    ASSERT_FALSE(agendaAddress.isEmpty());
    createWindows();
    form3->adresse_ob->setText(QString::fromLatin1(agendaAddress));
    ASSERT_TRUE(startUpAndLogIn());

    ASSERT_TRUE(testsupport::waitFor([&] { return !server.notified.isEmpty(); }, 10000));
    EXPECT_EQ(server.notified.first().body.toStdString(), GetParam().body);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, CallNotificationMarkup,
    ::testing::Values(MarkupCase{"PlainText", false,
                                 "<b>URGENT</b> <a href=\"http://x/?a=1&b=2\">ici</a>\n"
                                 "Ligne : R&D <2>"},
                      MarkupCase{"BodyMarkup", true,
                                 "&lt;b&gt;URGENT&lt;/b&gt; &lt;a href=\"http://x/?a=1&amp;b=2\"&gt;ici&lt;/a&gt;\n"
                                 "Ligne : R&amp;D &lt;2&gt;"}),
    [](const ::testing::TestParamInfo<MarkupCase>& info) { return std::string(info.param.name); });

} // namespace

#include "callnotification_test.moc"
