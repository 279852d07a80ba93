#include "net/wsocket.h"
#include "sockettesthelpers.h"
#include "waitfor.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>

using testsupport::spinEventLoop;
using testsupport::waitFor;

namespace {

void ListenOn(TCustomWSocket& socket, const QByteArray& proto, const QByteArray& port = QByteArrayLiteral("0"))
{
    socket.SetProto(proto);
    socket.SetAddr("127.0.0.1");
    socket.SetPort(port);
    socket.Listen();
}

int IntOption(TSocket handle, int level, int option)
{
    int value = -1;
    socklen_t length = sizeof value;
    ::getsockopt(handle, level, option, &value, &length);
    return value;
}

} // namespace

TEST(WSocketServer, TcpListenAcceptDup_CarriesDataBothWays)
{
    EventRecorder listenerEvents;
    TWSocket listener;
    listenerEvents.Attach(listener);
    std::unique_ptr<TWSocket> server;
    QByteArray serverReceived;
    int serverClosed = 0;
    listener.OnSessionAvailable = [&](TCustomWSocket* l, quint16 error) {
        EXPECT_EQ(error, 0);
        server = std::make_unique<TWSocket>();
        server->OnDataAvailable = [&](TCustomWSocket* s, quint16) {
            serverReceived += s->ReceiveText();
            if (serverReceived == "ping")
                s->SendText("pong");
        };
        server->OnSessionClosed = [&](TCustomWSocket*, quint16) { ++serverClosed; };
        server->Dup(l->Accept());
    };
    ListenOn(listener, "tcp");
    const std::vector<std::string> listening = {"wsClosed->wsBound", "wsBound->wsListening"};
    EXPECT_EQ(listenerEvents.events, listening);
    ASSERT_EQ(listener.State(), wsListening);
    const QByteArray port = listener.BoundPort();
    ASSERT_NE(port, QByteArray("error"));
    EXPECT_NE(port, QByteArray("0"));
    EXPECT_EQ(listener.BoundAddr(), QByteArray("127.0.0.1"));

    TWSocket client;
    QByteArray clientReceived;
    client.OnSessionConnected = [](TCustomWSocket* s, quint16 error) {
        if (error == 0)
            s->SendText("ping");
    };
    client.OnDataAvailable = [&](TCustomWSocket* s, quint16) { clientReceived += s->ReceiveText(); };
    Target(client, port.toUShort());
    client.Connect();
    ASSERT_TRUE(waitFor([&] { return clientReceived == "pong"; }));
    EXPECT_EQ(serverReceived, QByteArray("ping"));
    ASSERT_TRUE(server);
    EXPECT_EQ(server->State(), wsConnected);
    EXPECT_EQ(server->PeerAddr(), QByteArray("127.0.0.1"));
    EXPECT_EQ(server->PeerPort(), client.BoundPort());
    EXPECT_EQ(listenerEvents.events, listening);

    client.Close();
    ASSERT_TRUE(waitFor([&] { return serverClosed == 1 && server->State() == wsClosed; }));
    EXPECT_EQ(listener.State(), wsListening);
}

TEST(WSocketServer, SeveralClients_AreEachAccepted)
{
    TWSocket listener;
    std::vector<std::unique_ptr<TWSocket>> servers;
    listener.OnSessionAvailable = [&](TCustomWSocket* l, quint16) {
        servers.push_back(std::make_unique<TWSocket>());
        servers.back()->Dup(l->Accept());
    };
    ListenOn(listener, "tcp");
    std::vector<std::unique_ptr<TWSocket>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<TWSocket>());
        Target(*clients.back(), listener.BoundPort().toUShort());
        clients.back()->Connect();
    }
    ASSERT_TRUE(waitFor([&] { return servers.size() == 3; }));
    for (const auto& server : servers)
        EXPECT_EQ(server->State(), wsConnected);
}

TEST(WSocketServer, AcceptOnANonListeningSocket_Reports10022)
{
    TWSocket socket;
    TSocket handle = 0;
    EXPECT_EQ(RaisedSocketMessage([&] { handle = socket.Accept(); }),
              QByteArray("Error 10022 in function not a listening socket\r\nInvalid argument"));
    int errors = 0;
    socket.OnError = [&](TCustomWSocket*) { ++errors; };
    EXPECT_EQ(socket.Accept(), INVALID_SOCKET);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(socket.LastError(), 10022);
}

TEST(WSocketServer, DupOfAnInvalidHandle_Reports10022)
{
    TWSocket socket;
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Dup(0); }),
              QByteArray("Error 10022 in function Dup\r\nInvalid argument"));
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Dup(INVALID_SOCKET); }),
              QByteArray("Error 10022 in function Dup\r\nInvalid argument"));
    EXPECT_EQ(socket.State(), wsClosed);
}

TEST(WSocketServer, ListenWithoutTargets_IsRefused)
{
    TWSocket socket;
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Listen(); }),
              QByteArray("Error 10022 in function listen: port not assigned\r\nInvalid argument"));
    socket.SetPort("0");
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Listen(); }),
              QByteArray("Error 10022 in function listen: address not assigned\r\nInvalid argument"));
    socket.SetAddr("127.0.0.1");
    socket.SetProto("nosuchproto");
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Listen(); }),
              QByteArray("listen: WSocketResolveProto: Cannot convert protocol 'nosuchproto', Error #11004"));
}

