#include "net/wsocket.h"
#include "plainpeer.h"
#include "sockettesthelpers.h"
#include "waitfor.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>

using testsupport::spinEventLoop;
using testsupport::waitFor;

namespace {

// Returns the first recv result once the client is gone: 0 for an orderly close, -errno for a reset.
int WaitForEnd(int fd)
{
    char sink[4096];
    for (;;) {
        const ssize_t got = ::recv(fd, sink, sizeof sink, 0);
        if (got == 0)
            return 0;
        if (got < 0)
            return -errno;
    }
}

void WaitFor(const std::atomic<bool>& flag)
{
    for (int waited = 0; waited < 10000 && !flag.load(); ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void connectTo(TWSocket& socket, const PlainPeer& peer)
{
    Target(socket, peer.Port());
    socket.Connect();
    ASSERT_TRUE(waitFor([&] { return socket.State() == wsConnected; }));
}

int IntOption(TSocket handle, int level, int option)
{
    int value = -1;
    socklen_t length = sizeof value;
    ::getsockopt(handle, level, option, &value, &length);
    return value;
}

} // namespace

TEST(WSocketOperations, PausedSocket_HoldsNotificationsUntilResumed)
{
    std::atomic<bool> go{false};
    PlainPeer peer([&](int fd) {
        WaitFor(go);
        SendAll(fd, "abc", 3);
        WaitForEnd(fd);
    });
    TWSocket socket;
    QByteArray received;
    socket.OnDataAvailable = [&](TCustomWSocket* s, quint16) { received += s->ReceiveText(); };
    connectTo(socket, peer);
    EXPECT_EQ(socket.PauseEvents(), 0);
    go = true;
    ASSERT_TRUE(waitFor([&] { return socket.RcvdCount() == 3; }));
    spinEventLoop(100);
    EXPECT_TRUE(received.isEmpty());
    EXPECT_EQ(socket.ResumeEvents(), 0);
    ASSERT_TRUE(waitFor([&] { return received == "abc"; }));
}

TEST(WSocketOperations, Abort_ClosesGracefullyWithoutLingerAndReportsOnce)
{
    std::atomic<int> peerEnd{1};
    PlainPeer peer([&](int fd) { peerEnd = WaitForEnd(fd); });
    TWSocket socket;
    int closed = 0;
    socket.OnSessionClosed = [&](TCustomWSocket*, quint16 error) {
        EXPECT_EQ(error, 0);
        ++closed;
    };
    connectTo(socket, peer);
    socket.SendText("queued");
    socket.Abort();
    EXPECT_EQ(socket.State(), wsClosed);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(socket.LingerOnOff(), wsLingerOn);
    ASSERT_TRUE(waitFor([&] { return peer.Finished(); }));
    EXPECT_EQ(peerEnd.load(), 0);
}

TEST(WSocketOperations, CloseLater_ClosesFromTheLoop)
{
    PlainPeer peer(WaitForEnd);
    TWSocket socket;
    connectTo(socket, peer);
    socket.CloseLater();
    EXPECT_EQ(socket.State(), wsConnected);
    ASSERT_TRUE(waitFor([&] { return socket.State() == wsClosed; }));
}

TEST(WSocketOperations, Flush_ReturnsOnceEverythingLeft)
{
    std::atomic<size_t> peerCount{0};
    PlainPeer peer([&](int fd) {
        std::vector<char> buffer(size_t{4} << 20);
        peerCount = ReadFully(fd, buffer.data(), buffer.size());
        WaitForEnd(fd);
    });
    TWSocket socket;
    connectTo(socket, peer);
    const std::vector<char> data(size_t{4} << 20, 'f');
    socket.Send(data.data(), static_cast<int>(data.size()));
    socket.Flush();
    ASSERT_TRUE(waitFor([&] { return peerCount.load() == data.size(); }));
    socket.Close();
}

// A peer that stops reading must not make the socket hold its output without end: past the bound, Send
// refuses and queues nothing, and the connection stays as it was.
TEST(WSocketOperations, SendPastTheBoundForAPeerThatNeverReads_IsRefusedWith10055)
{
    std::atomic<bool> done{false};
    PlainPeer peer([&](int) { WaitFor(done); });
    TWSocket socket;
    connectTo(socket, peer);
    const std::vector<char> chunk(size_t{1} << 20, 'q');
    // The bound plus more than the kernels of both ends hold for one loopback connection.
    constexpr int MaxChunks = 128;
    QByteArray refusal;
    int accepted = 0;
    while (refusal.isEmpty() && accepted < MaxChunks) {
        refusal = RaisedSocketMessage([&] {
            if (socket.Send(chunk.data(), static_cast<int>(chunk.size())) == static_cast<int>(chunk.size()))
                ++accepted;
        });
    }
    EXPECT_EQ(refusal, QByteArray("Error 10055 in function Send\r\nNo buffer space available"));
    EXPECT_EQ(socket.LastError(), 10055);
    EXPECT_EQ(socket.State(), wsConnected);
    EXPECT_GE(accepted, static_cast<int>(TCustomWSocket::DefaultSendBufferLimit >> 20));
    EXPECT_LE(socket.BufferedSendCount(), TCustomWSocket::DefaultSendBufferLimit);
    done = true;
    socket.Abort();
}

TEST(WSocketOperations, ConnectOptions_NoDelayKeepAliveAndLinger)
{
    PlainPeer peer(WaitForEnd);
    TWSocket socket;
    socket.SetComponentOptions(wsoTcpNoDelay);
    connectTo(socket, peer);
    EXPECT_EQ(IntOption(socket.HSocket(), IPPROTO_TCP, TCP_NODELAY), 1);
    EXPECT_EQ(IntOption(socket.HSocket(), SOL_SOCKET, SO_KEEPALIVE), 1);
    linger option{};
    socklen_t length = sizeof option;
    ::getsockopt(socket.HSocket(), SOL_SOCKET, SO_LINGER, &option, &length);
    EXPECT_EQ(option.l_onoff, 1);
    EXPECT_EQ(option.l_linger, 0);
}

TEST(WSocketOperations, LocalAddress_IsBoundAndTheBoundPortReadBack)
{
    PlainPeer peer(WaitForEnd);
    TWSocket socket;
    socket.SetLocalAddr("127.0.0.1");
    connectTo(socket, peer);
    EXPECT_NE(socket.LocalPort(), QByteArray("0"));
    EXPECT_EQ(socket.LocalPort(), socket.BoundPort());
    EXPECT_EQ(socket.BoundAddr(), QByteArray("127.0.0.1"));
}

TEST(WSocketOperations, ConnectTwice_IsRefusedAsInUse)
{
    PlainPeer peer(WaitForEnd);
    TWSocket socket;
    connectTo(socket, peer);
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Connect(); }), QByteArray("Connect: Socket already in use"));
    EXPECT_EQ(socket.State(), wsConnected);
}

