#include "plainpeer.h"
#include "socksproxy.h"
#include "sockssocket.h"
#include "waitfor.h"

#include <QByteArray>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/socket.h>

using testsupport::waitFor;

namespace {

struct ProxyCase
{
    const char* name;
    SocksProxy::Kind kind;
    QByteArray level;
    bool usercode;
};

void PrintTo(const ProxyCase& row, std::ostream* out)
{
    *out << row.name;
}

// Starts the proxy of the case; the reason when this machine cannot run it at all.
QString StartProxy(SocksProxy& proxy, SocksProxy::Kind kind, QString& failure)
{
    const QString unavailable = SocksProxy::Unavailable(kind);
    if (unavailable.isEmpty())
        failure = proxy.Start();
    return unavailable;
}

void UseAccount(SocksSocket& socket, const QByteArray& password)
{
    socket.SetSocksAuthentication(socksAuthenticateUsercode);
    socket.SetSocksUsercode(SocksProxy::Usercode);
    socket.SetSocksPassword(password);
}

// Sends back everything it receives until the other side closes.
void Echo(int fd)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || !SendAll(fd, buffer, static_cast<size_t>(got)))
            return;
    }
}

QByteArray Pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

class SocksProxyTransfer : public testing::TestWithParam<ProxyCase>
{
};

} // namespace

TEST_P(SocksProxyTransfer, SixteenMebibytesEchoedThroughTheProxy_ArriveByteExact)
{
    const ProxyCase& row = GetParam();
    SocksProxy proxy(row.kind);
    QString failure;
    const QString unavailable = StartProxy(proxy, row.kind, failure);
    if (!unavailable.isEmpty())
        GTEST_SKIP() << unavailable.toStdString();
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();

    PlainPeer echo(Echo);
    const QByteArray sent = Pattern(16 * 1024 * 1024);
    QByteArray received;
    qsizetype offered = 0;
    // microsocks relays with blocking writes: with both directions full it would wait on the echo
    // while the echo waits on it. Keeping a bounded amount in flight lets every relay keep up.
    constexpr qsizetype InFlight = 256 * 1024;
    const auto topUp = [&](TCustomWSocket* s) {
        while (offered < sent.size() && offered - received.size() < InFlight) {
            const qsizetype chunk = qMin<qsizetype>(InFlight / 4, sent.size() - offered);
            s->Send(sent.constData() + offered, static_cast<int>(chunk));
            offered += chunk;
        }
    };
    SocksSocket socket;
    SocksEvents events;
    events.Attach(socket);
    socket.OnSessionConnected = [&](TCustomWSocket* s, quint16 error) {
        events.lines.push_back("connected " + std::to_string(error));
        if (error == 0)
            topUp(s);
    };
    socket.OnDataAvailable = [&](TCustomWSocket* s, quint16) {
        char buffer[65536];
        const int count = s->Receive(buffer, sizeof buffer);
        if (count > 0)
            received.append(buffer, count);
        topUp(s);
    };
    ThroughProxy(socket, QByteArray::number(echo.Port()), proxy.PortText(), row.level);
    if (row.usercode)
        UseAccount(socket, SocksProxy::Password);
    socket.Connect();
    ASSERT_TRUE(waitFor([&] { return received.size() >= sent.size() || events.Closed(); }, 600000))
        << received.size() << " bytes; " << testing::PrintToString(events.lines);

    EXPECT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent) << "the echoed bytes differ";
    std::vector<std::string> expected = {"socks connected 0", "connected 0"};
    if (row.usercode)
        expected.insert(expected.begin() + 1, {"auth start", "auth success"});
    EXPECT_EQ(events.lines, expected);
    socket.Close();
}

INSTANTIATE_TEST_SUITE_P(Proxies, SocksProxyTransfer,
                         testing::Values(ProxyCase{"DanteSocks4", SocksProxy::Dante, "4", false},
                                         ProxyCase{"DanteSocks5", SocksProxy::Dante, "5", false},
                                         ProxyCase{"DanteSocks5Usercode", SocksProxy::DanteUsercode, "5", true},
                                         ProxyCase{"MicrosocksSocks5", SocksProxy::Microsocks, "5", false},
                                         ProxyCase{"MicrosocksSocks5Usercode", SocksProxy::MicrosocksUsercode, "5",
                                                   true}),
                         [](const testing::TestParamInfo<ProxyCase>& info) { return info.param.name; });

TEST(SocksProxyRefusal, RealProxiesRefusingTheTargetOrTheAccount_ReportTheirReason)
{
    const struct
    {
        const char* name;
        SocksProxy::Kind kind;
        QByteArray level;
        QByteArray password;
        int code;
        std::string text;
    } rows[] = {
        {"socks 4 to a closed port", SocksProxy::Dante, "4", "", 20016, "request rejected or failed"},
        {"socks 5 to a closed port", SocksProxy::Dante, "5", "", 20008, "connection refused"},
        {"wrong password", SocksProxy::MicrosocksUsercode, "5", "wrong", 20015, "socks authentication failed"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SocksProxy proxy(row.kind);
        const QString failure = proxy.Start();
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
        RefusingPort closed;
        SocksSocket socket;
        SocksEvents events;
        events.Attach(socket);
        ThroughProxy(socket, QByteArray::number(closed.Port()), proxy.PortText(), row.level);
        if (!row.password.isEmpty())
            UseAccount(socket, row.password);
        socket.Connect();
        ASSERT_TRUE(waitFor([&] { return events.Closed(); }, 10000));
        EXPECT_EQ(WithoutAuthStates(events.lines), RefusedLines(row.code, row.text));
    }
}
