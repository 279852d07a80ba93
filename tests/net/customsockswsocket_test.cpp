#include "plainpeer.h"
#include "scriptedpeer.h"
#include "sockettesthelpers.h"
#include "sockssocket.h"
#include "waitfor.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using testsupport::waitFor;

namespace {

// The port the tests name as their target; the scripted proxy never connects anywhere.
const QByteArray TargetPort = "5038";

QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// A version 5 reply with the given reply code and the bound address 0.0.0.0:0.
QByteArray Socks5Reply(int reply)
{
    return Bytes({5, reply, 0, 1, 0, 0, 0, 0, 0, 0});
}

const QByteArray Socks5NoAuth = Hex("0500");
const QByteArray Socks4Granted = Hex("005a000000000000");

// A socket that goes through the scripted proxy, with its events recorded.
struct ScriptedConnection
{
    ScriptedPeer proxy;
    SocksEvents events;
    SocksSocket socket;
    qsizetype seen = 0;

    explicit ScriptedConnection(const QByteArray& level, bool usercode = false)
    {
        events.Attach(socket);
        ThroughProxy(socket, TargetPort, QByteArray::number(proxy.Port()), level);
        if (usercode) {
            socket.SetSocksAuthentication(socksAuthenticateUsercode);
            socket.SetSocksUsercode("alice");
            socket.SetSocksPassword("s3cret");
        }
    }

    // Waits for the socket's next request and returns it.
    QByteArray NextRequest()
    {
        if (!waitFor([this] { return proxy.Received().size() > seen; }))
            return QByteArray();
        const QByteArray request = proxy.Received().mid(seen);
        seen = proxy.Received().size();
        return request;
    }

    // Answers each request in turn (an empty answer sends nothing).
    void Answer(const std::vector<QByteArray>& answers)
    {
        for (const QByteArray& answer : answers) {
            ASSERT_FALSE(NextRequest().isEmpty());
            if (!answer.isEmpty())
                proxy.Send(answer);
        }
    }
};

struct ReplyCase
{
    const char* name;
    QByteArray level;
    bool usercode;
    std::vector<QByteArray> answers;
    bool thenClose;
    int code;
    std::string text;
};

void PrintTo(const ReplyCase& row, std::ostream* out)
{
    *out << row.name;
}

class SocksReply : public testing::TestWithParam<ReplyCase>
{
};

} // namespace