TEST(WSocketOperations, ClosingFromOnChangeStateDuringConnect_IsReported)
{
    PlainPeer peer(WaitForEnd);
    TWSocket socket;
    socket.OnChangeState = [](TCustomWSocket* s, TSocketState, TSocketState newState) {
        if (newState == wsOpened)
            s->Close();
    };
    Target(socket, peer.Port());
    EXPECT_EQ(RaisedSocketMessage([&] { socket.Connect(); }),
              QByteArray("Error 10022 in function Connect (Invalid operation in OnChangeState)\r\nInvalid argument"));
    EXPECT_EQ(socket.State(), wsClosed);
}

TEST(WSocketOperations, ConnectionLossWhileSending_ClosesWithTheCodeInsteadOfReporting)
{
    std::atomic<bool> go{false};
    PlainPeer peer([&](int fd) {
        WaitFor(go);
        // Closing with a zero linger resets the connection.
        const linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    });
    TWSocket socket;
    std::vector<int> closedCodes;
    int errors = 0;
    socket.OnSessionClosed = [&](TCustomWSocket*, quint16 error) { closedCodes.push_back(error); };
    socket.OnError = [&](TCustomWSocket*) { ++errors; };
    connectTo(socket, peer);
    // Paused, the socket cannot learn of the reset from a read notification:
    // the loss is met by the send itself.
    socket.PauseEvents();
    go = true;
    ASSERT_TRUE(waitFor([&] { return peer.Finished(); }));
    const std::vector<char> data(65536, 'x');
    int sends = 0;
    while (socket.State() == wsConnected && sends < 50) {
        socket.Send(data.data(), static_cast<int>(data.size()));
        ++sends;
    }
    EXPECT_EQ(socket.State(), wsClosed);
    ASSERT_EQ(closedCodes.size(), 1u);
    EXPECT_TRUE(closedCodes[0] == 10054 || closedCodes[0] == 10053) << closedCodes[0];
    EXPECT_EQ(errors, 0);
}

TEST(WSocketOperations, PeerResetWhileIdle_ClosesWithTheResetCode)
{
    std::atomic<bool> go{false};
    PlainPeer peer([&](int fd) {
        WaitFor(go);
        const linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    });
    TWSocket socket;
    std::vector<int> closedCodes;
    socket.OnDataAvailable = [](TCustomWSocket* s, quint16) {
        char sink[256];
        s->Receive(sink, sizeof sink);
    };
    socket.OnSessionClosed = [&](TCustomWSocket*, quint16 error) { closedCodes.push_back(error); };
    connectTo(socket, peer);
    go = true;
    ASSERT_TRUE(waitFor([&] { return socket.State() == wsClosed; }));
    EXPECT_EQ(closedCodes, std::vector<int>{10054});
}

TEST(WSocketOperations, ReceiveTextWithNothingWaiting_ReturnsEmptyWithWouldBlock)
{
    PlainPeer peer(WaitForEnd);
    TWSocket socket;
    connectTo(socket, peer);
    EXPECT_EQ(socket.ReceiveText(), QByteArray());
    EXPECT_EQ(socket.LastError(), 10035);
}

TEST(WSocketOperations, HandlerThatDoesNotRead_IsNotOfferedTheSameBytesAgain)
{
    std::atomic<bool> more{false};
    PlainPeer peer([&](int fd) {
        SendAll(fd, "first", 5);
        WaitFor(more);
        SendAll(fd, "second", 6);
        WaitForEnd(fd);
    });
    TWSocket socket;
    int calls = 0;
    socket.OnDataAvailable = [&](TCustomWSocket*, quint16) { ++calls; };
    connectTo(socket, peer);
    ASSERT_TRUE(waitFor([&] { return calls == 1; }));
    spinEventLoop(200);
    EXPECT_EQ(calls, 1);
    // Reading, as with Winsock, re-enables the notification.
    EXPECT_EQ(socket.ReceiveText(), QByteArray("first"));
    more = true;
    ASSERT_TRUE(waitFor([&] { return calls == 2; }));
    EXPECT_EQ(socket.ReceiveText(), QByteArray("second"));
}

TEST(WSocketOperations, IdleConnection_GetsOneWriteNotificationOnly)
{
    PlainPeer peer(WaitForEnd);
    TWSocket socket;
    int dataSent = 0;
    socket.OnDataSent = [&](TCustomWSocket*, quint16) { ++dataSent; };
    connectTo(socket, peer);
    ASSERT_TRUE(waitFor([&] { return dataSent == 1; }));
    spinEventLoop(200);
    EXPECT_EQ(dataSent, 1);
}
