#include "net/wsocket.h"
#include "plainpeer.h"
#include "sockettesthelpers.h"
#include "waitfor.h"

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>

using testsupport::spinEventLoop;
using testsupport::waitFor;

namespace {

// Keeps the connection open until the client closes it.
void WaitForClientClose(int fd)
{
    char sink[4096];
    while (::recv(fd, sink, sizeof sink, 0) > 0) {
    }
}

// Connects the socket to the peer and waits until it is connected.
void connectTo(TWSocket& socket, const PlainPeer& peer)
{
    Target(socket, peer.Port());
    socket.Connect();
    ASSERT_TRUE(waitFor([&] { return socket.State() == wsConnected; }));
}

} // namespace

TEST(WSocketConnect, RefusedConnect_ReportsErrorThenClosed)
{
    RefusingPort refusing;
    EventRecorder recorder;
    TWSocket socket;
    recorder.Attach(socket);
    Target(socket, refusing.Port());
    socket.Connect();
    EXPECT_EQ(socket.State(), wsConnecting);
    ASSERT_TRUE(waitFor([&] { return socket.State() == wsClosed; }));
    spinEventLoop(50);
    const std::vector<std::string> expected = {"wsClosed->wsOpened",        "wsOpened->wsConnecting",
                                               "wsConnecting->wsConnected", "connected 10061",
                                               "wsConnected->wsClosed",     "closed 0"};
    EXPECT_EQ(recorder.events, expected);
}

TEST(WSocketConnect, SendOnClosedSocket_RaisesNotConnected)
{
    TWSocket socket;
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Send("x", 1); }),
              QByteArray("Error 10057 in function Send\r\nSocket is not connected"));
    EXPECT_EQ(socket.LastError(), 10057);
}

TEST(WSocketConnect, SendOnClosedSocketWithOnError_ReturnsMinusOneAndCallsHandler)
{
    TWSocket socket;
    int errors = 0;
    socket.OnError = [&](TCustomWSocket*) { ++errors; };
    EXPECT_EQ(socket.Send("x", 1), -1);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(socket.LastError(), 10057);
}

TEST(WSocketConnect, SendWhileConnecting_ClosesWith10057ThenReports)
{
    PlainPeer peer(WaitForClientClose);
    EventRecorder recorder;
    TWSocket socket;
    recorder.Attach(socket);
    Target(socket, peer.Port());
    socket.Connect();
    ASSERT_EQ(socket.State(), wsConnecting);
    EXPECT_EQ(RaisedSocketMessage([&] { socket.SendText("early"); }),
              QByteArray("Error 10057 in function Send\r\nSocket is not connected"));
    EXPECT_EQ(socket.State(), wsClosed);
    const std::vector<std::string> expected = {"wsClosed->wsOpened", "wsOpened->wsConnecting", "closed 10057",
                                               "wsConnecting->wsClosed"};
    EXPECT_EQ(recorder.events, expected);
    spinEventLoop(50);
    EXPECT_EQ(recorder.events.size(), expected.size());
}

TEST(WSocketConnect, PeerClose_DeliversRemainingDataThenOneSessionClosed)
{
    std::atomic<bool> go{false};
    PlainPeer peer([&](int fd) {
        for (int waited = 0; waited < 10000 && !go.load(); ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        SendAll(fd, "hello world", 11);
    });
    EventRecorder recorder;
    TWSocket socket;
    QByteArray received;
    socket.OnDataAvailable = [&](TCustomWSocket* s, quint16) { received += s->ReceiveText(); };
    connectTo(socket, peer);
    recorder.Attach(socket);
    go = true;
    ASSERT_TRUE(waitFor([&] { return socket.State() == wsClosed; }));
    EXPECT_EQ(received, QByteArray("hello world"));
    const std::vector<std::string> expected = {"closed 0", "wsConnected->wsClosed"};
    EXPECT_EQ(recorder.events, expected);
    socket.Close();
    spinEventLoop(50);
    EXPECT_EQ(recorder.events, expected);
}

TEST(WSocketConnect, OwnClose_FiresSessionClosedOnceAndResetsTargets)
{
    PlainPeer peer(WaitForClientClose);
    EventRecorder recorder;
    TWSocket socket;
    connectTo(socket, peer);
    recorder.Attach(socket);
    socket.Close();
    socket.Close();
    spinEventLoop(50);
    const std::vector<std::string> expected = {"wsConnected->wsClosed", "closed 0"};
    EXPECT_EQ(recorder.events, expected);
    EXPECT_EQ(socket.Port(), QByteArray::number(peer.Port()));
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Connect(); }), QByteArray("Connect: No Port Specified"));
}

TEST(WSocketConnect, MissingTargets_AreRefusedInOrder)
{
    TWSocket socket;
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Connect(); }), QByteArray("Connect: No Port Specified"));
    socket.SetPort("23");
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Connect(); }), QByteArray("Connect: No IP Address Specified"));
    socket.SetAddr("127.0.0.1");
    socket.SetProto("  ");
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Connect(); }), QByteArray("Connect: No Protocol Specified"));
    socket.SetProto("nosuchproto");
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Connect(); }),
              QByteArray("connect: WSocketResolveProto: Cannot convert protocol 'nosuchproto', Error #11004"));
    EXPECT_EQ(socket.State(), wsClosed);
}

