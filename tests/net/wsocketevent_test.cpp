#include "net/wsocket.h"
#include "plainpeer.h"
#include "sockettesthelpers.h"
#include "waitfor.h"

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>

using testsupport::spinEventLoop;
using testsupport::waitFor;

namespace {

void WaitForClientClose(int fd)
{
    char sink[4096];
    while (::recv(fd, sink, sizeof sink, 0) > 0) {
    }
}

char Pattern(size_t position)
{
    return static_cast<char>((position * 131) ^ (position >> 9) ^ (position >> 17));
}

} // namespace

TEST(WSocketTransfer, SixtyFourMebibytesEachWayWithASlowPeer_ArriveByteExact)
{
    constexpr size_t total = size_t{64} << 20;
    std::atomic<bool> peerReadAll{false};
    std::atomic<bool> peerDataIntact{true};
    PlainPeer peer([&](int fd) {
        std::thread writer([fd] {
            std::vector<char> chunk;
            size_t position = 0;
            for (size_t n = 0; position < total; ++n) {
                const size_t length = std::min(total - position, size_t{4096} + (n * 7919) % 60000);
                chunk.resize(length);
                for (size_t i = 0; i < length; ++i)
                    chunk[i] = Pattern(position + i);
                if (!SendAll(fd, chunk.data(), length))
                    return;
                position += length;
                if (n % 32 == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        std::vector<char> buffer(7000);
        size_t position = 0;
        for (size_t n = 0; position < total; ++n) {
            const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (got <= 0)
                break;
            for (ssize_t i = 0; i < got; ++i) {
                if (buffer[static_cast<size_t>(i)] != Pattern(position + static_cast<size_t>(i)))
                    peerDataIntact = false;
            }
            position += static_cast<size_t>(got);
            if (n % 64 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        writer.join();
        peerReadAll = position == total;
        WaitForClientClose(fd);
    });

    TWSocket socket;
    constexpr int sendCount = 64;
    std::vector<char> chunk(size_t{1} << 20);
    size_t sendPosition = 0;
    int sends = 0;
    int dataSent = 0;
    int partialSends = 0;
    bool inSend = false;
    bool firedInsideSend = false;
    size_t received = 0;
    bool receivedIntact = true;
    std::vector<char> receiveBuffer(65536);

    auto sendNext = [&] {
        if (sends == sendCount)
            return;
        for (size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = Pattern(sendPosition + i);
        inSend = true;
        EXPECT_EQ(socket.Send(chunk.data(), static_cast<int>(chunk.size())), static_cast<int>(chunk.size()));
        inSend = false;
        sendPosition += chunk.size();
        ++sends;
    };
    socket.OnSessionConnected = [&](TCustomWSocket*, quint16 error) {
        if (error == 0)
            sendNext();
    };
    socket.OnDataSent = [&](TCustomWSocket*, quint16) {
        firedInsideSend = firedInsideSend || inSend;
        ++dataSent;
        sendNext();
    };
    socket.OnSendData = [&](TCustomWSocket*, int bytes) {
        if (bytes < 1460 && sendPosition != total)
            ++partialSends;
    };
    socket.OnDataAvailable = [&](TCustomWSocket* s, quint16) {
        const int got = s->Receive(receiveBuffer.data(), static_cast<int>(receiveBuffer.size()));
        for (int i = 0; i < got; ++i) {
            if (receiveBuffer[static_cast<size_t>(i)] != Pattern(received + static_cast<size_t>(i)))
                receivedIntact = false;
        }
        received += static_cast<size_t>(qMax(got, 0));
    };
    Target(socket, peer.Port());
    socket.Connect();
    ASSERT_TRUE(waitFor([&] { return received == total && dataSent == sendCount && peerReadAll.load(); }, 600000))
        << "received " << received << " sends " << sends << " dataSent " << dataSent;
    spinEventLoop(50);
    EXPECT_TRUE(receivedIntact);
    EXPECT_TRUE(peerDataIntact.load());
    EXPECT_EQ(dataSent, sendCount);
    EXPECT_FALSE(firedInsideSend);
    EXPECT_GT(partialSends, 0) << "the peer never pushed back; the resume path was not exercised";
    EXPECT_EQ(socket.ReadCount(), static_cast<int>(total));
    socket.Close();
}

TEST(WSocketExceptions, ThrowInSessionConnected_ReachesBgExceptionAndAborts)
{
    PlainPeer peer(WaitForClientClose);
    TWSocket socket;
    std::string caught;
    int closed = 0;
    socket.OnSessionConnected = [](TCustomWSocket*, quint16) { throw std::runtime_error("boom"); };
    socket.OnBgException = [&](TCustomWSocket*, const std::exception& e, bool&) { caught = e.what(); };
    socket.OnSessionClosed = [&](TCustomWSocket*, quint16) { ++closed; };
    Target(socket, peer.Port());
    socket.Connect();
    ASSERT_TRUE(waitFor([&] { return !caught.empty() && socket.State() == wsClosed; }));
    EXPECT_EQ(caught, "boom");
    EXPECT_EQ(closed, 1);
}

TEST(WSocketExceptions, BgExceptionHandlerClearingCanClose_KeepsTheConnection)
{
    PlainPeer peer(WaitForClientClose);
    TWSocket socket;
    int caught = 0;
    socket.OnSessionConnected = [](TCustomWSocket*, quint16) { throw std::runtime_error("boom"); };
    socket.OnBgException = [&](TCustomWSocket*, const std::exception&, bool& canClose) {
        ++caught;
        canClose = false;
    };
    Target(socket, peer.Port());
    socket.Connect();
    ASSERT_TRUE(waitFor([&] { return caught == 1; }));
    spinEventLoop(50);
    EXPECT_EQ(socket.State(), wsConnected);
    EXPECT_EQ(socket.SendText("still here"), 10);
}

TEST(WSocketExceptions, TestExceptionMessage_GoesToBgException)
{
    PlainPeer peer(WaitForClientClose);
    TWSocket socket;
    std::string caught;
    socket.OnBgException = [&](TCustomWSocket*, const std::exception& e, bool&) { caught = e.what(); };
    Target(socket, peer.Port());
    socket.Connect();
    ASSERT_TRUE(waitFor([&] { return socket.State() == wsConnected; }));
    socket.PostMessage(MsgTestException);
    ASSERT_TRUE(waitFor([&] { return socket.State() == wsClosed; }));
    EXPECT_EQ(caught, "Test exception in WSocket");
}

namespace {

// Runs the peer-sends-ten-bytes scenario with a handler that reads one byte per
// call and optionally throws on the first call. Returns whether the loop ran
// between the first and the second call (true: a new notification).
bool SecondCallCameFromANewNotification(bool throwOnFirstCall, int& bgExceptions)
{
    PlainPeer peer([](int fd) {
        SendAll(fd, "0123456789", 10);
        WaitForClientClose(fd);
    });
    TWSocket socket;
    int calls = 0;
    bool loopRan = false;
    bool loopRanBeforeSecond = false;
    socket.OnBgException = [&](TCustomWSocket*, const std::exception&, bool&) { ++bgExceptions; };
    socket.OnDataAvailable = [&](TCustomWSocket* s, quint16) {
        char byte;
        s->Receive(&byte, 1);
        if (++calls == 1) {
            QMetaObject::invokeMethod(
                qApp, [&] { loopRan = true; }, Qt::QueuedConnection);
            if (throwOnFirstCall)
                throw std::runtime_error("handler failure");
        } else if (calls == 2) {
            loopRanBeforeSecond = loopRan;
        }
    };
    Target(socket, peer.Port());
    socket.Connect();
    EXPECT_TRUE(waitFor([&] { return calls == 10; }));
    EXPECT_EQ(socket.State(), wsConnected);
    return loopRanBeforeSecond;
}

} // namespace

TEST(WSocketExceptions, ThrowInDataAvailable_IsDiscardedAndEndsThatNotification)
{
    int bgExceptions = 0;
    EXPECT_TRUE(SecondCallCameFromANewNotification(true, bgExceptions));
    EXPECT_EQ(bgExceptions, 0);
}

TEST(WSocketExceptions, WithoutThrow_TheReceiveLoopKeepsCallingWithinOneNotification)
{
    int bgExceptions = 0;
    EXPECT_FALSE(SecondCallCameFromANewNotification(false, bgExceptions));
    EXPECT_EQ(bgExceptions, 0);
}

TEST(WSocketDns, NameLookup_CompletesLaterWithTheAddress)
{
    TWSocket socket;
    int done = 0;
    int error = -1;
    socket.OnDnsLookupDone = [&](TCustomWSocket*, quint16 e) {
        ++done;
        error = e;
    };
    socket.DnsLookup("localhost");
    EXPECT_EQ(done, 0);
    ASSERT_TRUE(waitFor([&] { return done == 1; }));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(socket.DnsResult(), QByteArray("127.0.0.1"));
    EXPECT_TRUE(socket.DnsResultList().contains(QByteArray("127.0.0.1")));
}

TEST(WSocketDns, DottedText_CompletesInsideTheCall)
{
    TWSocket socket;
    int done = 0;
    socket.OnDnsLookupDone = [&](TCustomWSocket*, quint16 e) {
        ++done;
        EXPECT_EQ(e, 0);
    };
    socket.DnsLookup("10.0.0.1");
    EXPECT_EQ(done, 1);
    EXPECT_EQ(socket.DnsResult(), QByteArray("10.0.0.1"));
    EXPECT_EQ(socket.DnsResultList(), QByteArrayList{QByteArray("10.0.0.1")});
}

TEST(WSocketDns, CancelOfAPendingLookup_Fires10004AndNothingLater)
{
    TWSocket socket;
    std::vector<int> errors;
    socket.OnDnsLookupDone = [&](TCustomWSocket*, quint16 e) { errors.push_back(e); };
    socket.DnsLookup("localhost");
    socket.CancelDnsLookup();
    EXPECT_EQ(errors, std::vector<int>{10004});
    spinEventLoop(300);
    EXPECT_EQ(errors, std::vector<int>{10004});
    socket.CancelDnsLookup();
    EXPECT_EQ(errors.size(), 1u);
}

TEST(WSocketDns, EmptyName_RaisesAndFiresNothing)
{
    TWSocket socket;
    int done = 0;
    socket.OnDnsLookupDone = [&](TCustomWSocket*, quint16) { ++done; };
    EXPECT_EQ(RaisedSocketMessage([&] { socket.DnsLookup(""); }), QByteArray("DNS lookup: invalid host name."));
    EXPECT_EQ(done, 0);
}

TEST(WSocketDns, EmptyNameWithOnError_FiresDoneWith10022)
{
    TWSocket socket;
    std::vector<int> errors;
    int reported = 0;
    socket.OnError = [&](TCustomWSocket*) { ++reported; };
    socket.OnDnsLookupDone = [&](TCustomWSocket*, quint16 e) { errors.push_back(e); };
    socket.ReverseDnsLookup("");
    EXPECT_EQ(reported, 1);
    EXPECT_EQ(errors, std::vector<int>{10022});
}

TEST(WSocketDns, ReverseLookup_GivesTheHostNameLater)
{
    TWSocket socket;
    std::vector<int> errors;
    socket.OnDnsLookupDone = [&](TCustomWSocket*, quint16 e) { errors.push_back(e); };
    socket.ReverseDnsLookup("127.0.0.1");
    EXPECT_TRUE(errors.empty());
    ASSERT_TRUE(waitFor([&] { return !errors.empty(); }, 30000));
    EXPECT_EQ(errors, std::vector<int>{0});
    // The name the hosts file gives first: localhost, or a qualified form of it.
    EXPECT_TRUE(socket.DnsResult().startsWith("localhost")) << socket.DnsResult().constData();
    EXPECT_EQ(socket.DnsResultList(), QByteArrayList{socket.DnsResult()});
}

// 192.0.2.0/24 is reserved for documentation: no address there has a name.
TEST(WSocketDns, ReverseLookupOfAnAddressWithoutName_ReportsAnError)
{
    TWSocket socket;
    std::vector<int> errors;
    socket.OnDnsLookupDone = [&](TCustomWSocket*, quint16 e) { errors.push_back(e); };
    socket.ReverseDnsLookup("192.0.2.1");
    ASSERT_TRUE(waitFor([&] { return !errors.empty(); }, 30000));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front(), 11001);
    EXPECT_TRUE(socket.DnsResult().isEmpty());
    EXPECT_TRUE(socket.DnsResultList().isEmpty());
}

TEST(WSocketLifetime, ReleaseLaterFromAHandler_DestroysTheSocketFromTheLoop)
{
    PlainPeer peer(WaitForClientClose);
    QPointer<TWSocket> socket = new TWSocket;
    bool aliveAfterCall = false;
    socket->OnSessionConnected = [&](TCustomWSocket* s, quint16) {
        s->ReleaseLater();
        aliveAfterCall = !socket.isNull();
    };
    Target(*socket, peer.Port());
    socket->Connect();
    ASSERT_TRUE(waitFor([&] { return socket.isNull(); }));
    EXPECT_TRUE(aliveAfterCall);
    ASSERT_TRUE(waitFor([&] { return peer.Finished(); }));
}

TEST(WSocketLifetime, DeletingTheSocketInsideItsHandler_IsSafe)
{
    PlainPeer peer([](int fd) {
        SendAll(fd, "bye", 3);
        WaitForClientClose(fd);
    });
    QPointer<TWSocket> socket = new TWSocket;
    socket->OnDataAvailable = [](TCustomWSocket* s, quint16) { delete s; };
    Target(*socket, peer.Port());
    socket->Connect();
    ASSERT_TRUE(waitFor([&] { return socket.isNull(); }));
    ASSERT_TRUE(waitFor([&] { return peer.Finished(); }));
}
