// Line mode and the wait operations against a plain peer that sends scripted
// pieces with pauses between them, so that each piece is a read of its own.
#include "net/wsocket.h"
#include "plainpeer.h"
#include "sockettesthelpers.h"
#include "waitfor.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

using testsupport::waitFor;

namespace {

// Sends each piece after a pause, then reads what comes back until the
// client closes (or closes first itself when told to).
struct Script
{
    std::vector<std::string> pieces;
    bool closeAfterSending = true;
    std::string* echoed = nullptr;

    void operator()(int fd) const
    {
        for (const std::string& piece : pieces) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            ::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        if (closeAfterSending) {
            ::shutdown(fd, SHUT_WR);
        }
        char buffer[256];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            if (echoed)
                echoed->append(buffer, size_t(n));
        }
    }
};

// A line-mode client that keeps every line its handler reads.
struct LineClient
{
    TWSocket socket;
    std::vector<QByteArray> lines;
    bool closed = false;

    explicit LineClient(quint16 port)
    {
        socket.SetLineMode(true);
        socket.OnDataAvailable = [this](TCustomWSocket* s, quint16) { lines.push_back(s->ReceiveText()); };
        socket.OnSessionClosed = [this](TCustomWSocket*, quint16) { closed = true; };
        Target(socket, port);
    }
};

struct LineCase
{
    const char* name;
    std::vector<std::string> pieces;
    QByteArray lineEnd;
    bool edit;
    bool echo;
    std::vector<QByteArray> lines;
    std::string echoed;
};

class LineModeDelivery : public ::testing::TestWithParam<LineCase>
{
};

TEST_P(LineModeDelivery, GivesOneLinePerEvent_ThenThePartialLineBeforeTheClose)
{
    const LineCase& c = GetParam();
    std::string echoed;
    PlainPeer peer(Script{c.pieces, true, &echoed});
    LineClient client(peer.Port());
    client.socket.SetLineEnd(c.lineEnd);
    client.socket.SetLineEdit(c.edit);
    client.socket.SetLineEcho(c.echo);
    client.socket.Connect();
    ASSERT_TRUE(waitFor([&] { return client.closed; }));
    EXPECT_EQ(client.lines, c.lines);
    ASSERT_TRUE(waitFor([&] { return peer.Finished(); }));
    EXPECT_EQ(echoed, c.echoed);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, LineModeDelivery,
    ::testing::Values(
        LineCase{"TwoLinesInOneRead", {"one\r\ntwo\r\n"}, "\r\n", false, false, {"one\r\n", "two\r\n"}, ""},
        LineCase{"EndCutBetweenReads", {"abc\r", "\ndef\r\n"}, "\r\n", false, false, {"abc\r\n", "def\r\n"}, ""},
        LineCase{"LongEndCutTwice", {"xE", "N", "Dy"}, "END", false, false, {"xEND", "y"}, ""},
        LineCase{"PartialLineAtTheClose", {"abc\r\nxyz"}, "\r\n", false, false, {"abc\r\n", "xyz"}, ""},
        LineCase{"Backspace", {"ab\bc\r\n"}, "\r\n", true, false, {"ac\r\n"}, ""},
        LineCase{"BackspaceIntoAnEarlierRead", {"ab", "\b\bz\r\n"}, "\r\n", true, false, {"z\r\n"}, ""},
        LineCase{"TabToTheNextEighth", {"abc\tx\r\n"}, "\r\n", true, false, {"abc     x\r\n"}, ""},
        LineCase{"EditedEcho", {"ab\bc\r\n"}, "\r\n", true, true, {"ac\r\n"}, "ab\b \bc\r\n"},
        LineCase{"PlainEcho", {"hi\r\n"}, "\r\n", false, true, {"hi\r\n"}, "hi\r\n"}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(LineMode, LimitWithoutAnEnd_ClearsOrKeepsAsTheHandlerSays)
{
    for (const bool clear : {true, false}) {
        SCOPED_TRACE(clear);
        PlainPeer peer(Script{{"0123456789ABCDE", "FGHIJ", "ok\r\n"}});
        LineClient client(peer.Port());
        client.socket.SetLineLimit(10);
        std::vector<int> reported;
        client.socket.OnLineLimitExceeded = [&](TCustomWSocket*, int length, bool& clearData) {
            reported.push_back(length);
            clearData = clear;
        };
        client.socket.Connect();
        ASSERT_TRUE(waitFor([&] { return client.closed; }));
        if (clear) {
            EXPECT_EQ(reported, std::vector<int>{15});
            EXPECT_EQ(client.lines, std::vector<QByteArray>{"FGHIJok\r\n"});
        } else {
            EXPECT_EQ(reported, (std::vector<int>{15, 20}));
            EXPECT_EQ(client.lines, std::vector<QByteArray>{"0123456789ABCDEFGHIJok\r\n"});
        }
    }
}

TEST(LineMode, SwitchedOffInsideTheHandler_TheRestComesInOrderAsItWas)
{
    PlainPeer peer(Script{{"HELLO\r\nraw\r\nbytes"}});
    TWSocket socket;
    QByteArray received;
    bool closed = false;
    socket.SetLineMode(true);
    socket.OnDataAvailable = [&](TCustomWSocket* s, quint16) {
        // The close offers once more what is left: nothing.
        if (const QByteArray text = s->ReceiveText(); !text.isEmpty())
            received += "[" + text + "]";
        socket.SetLineMode(false);
    };
    socket.OnSessionClosed = [&](TCustomWSocket*, quint16) { closed = true; };
    Target(socket, peer.Port());
    socket.Connect();
    ASSERT_TRUE(waitFor([&] { return closed; }));
    EXPECT_EQ(received, "[HELLO\r\n][raw\r\nbytes]");
}

TEST(LineMode, HandlerThatLeavesBytesUnread_StillSeesThePeerClose)
{
    for (const bool lineMode : {false, true}) {
        SCOPED_TRACE(lineMode);
        PlainPeer peer(Script{{"abc\r\nxy"}});
        TWSocket socket;
        socket.SetLineMode(lineMode);
        std::vector<int> offered;
        bool closed = false;
        socket.OnDataAvailable = [&](TCustomWSocket* s, quint16) { offered.push_back(s->RcvdCount()); };
        socket.OnSessionClosed = [&](TCustomWSocket*, quint16) { closed = true; };
        Target(socket, peer.Port());
        socket.Connect();
        ASSERT_TRUE(waitFor([&] { return closed; }));
        ASSERT_FALSE(offered.empty());
        // In line mode the last offer is everything left, as the final line.
        if (lineMode) {
            EXPECT_EQ(offered.back(), 7);
        }
    }
}

TEST(SyncWait, WaitForFlag_ReturnsOnceAHandlerSetsIt_OrGivesUpAtTheTimeout)
{
    PlainPeer answering(Script{{"ready\r\n"}, false});
    TWSocket socket;
    bool ready = false;
    socket.OnDataAvailable = [&](TCustomWSocket* s, quint16) { ready = s->ReceiveText().startsWith("ready"); };
    Target(socket, answering.Port());
    EXPECT_EQ(socket.RunAndWait(ready, [&] { socket.Connect(); }), 0);
    EXPECT_TRUE(ready);
    socket.Close();

    PlainPeer silent(Script{{}, false});
    TWSocket waiting;
    bool never = false;
    waiting.SetWaitTimeout(200);
    Target(waiting, silent.Port());
    EXPECT_EQ(waiting.RunAndWait(never, [&] { waiting.Connect(); }), TCustomSyncWSocket::WaitGaveUp);
    waiting.Close();
}

} // namespace