TEST(WSocketServer, ListenOnAPortInUse_ReportsBindAndLeavesNoHandle)
{
    TWSocket first;
    ListenOn(first, "tcp");
    EventRecorder events;
    TWSocket second;
    events.Attach(second);
    EXPECT_EQ(RaisedSocketMessage([&] { ListenOn(second, "tcp", first.BoundPort()); }),
              QByteArray("Error 10048 in function Bind\r\nAddress already in use"));
    EXPECT_EQ(second.State(), wsClosed);
    EXPECT_EQ(second.HSocket(), INVALID_SOCKET);
    EXPECT_TRUE(events.events.empty());
}

TEST(WSocketServer, UdpListen_ChangesStateThreeTimesThenConnected)
{
    EventRecorder events;
    TWSocket receiver;
    events.Attach(receiver);
    ListenOn(receiver, "udp");
    const std::vector<std::string> expected = {"wsClosed->wsBound", "wsBound->wsListening", "wsListening->wsConnected",
                                               "connected 0"};
    EXPECT_EQ(events.events, expected);
    EXPECT_EQ(receiver.State(), wsConnected);
    EXPECT_NE(receiver.BoundPort(), QByteArray("error"));
}

TEST(WSocketServer, UdpConnectSends_UdpListenReceivesAndAnswersWithSendTo)
{
    TWSocket receiver;
    QByteArray received;
    sockaddr_in source{};
    receiver.OnDataAvailable = [&](TCustomWSocket* s, quint16) {
        char buffer[256];
        int length = sizeof source;
        const int count = s->ReceiveFrom(buffer, sizeof buffer, source, length);
        if (count > 0)
            received = QByteArray(buffer, count);
    };
    ListenOn(receiver, "udp");

    EventRecorder events;
    TWSocket sender;
    events.Attach(sender);
    QByteArray answer;
    sender.OnDataAvailable = [&](TCustomWSocket* s, quint16) {
        char buffer[256];
        sockaddr_in from{};
        int length = sizeof from;
        const int count = s->ReceiveFrom(buffer, sizeof buffer, from, length);
        if (count > 0)
            answer = QByteArray(buffer, count);
    };
    Target(sender, receiver.BoundPort().toUShort(), "udp");
    sender.Connect();
    const std::vector<std::string> expected = {"wsClosed->wsOpened", "wsOpened->wsConnected", "connected 0"};
    EXPECT_EQ(events.events, expected);
    EXPECT_EQ(sender.SendText("datagram"), 8);
    ASSERT_TRUE(waitFor([&] { return received == "datagram"; }));
    EXPECT_EQ(QByteArray::number(ntohs(source.sin_port)), sender.BoundPort());
    EXPECT_EQ(sender.LocalPort(), sender.BoundPort());

    EXPECT_EQ(receiver.SendTo(source, sizeof source, "reply", 5), 5);
    ASSERT_TRUE(waitFor([&] { return answer == "reply"; }));
    EXPECT_EQ(receiver.ReadCount(), 8);
}

TEST(WSocketServer, UdpConnectToBroadcast_SetsBroadcastOnlyThen)
{
    TWSocket broadcaster;
    Target(broadcaster, 9, "udp");
    broadcaster.SetAddr("255.255.255.255");
    broadcaster.Connect();
    ASSERT_EQ(broadcaster.State(), wsConnected);
    EXPECT_EQ(IntOption(broadcaster.HSocket(), SOL_SOCKET, SO_BROADCAST), 1);

    TWSocket plain;
    Target(plain, 9, "udp");
    plain.Connect();
    ASSERT_EQ(plain.State(), wsConnected);
    EXPECT_EQ(IntOption(plain.HSocket(), SOL_SOCKET, SO_BROADCAST), 0);
}

TEST(WSocketServer, MulticastTtl_IsSetOnlyWhenNotOne)
{
    TWSocket sender;
    sender.SetMultiCast(true);
    sender.SetMultiCastIpTTL(5);
    Target(sender, 9, "udp");
    sender.Connect();
    ASSERT_EQ(sender.State(), wsConnected);
    EXPECT_EQ(IntOption(sender.HSocket(), IPPROTO_IP, IP_MULTICAST_TTL), 5);

    TWSocket defaulted;
    defaulted.SetMultiCast(true);
    Target(defaulted, 9, "udp");
    defaulted.Connect();
    EXPECT_EQ(IntOption(defaulted.HSocket(), IPPROTO_IP, IP_MULTICAST_TTL), 1);
}

TEST(WSocketServer, DupOverAnOpenSocket_ClosesItFirst)
{
    TWSocket listener;
    std::vector<TSocket> accepted;
    listener.OnSessionAvailable = [&](TCustomWSocket* l, quint16) { accepted.push_back(l->Accept()); };
    ListenOn(listener, "tcp");
    TWSocket clientA;
    TWSocket clientB;
    int closedA = 0;
    clientA.OnSessionClosed = [&](TCustomWSocket*, quint16) { ++closedA; };
    for (TWSocket* client : {&clientA, &clientB}) {
        Target(*client, listener.BoundPort().toUShort());
        client->Connect();
    }
    ASSERT_TRUE(waitFor([&] { return accepted.size() == 2; }));
    EventRecorder events;
    TWSocket server;
    events.Attach(server);
    server.Dup(accepted[0]);
    server.Dup(accepted[1]);
    const std::vector<std::string> expected = {"wsClosed->wsConnected", "wsConnected->wsClosed",
                                               "wsClosed->wsConnected"};
    EXPECT_EQ(events.events, expected);
    ASSERT_TRUE(waitFor([&] { return closedA == 1; }));
    EXPECT_EQ(clientB.State(), wsConnected);
    spinEventLoop(20);
}