TEST_P(SocksReply, RefusalOrBrokenAnswer_ReportsItsCodeAndTextThenClosesWithIt)
{
    const ReplyCase& row = GetParam();
    ScriptedConnection connection(row.level, row.usercode);
    connection.socket.Connect();
    connection.Answer(row.answers);
    if (row.thenClose)
        connection.proxy.Close();
    ASSERT_TRUE(waitFor([&] { return connection.events.Closed(); }));

    EXPECT_EQ(WithoutAuthStates(connection.events.lines), RefusedLines(row.code, row.text));
    EXPECT_EQ(connection.socket.State(), wsClosed);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SocksReply,
    testing::Values(
        ReplyCase{"Socks4Rejected", "4", false, {Hex("005b000000000000")}, false, 20016, "request rejected or failed"},
        ReplyCase{"Socks4NoIdentd", "4", false, {Hex("005c000000000000")}, false, 20008, "connection refused"},
        ReplyCase{
            "Socks4IdentMismatch", "4A", false, {Hex("005d000000000000")}, false, 20015, "authentification failed"},
        ReplyCase{"Socks4Unassigned", "4", false, {Hex("0063000000000000")}, false, 20012, "unassigned error #99"},
        ReplyCase{"Socks4WrongVersion", "4", false, {Hex("045a000000000000")}, false, 20002, "socks version error"},
        ReplyCase{"Socks4Short", "4", false, {Hex("005a00")}, true, 20001, "connection closed by socks server"},
        ReplyCase{
            "Socks5General", "5", false, {Socks5NoAuth, Socks5Reply(1)}, false, 20004, "general SOCKS server failure"},
        ReplyCase{"Socks5Ruleset",
                  "5",
                  false,
                  {Socks5NoAuth, Socks5Reply(2)},
                  false,
                  20005,
                  "connection not allowed by ruleset"},
        ReplyCase{"Socks5Network", "5", false, {Socks5NoAuth, Socks5Reply(3)}, false, 20006, "network unreachable"},
        ReplyCase{"Socks5Host", "5", false, {Socks5NoAuth, Socks5Reply(4)}, false, 20007, "host unreachable"},
        ReplyCase{"Socks5Refused", "5", false, {Socks5NoAuth, Socks5Reply(5)}, false, 20008, "connection refused"},
        ReplyCase{"Socks5Ttl", "5", false, {Socks5NoAuth, Socks5Reply(6)}, false, 20009, "time to live expired"},
        ReplyCase{"Socks5Command", "5", false, {Socks5NoAuth, Socks5Reply(7)}, false, 20010, "command not supported"},
        ReplyCase{"Socks5AddressType",
                  "5",
                  false,
                  {Socks5NoAuth, Socks5Reply(8)},
                  false,
                  20011,
                  "address type not supported"},
        ReplyCase{"Socks5Unassigned", "5", false, {Socks5NoAuth, Socks5Reply(9)}, false, 20012, "unassigned error #9"},
        ReplyCase{"Socks5UnknownBoundType",
                  "5",
                  false,
                  {Socks5NoAuth, Hex("0500000200000000")},
                  false,
                  20011,
                  "address type not supported"},
        ReplyCase{
            "Socks5ReplyWrongVersion", "5", false, {Socks5NoAuth, Hex("0400")}, false, 20002, "socks version error"},
        ReplyCase{"Socks5MethodWrongVersion", "5", false, {Hex("0400")}, false, 20002, "socks version error"},
        ReplyCase{"Socks5NoAcceptableMethod",
                  "5",
                  false,
                  {Hex("05ff")},
                  false,
                  20003,
                  "authentification method not acceptable"},
        ReplyCase{"Socks5MethodNotOffered",
                  "5",
                  false,
                  {Hex("0502")},
                  false,
                  20003,
                  "authentification method not acceptable"},
        ReplyCase{
            "Socks5AuthRefused", "5", true, {Hex("0502"), Hex("0101")}, false, 20015, "socks authentication failed"},
        ReplyCase{"Socks5AuthWrongVersion", "5", true, {Hex("0502"), Hex("0500")}, false, 20002, "socks version error"},
        ReplyCase{
            "Socks5AuthTooLong", "5", true, {Hex("0502"), Hex("010000")}, false, 20001, "too much data availaible"},
        ReplyCase{"Socks5ShortReply",
                  "5",
                  false,
                  {Socks5NoAuth, Hex("05000001c0a8")},
                  true,
                  20001,
                  "connection closed by socks server"},
        ReplyCase{
            "ClosedBeforeAnyAnswer", "5", false, {QByteArray()}, true, 20001, "connection closed by socks server"},
        ReplyCase{"ClosedDuringAuthentication",
                  "5",
                  true,
                  {Hex("0502"), QByteArray()},
                  true,
                  20001,
                  "connection closed by socks server"}),
    [](const testing::TestParamInfo<ReplyCase>& info) { return info.param.name; });

