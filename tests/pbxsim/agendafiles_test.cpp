#include "incomingcallloop.h"
#include "sessionprobe.h"
#include "waitfor.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace {

QString agendaPath(const QString& relative)
{
    const QString sourceDir =
        qEnvironmentVariable("CORVALINE_SOURCE_DIR", QStringLiteral(CORVALINE_DEFAULT_SOURCE_DIR));
    return sourceDir + QStringLiteral("/tools/agenda-www/") + relative;
}

QByteArray readAgendaFile(const QString& relative)
{
    QFile file(agendaPath(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The list as the program reads it: key before the first "=", value after it.
QMap<QByteArray, QByteArray> nameList(const QByteArray& body)
{
    QMap<QByteArray, QByteArray> list;
    for (const QByteArray& line : body.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && !list.contains(line.left(equals)))
            list.insert(line.left(equals), line.mid(equals + 1).chopped(line.endsWith('\r') ? 1 : 0));
    }
    return list;
}

} // namespace

TEST(AgendaFiles, NameLists_AreCrLfLinesOfNumberEqualsText)
{
    for (const char* list : {"cgi-bin/synchro/iccc.pl", "cgi-bin/synchro/iccctel.pl"}) {
        const QByteArray body = readAgendaFile(QString::fromLatin1(list));
        ASSERT_FALSE(body.isEmpty()) << list;
        EXPECT_TRUE(body.endsWith("\r\n")) << list;
        for (const QByteArray& line : body.split('\n').mid(0, body.count('\n'))) {
            EXPECT_TRUE(line.endsWith('\r')) << list;
            EXPECT_GT(line.indexOf('='), 0) << list;
        }
    }
}

// The demo shows a label for every line the scripted calls arrive on, and a
// name for most callers (two are unknown on purpose).
TEST(AgendaFiles, ScriptedCalls_FindTheirLabelsAndMostCallerNames)
{
    const auto labels = nameList(readAgendaFile(QStringLiteral("cgi-bin/synchro/iccc.pl")));
    const auto names = nameList(readAgendaFile(QStringLiteral("cgi-bin/synchro/iccctel.pl")));
    int known = 0;
    for (const pbxsim::ScriptedCall& call : pbxsim::IncomingCallLoop::demoCalls()) {
        EXPECT_FALSE(labels.value(call.sda).isEmpty()) << call.sda.constData();
        known += names.contains(call.callerNum) ? 1 : 0;
    }
    EXPECT_EQ(known, 4);
    EXPECT_EQ(labels.value("0491234500"), QByteArray("Accueil"));
    EXPECT_EQ(names.value("0320456789"), QByteArray("Boulangerie Lef\xe8vre"));
}

TEST(AgendaFiles, Server_SendsTheListUnchangedAndThePagesAsHtml)
{
    QProcess server;
    server.start(QStringLiteral("python3"),
                 {agendaPath(QStringLiteral("serve.py")), QStringLiteral("--port"), QStringLiteral("0")});
    ASSERT_TRUE(server.waitForStarted(10000));
    ASSERT_TRUE(testsupport::waitFor([&] { return server.canReadLine(); }, 10000));
    const QByteArray line = server.readLine().trimmed();
    ASSERT_TRUE(line.startsWith("listening on ")) << line.constData();
    const quint16 port = static_cast<quint16>(line.mid(13).toUInt());

    const auto get = [port](const QByteArray& path) {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (!socket.waitForConnected(5000))
            return QByteArray();
        socket.write("GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
        QByteArray answer;
        testsupport::waitFor(
            [&] {
                answer += socket.readAll();
                return socket.state() == QAbstractSocket::UnconnectedState;
            },
            5000);
        return answer + socket.readAll();
    };
    const QByteArray list = get("/cgi-bin/synchro/iccctel.pl");
    EXPECT_TRUE(list.startsWith("HTTP/1.0 200"));
    EXPECT_TRUE(list.endsWith("\r\n\r\n" + readAgendaFile(QStringLiteral("cgi-bin/synchro/iccctel.pl"))));
    const QByteArray page = get("/cgi-bin/agenda/frame.pl?base=0491234500&number=0612345678");
    EXPECT_TRUE(page.contains("Content-type: text/html"));
    EXPECT_TRUE(page.contains("Fiche appelant"));

    server.terminate();
    EXPECT_TRUE(server.waitForFinished(10000));
}
