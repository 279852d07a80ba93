// The program's quit request ends every wait of a socket at once: a wait for
// a flag, a flush towards a peer that reads nothing, a wait for a close that
// the peer does not make. Each peer holds still until the test lets it go (at
// the latest after ten seconds, when it does what ends the wait the slow way).
#include "net/quitrequest.h"
#include "net/wsocket.h"
#include "plainpeer.h"
#include "sockettesthelpers.h"
#include "waitfor.h"

#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace {

constexpr int SlowWayMs = 10000;
constexpr size_t FlushBytes = size_t{64} << 20;

struct HeldPeer
{
    std::atomic<bool> released{false};
    std::atomic<size_t> received{0};

    void HoldStill() const
    {
        for (int waited = 0; waited < SlowWayMs && !released.load(); ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Holds still, then reads all until the client closes.
    void Drain(int fd)
    {
        HoldStill();
        std::vector<char> sink(65536);
        for (ssize_t got; (got = ::recv(fd, sink.data(), sink.size(), 0)) > 0;)
            received += size_t(got);
    }
};

struct WaitCase
{
    const char* name;
    // Runs the wait on a connected socket; true when it ended before the peer
    // or the timer did what ends it the slow way.
    std::function<bool(TWSocket& socket, HeldPeer& peer)> endedByTheQuit;
    bool peerCloses; // after holding still; otherwise it drains
};

class QuitEndsAWait : public ::testing::TestWithParam<WaitCase>
{
protected:
    void TearDown() override { QuitRequest::resetForTests(); }
};

TEST_P(QuitEndsAWait, AtOnce)
{
    HeldPeer held;
    PlainPeer peer([&](int fd) {
        if (GetParam().peerCloses)
            held.HoldStill();
        else
            held.Drain(fd);
    });
    TWSocket socket;
    Target(socket, peer.Port());
    socket.Connect();
    ASSERT_TRUE(testsupport::waitFor([&] { return socket.State() == wsConnected; }));
    QTimer::singleShot(300, [] { QuitRequest::raise(); });
    EXPECT_TRUE(GetParam().endedByTheQuit(socket, held));
    held.released = true;
    socket.Abort();
}

INSTANTIATE_TEST_SUITE_P(Waits, QuitEndsAWait,
                         ::testing::Values(WaitCase{"WaitForFlag",
                                                    [](TWSocket& socket, HeldPeer&) {
                                                        bool flag = false;
                                                        QTimer::singleShot(SlowWayMs, &socket,
                                                                           [&flag] { flag = true; });
                                                        return socket.WaitForFlag(flag) ==
                                                               TCustomSyncWSocket::WaitGaveUp;
                                                    },
                                                    true},
                                           WaitCase{"WaitUntilClosed",
                                                    [](TWSocket& socket, HeldPeer&) {
                                                        socket.WaitUntilClosed();
                                                        return socket.State() != wsClosed;
                                                    },
                                                    true},
                                           WaitCase{"Flush",
                                                    [](TWSocket& socket, HeldPeer& peer) {
                                                        const std::vector<char> data(FlushBytes, 'f');
                                                        socket.Send(data.data(), static_cast<int>(data.size()));
                                                        socket.Flush();
                                                        return peer.received.load() == 0;
                                                    },
                                                    false}),
                         [](const ::testing::TestParamInfo<WaitCase>& info) { return std::string(info.param.name); });

} // namespace