TEST(CustomSocksWSocket, Socks5WithoutAuthentication_OpensTheTunnelOnceWithTheBoundAddress)
{
    ScriptedConnection connection("5");
    QByteArray data;
    connection.socket.OnDataAvailable = [&](TCustomWSocket* s, quint16) { data += s->ReceiveText(); };
    connection.socket.Connect();
    EXPECT_EQ(connection.NextRequest().toHex(), "050100");
    connection.proxy.Send(Socks5NoAuth);
    // The target travels as a name even when it is a dotted address.
    EXPECT_EQ(connection.NextRequest(), Hex("0501000309") + "127.0.0.1" + Hex("13ae"));
    EXPECT_EQ(connection.socket.SocksPhase(), spRequest);
    connection.proxy.Send(Hex("05000001c0a801021f90"));
    ASSERT_TRUE(waitFor([&] { return connection.socket.SocksPhase() == spData; }));
    connection.proxy.Send("after the reply");
    connection.socket.SendText("to the target");
    ASSERT_TRUE(waitFor([&] { return data == "after the reply"; }));
    EXPECT_EQ(connection.NextRequest(), "to the target");

    EXPECT_EQ(connection.events.lines, (std::vector<std::string>{"socks connected 0", "connected 0"}));
    EXPECT_EQ(connection.socket.SocksBoundAddr(), "192.168.1.2");
    EXPECT_EQ(connection.socket.SocksBoundPort(), "8080");
}

TEST(CustomSocksWSocket, Socks4Requests_CarryTheAddressOrTheNameAndTheUsercode)
{
    const struct
    {
        QByteArray level;
        QByteArray request;
    } rows[] = {
        {"4", Hex("040113ae7f000001") + "bob" + '\0'},
        {"4A", Hex("040113ae00000001") + "bob" + '\0' + "127.0.0.1" + '\0'},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.level.constData());
        ScriptedConnection connection(row.level);
        connection.socket.SetSocksUsercode("bob");
        connection.socket.Connect();
        EXPECT_EQ(connection.NextRequest().toHex(), row.request.toHex());
        connection.proxy.Send(Socks4Granted);
        ASSERT_TRUE(waitFor([&] { return connection.events.lines.size() == 2; }));
        EXPECT_EQ(connection.events.lines, (std::vector<std::string>{"socks connected 0", "connected 0"}));
    }
}

TEST(CustomSocksWSocket, ReplyArrivingOneByteAtATime_IsAssembledBeforeItIsJudged)
{
    ScriptedConnection connection("5");
    connection.socket.Connect();
    connection.Answer({Socks5NoAuth});
    ASSERT_FALSE(connection.NextRequest().isEmpty());
    const QByteArray reply = Hex("050000030b") + "proxy.local" + Hex("0438");
    for (qsizetype i = 0; i < reply.size(); ++i) {
        connection.proxy.Send(reply.mid(i, 1));
        // Two bytes of method reply came before; each byte is read on its own.
        ASSERT_TRUE(waitFor([&] { return connection.socket.ReadCount() == 2 + i + 1; }));
        if (i + 1 < reply.size()) {
            EXPECT_EQ(connection.events.lines.size(), 1u) << "judged after " << i + 1 << " bytes";
        }
    }
    ASSERT_TRUE(waitFor([&] { return connection.events.lines.size() == 2; }));
    EXPECT_EQ(connection.events.lines.back(), "connected 0");
    EXPECT_EQ(connection.socket.SocksBoundAddr(), "proxy.local");
    EXPECT_EQ(connection.socket.SocksBoundPort(), "1080");
}

TEST(CustomSocksWSocket, DataInTheSameReadAsTheReply_ComesFirstAndWhole)
{
    // 200 bytes fit in the read that takes the reply, so nothing is left for a new read notification;
    // of 1000, the rest waits in the network behind them.
    for (const int size : {200, 1000}) {
        SCOPED_TRACE(size);
        ScriptedConnection connection("5");
        QByteArray data;
        // Small reads, so that the data behind the reply takes many of them.
        connection.socket.OnDataAvailable = [&](TCustomWSocket* s, quint16) {
            char buffer[7];
            const int count = s->Receive(buffer, sizeof buffer);
            if (count > 0)
                data.append(buffer, count);
        };
        connection.socket.Connect();
        connection.Answer({Socks5NoAuth});
        ASSERT_FALSE(connection.NextRequest().isEmpty());
        QByteArray payload;
        for (int i = 0; i < size; ++i)
            payload.append(static_cast<char>('a' + i % 26));
        connection.proxy.Send(Socks5Reply(0) + payload);
        ASSERT_TRUE(waitFor([&] { return data.size() == payload.size(); })) << data.size();
        connection.proxy.Send("later");
        ASSERT_TRUE(waitFor([&] { return data.size() == payload.size() + 5; }));
        EXPECT_EQ(data, payload + "later");
        EXPECT_EQ(connection.events.lines, (std::vector<std::string>{"socks connected 0", "connected 0"}));
    }
}

