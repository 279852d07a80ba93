#include "net/tncnx.h"
#include "net/wsocket.h"
#include "plainpeer.h"
#include "scriptedpeer.h"
#include "waitfor.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <memory>

using testsupport::waitFor;

namespace {

constexpr int WILL = 251;
constexpr int WONT = 252;
constexpr int DO = 253;
constexpr int DONT = 254;

// The answers the client owes to one option request, written out independently of the client's code.
QByteArray ExpectedAnswer(int verb, int option)
{
    switch (option) {
    case 0:
    case 1:
    case 3:
        return verb == WILL ? Bytes({255, DO, option}) : QByteArray();
    case 23:
        return verb == DO ? Bytes({255, WILL, 23, 255, 250, 23}) + "TNCNX" + Bytes({255, 240}) : QByteArray();
    case 24:
    case 25:
        return verb == DO ? Bytes({255, WILL, option}) : QByteArray();
    default:
        return Bytes({255, verb == WILL ? DONT : WONT, option});
    }
}

struct Negotiation
{
    QByteArray expectedAnswers;
    int requests = 0;
    bool askedTerminalType = false;
};

// Walks the server's bytes and lists what the client must have sent back, in order: one answer for the first
// request of each verb and option, none for a repetition.
Negotiation ReadServerStream(const QByteArray& stream)
{
    Negotiation result;
    QSet<int> requestsSeen;
    for (qsizetype i = 0; i + 1 < stream.size(); ++i) {
        if (static_cast<unsigned char>(stream.at(i)) != 255)
            continue;
        const int command = static_cast<unsigned char>(stream.at(i + 1));
        if (command >= WILL && command <= DONT && i + 2 < stream.size()) {
            const int option = static_cast<unsigned char>(stream.at(i + 2));
            if (!requestsSeen.contains(command * 256 + option))
                result.expectedAnswers += ExpectedAnswer(command, option);
            requestsSeen.insert(command * 256 + option);
            result.requests += (command == WILL || command == DO) ? 1 : 0;
            i += 2;
        } else if (command == 250) {
            const qsizetype end = stream.indexOf(Bytes({255, 240}), i + 2);
            const QByteArray body = stream.mid(i + 2, end - i - 2);
            if (body == Bytes({24, 1})) {
                result.askedTerminalType = true;
                result.expectedAnswers += Bytes({255, 250, 24, 0}) + "VT100" + Bytes({255, 240});
            }
            i = end < 0 ? stream.size() : end + 1;
        } else {
            ++i;
        }
    }
    return result;
}

// Sits between the session under test and the real server and records both directions.
class RecordingRelay
{
public:
    explicit RecordingRelay(quint16 serverPort) : m_serverPort(serverPort)
    {
        m_listener.OnSessionAvailable = [this](TCustomWSocket* listener, quint16) { Accept(listener->Accept()); };
        m_listener.SetProto("tcp");
        m_listener.SetAddr("127.0.0.1");
        m_listener.SetPort("0");
        m_listener.Listen();
        m_activity.start();
    }

    quint16 Port() { return m_listener.BoundPort().toUShort(); }
    QByteArray FromServer() const { return m_fromServer; }
    QByteArray FromClient() const { return m_fromClient; }
    qint64 QuietMs() const { return m_activity.elapsed(); }

private:
    void Accept(TSocket handle)
    {
        m_server.OnDataAvailable = [this](TCustomWSocket* s, quint16) {
            const QByteArray bytes = s->ReceiveText();
            m_fromServer += bytes;
            m_activity.restart();
            if (!bytes.isEmpty() && m_client && m_client->State() == wsConnected)
                m_client->SendText(bytes);
        };
        m_server.SetProto("tcp");
        m_server.SetAddr("127.0.0.1");
        m_server.SetPort(QByteArray::number(m_serverPort));
        m_server.Connect();
        m_client = std::make_unique<TWSocket>();
        m_client->OnDataAvailable = [this](TCustomWSocket* s, quint16) {
            const QByteArray bytes = s->ReceiveText();
            m_fromClient += bytes;
            m_activity.restart();
            if (!bytes.isEmpty() && m_server.State() == wsConnected)
                m_server.SendText(bytes);
        };
        m_client->Dup(handle);
    }

    quint16 m_serverPort;
    TWSocket m_listener;
    TWSocket m_server;
    std::unique_ptr<TWSocket> m_client;
    QByteArray m_fromServer;
    QByteArray m_fromClient;
    QElapsedTimer m_activity;
};

} // namespace

TEST(TnCnxTelnetd, NegotiationWithARealTelnetServer_IsAnsweredAsTheTableSays)
{
    const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
    if (socat.isEmpty() || !QFile::exists(QStringLiteral("/usr/sbin/telnetd")))
        GTEST_SKIP() << "socat or inetutils-telnetd is not installed";
    const quint16 port = FreeLoopbackPort();
    QProcess server;
    server.setProcessChannelMode(QProcess::SeparateChannels);
    server.start(socat, {QStringLiteral("-d"), QStringLiteral("-d"),
                         QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr").arg(port),
                         QStringLiteral("EXEC:/usr/sbin/telnetd -E /bin/cat -h,nofork")});
    ASSERT_TRUE(server.waitForStarted(5000));
    QByteArray serverLog;
    ASSERT_TRUE(waitFor(
        [&] {
            serverLog += server.readAllStandardError();
            return serverLog.contains("listening on");
        },
        10000))
        << serverLog.constData();

    RecordingRelay relay(port);
    TTnCnx tn;
    QByteArray data;
    tn.OnDataAvailable = [&](TTnCnx*, const char* buffer, int len) { data += QByteArray(buffer, len); };
    tn.SetHost("127.0.0.1");
    tn.SetPort(QByteArray::number(relay.Port()));
    tn.SetLocalEcho(true);
    // As the manager console sets it: a telnet server's greeting is no manager banner.
    tn.SetPlainTextBanner("Asterisk Call Manager/");
    tn.Connect();
    ASSERT_TRUE(waitFor([&] { return tn.SessionOpen(); }));
    // The negotiation runs in rounds; it is over once nothing has moved for a while.
    ASSERT_TRUE(waitFor([&] { return !relay.FromServer().isEmpty() && relay.QuietMs() > 1500; }, 20000));

    const Negotiation negotiation = ReadServerStream(relay.FromServer());
    EXPECT_GE(negotiation.requests, 7) << relay.FromServer().toHex(' ').constData();
    EXPECT_TRUE(negotiation.askedTerminalType) << relay.FromServer().toHex(' ').constData();
    EXPECT_EQ(relay.FromClient().toHex(' '), negotiation.expectedAnswers.toHex(' '));
    EXPECT_TRUE(relay.FromClient().contains(Bytes({255, 250, 24, 0}) + "VT100" + Bytes({255, 240})));

    tn.Close();
    server.kill();
    server.waitForFinished(5000);
}