TEST(WSocketProperties, SettersFollowTheClosedStateRule)
{
    PlainPeer peer(WaitForClientClose);
    TWSocket socket;
    connectTo(socket, peer);
    const QByteArray port = QByteArray::number(peer.Port());
    EXPECT_EQ(RaisedSocketMessage([&] { socket.SetPort(port); }), QByteArray());
    EXPECT_EQ(RaisedSocketMessage([&] { socket.SetPort("1"); }), QByteArray("Cannot change Port if not closed"));
    EXPECT_EQ(RaisedSocketMessage([&] { socket.SetAddr("127.0.0.1"); }), QByteArray());
    EXPECT_EQ(RaisedSocketMessage([&] { socket.SetAddr(" 127.0.0.1"); }),
              QByteArray("Cannot change Addr if not closed"));
    EXPECT_EQ(RaisedSocketMessage([&] { socket.SetProto("udp"); }), QByteArray("Cannot change Proto if not closed"));
    EXPECT_EQ(RaisedSocketMessage([&] { socket.SetLocalPort("0"); }),
              QByteArray("Cannot change LocalPort if not closed"));
    EXPECT_EQ(RaisedSocketMessage([&] { socket.SetLocalAddr("0.0.0.0"); }),
              QByteArray("Cannot change LocalAddr if not closed"));
    EXPECT_EQ(socket.Port(), port);
    EXPECT_EQ(socket.PeerAddr(), QByteArray("127.0.0.1"));
    EXPECT_EQ(socket.PeerPort(), port);
}

TEST(WSocketProperties, ValuesAreTrimmedAndDefaulted)
{
    TWSocket socket;
    socket.SetAddr("  host.example  ");
    EXPECT_EQ(socket.Addr(), QByteArray("host.example"));
    socket.SetLocalAddr("");
    EXPECT_EQ(socket.LocalAddr(), QByteArray("0.0.0.0"));
    socket.SetLocalPort(" 0 ");
    EXPECT_EQ(socket.LocalPort(), QByteArray(" 0 "));
    EXPECT_EQ(socket.Proto(), QByteArray("tcp"));
    EXPECT_EQ(socket.PeerAddr(), QByteArray("error"));
    EXPECT_EQ(socket.BoundPort(), QByteArray("error"));
    EXPECT_EQ(RaisedSocketMessage([&] { socket.SetSendFlags(static_cast<TSocketSendFlags>(7)); }),
              QByteArray("Invalid SendFlags"));
    socket.SetSendFlags(wsSendUrgent);
    EXPECT_EQ(socket.SendFlags(), wsSendUrgent);
}

TEST(WSocketSend, FourThousandBytes_LeaveAsThreeBlocksThenOneDataSentFromTheLoop)
{
    std::vector<char> peerReceived(4000);
    size_t peerCount = 0;
    PlainPeer peer([&](int fd) {
        peerCount = ReadFully(fd, peerReceived.data(), peerReceived.size());
        WaitForClientClose(fd);
    });
    TWSocket socket;
    int dataSent = 0;
    bool inSend = false;
    bool firedInsideSend = false;
    std::vector<int> sendSizes;
    socket.OnDataSent = [&](TCustomWSocket*, quint16) {
        firedInsideSend = firedInsideSend || inSend;
        ++dataSent;
    };
    socket.OnSendData = [&](TCustomWSocket*, int bytes) { sendSizes.push_back(bytes); };
    connectTo(socket, peer);
    // The first write notification after the connection opens finds nothing queued.
    ASSERT_TRUE(waitFor([&] { return dataSent == 1; }));
    std::vector<char> data(4000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    inSend = true;
    EXPECT_EQ(socket.Send(data.data(), 4000), 4000);
    inSend = false;
    EXPECT_EQ(sendSizes, (std::vector<int>{1460, 1460, 1080}));
    EXPECT_EQ(dataSent, 1);
    ASSERT_TRUE(waitFor([&] { return dataSent == 2; }));
    EXPECT_EQ(socket.SendText(QByteArray()), 0);
    spinEventLoop(100);
    EXPECT_EQ(dataSent, 2);
    EXPECT_FALSE(firedInsideSend);
    socket.Close();
    ASSERT_TRUE(waitFor([&] { return peer.Finished(); }));
    EXPECT_EQ(peerCount, 4000u);
    EXPECT_EQ(peerReceived, data);
}

TEST(WSocketReceive, WithoutHandler_DataIsReadAndDiscarded)
{
    std::atomic<bool> sent{false};
    PlainPeer peer([&](int fd) {
        const std::vector<char> data(5000, 'z');
        SendAll(fd, data.data(), data.size());
        sent = true;
        WaitForClientClose(fd);
    });
    TWSocket socket;
    connectTo(socket, peer);
    // Once the peer's send returned, loopback holds the bytes in our receive queue.
    ASSERT_TRUE(waitFor([&] { return sent.load() && socket.RcvdCount() == 0; }));
    EXPECT_EQ(socket.State(), wsConnected);
    EXPECT_EQ(socket.ReadCount(), 0);
}

TEST(WSocketReceive, NoReceiveLoop_FiresOncePerNotification)
{
    PlainPeer peer([](int fd) {
        SendAll(fd, "0123456789", 10);
        WaitForClientClose(fd);
    });
    TWSocket socket;
    socket.SetComponentOptions(wsoNoReceiveLoop);
    int calls = 0;
    bool loopRan = false;
    bool loopRanBetweenCalls = true;
    socket.OnDataAvailable = [&](TCustomWSocket* s, quint16) {
        char byte;
        if (calls > 0)
            loopRanBetweenCalls = loopRanBetweenCalls && loopRan;
        loopRan = false;
        QMetaObject::invokeMethod(
            qApp, [&] { loopRan = true; }, Qt::QueuedConnection);
        s->Receive(&byte, 1);
        ++calls;
    };
    connectTo(socket, peer);
    ASSERT_TRUE(waitFor([&] { return calls == 10; }));
    EXPECT_TRUE(loopRanBetweenCalls);
}