TEST(CustomSocksWSocket, AuthenticationStates_FollowTheProxyChoiceAndAnswer)
{
    const struct
    {
        const char* name;
        std::vector<QByteArray> answers;
        bool sendsCredentials;
        std::vector<std::string> lines;
    } rows[] = {
        {"not required",
         {Socks5NoAuth, Socks5Reply(0)},
         false,
         {"socks connected 0", "auth not required", "connected 0"}},
        {"accepted",
         {Hex("0502"), Hex("0100"), Socks5Reply(0)},
         true,
         {"socks connected 0", "auth start", "auth success", "connected 0"}},
        {"refused",
         {Hex("0502"), Hex("0101")},
         true,
         {"socks connected 0", "auth start", "auth failure", "socks error 20015 socks authentication failed",
          "connected 20015", "closed 20015"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedConnection connection("5", true);
        connection.socket.Connect();
        connection.Answer(row.answers);
        ASSERT_TRUE(waitFor([&] { return connection.events.lines.size() == row.lines.size(); }));
        EXPECT_EQ(connection.events.lines, row.lines);
        const QByteArray greeting = Hex("050102");
        const QByteArray credentials = Hex("0105") + "alice" + '\x06' + "s3cret";
        EXPECT_TRUE(connection.proxy.Received().startsWith(greeting));
        EXPECT_EQ(connection.proxy.Received().mid(greeting.size()).startsWith(credentials), row.sendsCredentials);
    }
}

TEST(CustomSocksWSocket, CredentialsOrNameBeyondTheRequestLimit_AreRefusedUnsent)
{
    const struct
    {
        const char* name;
        QByteArray level;
        int usercode;
        int password;
        int addr;
        qsizetype requestSize;
    } rows[] = {
        {"socks5 name at the limit", "5", 0, 0, 121, 128},      {"socks5 name over", "5", 0, 0, 122, 0},
        {"credentials at the limit", "5", 100, 25, 0, 128},     {"credentials over", "5", 100, 26, 0, 0},
        {"socks4 usercode at the limit", "4", 119, 0, 0, 128},  {"socks4 usercode over", "4", 120, 0, 0, 0},
        {"socks4a usercode and name over", "4A", 60, 0, 59, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedConnection connection(row.level, row.password > 0);
        connection.socket.SetSocksUsercode(QByteArray(row.usercode, 'u'));
        connection.socket.SetSocksPassword(QByteArray(row.password, 'p'));
        if (row.addr > 0)
            connection.socket.SetAddr(QByteArray(row.addr, 'n'));
        connection.socket.Connect();
        const bool socks5 = row.level == "5";
        if (socks5)
            connection.Answer({row.password > 0 ? Hex("0502") : Socks5NoAuth});
        if (row.requestSize > 0) {
            EXPECT_EQ(connection.NextRequest().size(), row.requestSize);
            continue;
        }
        ASSERT_TRUE(waitFor([&] { return connection.events.Closed(); }));
        EXPECT_EQ(connection.proxy.Received().size(), socks5 ? 3 : 0);
        EXPECT_EQ(connection.events.lines.back(), "closed 20018");
        EXPECT_TRUE(connection.events.lines.at(connection.events.lines.size() - 3).starts_with("socks error 20018 "));
    }
}

TEST(CustomSocksWSocket, OwnerClosingOnTheSocksError_EndsTheNegotiationThere)
{
    ScriptedConnection connection("5");
    const TSocksErrorEvent record = connection.socket.OnSocksError;
    connection.socket.OnSocksError = [&](TCustomWSocket* s, int error, const QByteArray& msg) {
        record(s, error, msg);
        s->Close();
    };
    connection.socket.Connect();
    connection.Answer({Socks5NoAuth, Socks5Reply(1)});
    ASSERT_TRUE(waitFor([&] { return connection.events.Closed(); }));
    EXPECT_EQ(
        connection.events.lines,
        (std::vector<std::string>{"socks connected 0", "socks error 20004 general SOCKS server failure", "closed 0"}));
}

TEST(CustomSocksWSocket, Socks4TargetThatDoesNotResolve_IsReportedAndClosedWithoutAConnect)
{
    ScriptedConnection connection("4");
    // Longer than any host name: refused by the resolution itself, without asking a resolver.
    const QByteArray name(257, 'n');
    connection.socket.SetAddr(name);
    connection.socket.Connect();
    ASSERT_TRUE(waitFor([&] { return connection.events.Closed(); }));
    EXPECT_EQ(connection.events.lines,
              (std::vector<std::string>{"socks connected 0",
                                        "socks error 20017 ESocketException WSocketResolveHost: '" +
                                            name.toStdString() + "' Invalid Hostname.",
                                        "closed 20017"}));
    EXPECT_TRUE(connection.proxy.Received().isEmpty());
}

TEST(CustomSocksWSocket, SocksSettings_AreCheckedAndForgottenAtTheClose)
{
    SocksSocket socket;
    socket.SetSocksLevel("4a");
    EXPECT_EQ(socket.SocksLevel(), "4A");
    EXPECT_EQ(RaisedSocketMessage([&] { socket.SetSocksLevel("6"); }), "Invalid socks level. Must be 4, 4A or 5.");
    EXPECT_EQ(socket.SocksLevel(), "4A");
    socket.SetSocksServer("  proxy.example \t");
    socket.SetSocksPort(" 1080 ");
    EXPECT_EQ(socket.SocksServer(), "proxy.example");
    EXPECT_EQ(socket.SocksPort(), "1080");

    ScriptedConnection connection("5");
    connection.socket.SetSocksUsercode("carol");
    connection.socket.Connect();
    ASSERT_FALSE(connection.NextRequest().isEmpty());
    SocksSocket& open = connection.socket;
    EXPECT_EQ(RaisedSocketMessage([&] { open.SetSocksLevel("4"); }), "Can't change socks level if not closed");
    EXPECT_EQ(RaisedSocketMessage([&] { open.SetSocksPort("1"); }), "Can't change socks port if not closed");
    EXPECT_EQ(RaisedSocketMessage([&] { open.SetSocksServer("x"); }), "Can't change socks server if not closed");
    EXPECT_EQ(open.SocksServer(), "127.0.0.1");

    open.Close();
    EXPECT_EQ(open.SocksServer(), "");
    EXPECT_EQ(open.SocksPort(), "");
    EXPECT_EQ(open.SocksLevel(), "5");
    EXPECT_EQ(open.SocksUsercode(), "carol");
}

TEST(CustomSocksWSocket, UdpAndListeningThroughAProxy_AreRefused)
{
    SocksSocket socket;
    ThroughProxy(socket, TargetPort, "1080", "5");
    socket.SetProto("udp");
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Connect(); }), "tcp is the only protocol supported thru socks server");
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Listen(); }), "Listening is not supported thru socks server");
    EXPECT_EQ(socket.State(), wsClosed);
}

TEST(CustomSocksWSocket, RefusedProxy_ReportsTheConnectErrorToBothEvents)
{
    RefusingPort refusing;
    SocksSocket socket;
    SocksEvents events;
    events.Attach(socket);
    ThroughProxy(socket, TargetPort, QByteArray::number(refusing.Port()), "5");
    socket.Connect();
    ASSERT_TRUE(waitFor([&] { return events.Closed(); }));
    EXPECT_EQ(events.lines, (std::vector<std::string>{"socks connected 10061", "connected 10061", "closed 0"}));
}
