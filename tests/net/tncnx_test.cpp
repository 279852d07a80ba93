#include "net/tncnx.h"
#include "plainpeer.h"
#include "scriptedpeer.h"
#include "sockettesthelpers.h"
#include "waitfor.h"

#include <QLoggingCategory>
#include <atomic>
#include <cctype>
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <thread>

using testsupport::spinEventLoop;
using testsupport::waitFor;

namespace {

QStringList capturedTraces;

void CaptureTrace(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (qstrcmp(context.category, "corvaline.telnet") == 0)
        capturedTraces.append(message);
}

// Turns the telnet traces on and collects them for the lifetime of the object.
class TraceCapture
{
public:
    TraceCapture() : m_previous(qInstallMessageHandler(CaptureTrace))
    {
        capturedTraces.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("corvaline.telnet.debug=true"));
    }
    ~TraceCapture()
    {
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(m_previous);
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    bool Contains(const char* text) const
    {
        for (const QString& trace : capturedTraces) {
            if (trace.contains(QLatin1String(text)))
                return true;
        }
        return false;
    }

private:
    QtMessageHandler m_previous;
};

class TnCnxSession : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tn.SetHost("127.0.0.1");
        tn.SetPort(QByteArray::number(peer.Port()));
        tn.OnSessionConnected = [this](TTnCnx*, quint16 error) {
            events.push_back("connected " + std::to_string(error));
        };
        tn.OnSessionClosed = [this](TTnCnx*, quint16 error) { events.push_back("closed " + std::to_string(error)); };
        tn.OnDataAvailable = [this](TTnCnx*, const char* buffer, int len) {
            blocks.append(QByteArray(buffer, len));
            terminated = terminated && buffer[len] == '\0';
        };
        tn.OnDisplay = [this](TTnCnx*, const QByteArray& text) { events.push_back("display " + text.toStdString()); };
        tn.OnEndOfRecord = [this](TTnCnx*) { ++endOfRecords; };
        tn.OnSendLoc = [this](TTnCnx*) { ++sendLocs; };
        tn.OnTermType = [this](TTnCnx*) { ++termTypes; };
        tn.OnLocalEcho = [this](TTnCnx*) { ++localEchoes; };
        tn.Connect();
        ASSERT_TRUE(waitFor([this] { return peer.Connected() && tn.SessionOpen(); }));
    }

    QByteArray Data() const { return blocks.join(); }

    // Sends the bytes, then a DO of an option never asked before on this connection, whose answer (WONT)
    // marks that everything before it was handled.
    void SendAndSettle(const QByteArray& bytes)
    {
        const int marker = nextMarker++;
        peer.ClearReceived();
        peer.Send(bytes + Bytes({255, 253, marker}));
        ASSERT_TRUE(waitFor([&] { return peer.Received().endsWith(Bytes({255, 252, marker})); }));
        answers = peer.Received().chopped(3);
    }

    ScriptedPeer peer;
    TTnCnx tn;
    std::vector<std::string> events;
    QByteArrayList blocks;
    QByteArray answers;
    bool terminated = true;
    int endOfRecords = 0;
    int sendLocs = 0;
    int termTypes = 0;
    int localEchoes = 0;
    int nextMarker = 100;
};

// A session that, like the manager console's, reads everything after a manager's banner as plain data.
struct StreamCase
{
    const char* what;
    // Sent at once; a non-empty rest is sent once the first part has been handed over.
    QByteArray first;
    QByteArray rest;
    QByteArray data;
    QByteArray replies;
};

void PrintTo(const StreamCase& row, std::ostream* os)
{
    *os << row.what;
}

class TnCnxBannerSession : public TnCnxSession, public ::testing::WithParamInterface<StreamCase>
{
protected:
    void SetUp() override
    {
        tn.SetPlainTextBanner("Asterisk Call Manager/");
        TnCnxSession::SetUp();
    }
};

const QByteArray Banner = "Asterisk Call Manager/5.0.1\r\n";
const QByteArray NewChannel = "Event: Newchannel\r\nChannel: SIP/201-0000002a\r\nCallerIDName: ";
const QByteArray Hangup = "\r\n\r\nEvent: Hangup\r\nChannel: SIP/201-0000002a\r\nCause: 16\r\n\r\n";
const QByteArray PlaceName = NewChannel + "L'Ha\xFF-les-Roses" + Hangup;
const QByteArray SubnegotiationInName = NewChannel + "Andr" + Bytes({255, 250}) + QByteArray(600, '\xE9') + Hangup;
const QByteArray RequestsInName = NewChannel + Bytes({255, 251, 5, 255, 253, 24, 255, 250, 24, 1, 255, 240}) + Hangup;

const StreamCase streamCases[] = {
    {"cp1252 y diaeresis in a place name", Banner + PlaceName, {}, Banner + PlaceName, {}},
    {"IAC SB in a caller name", Banner + SubnegotiationInName, {}, Banner + SubnegotiationInName, {}},
    {"option requests in a caller name", Banner + RequestsInName, {}, Banner + RequestsInName, {}},
    {"banner and name in separate reads", Banner, RequestsInName, Banner + RequestsInName, {}},
    {"telnet greeting keeps the negotiation",
     "Debian GNU/Linux 12\r\n" + Bytes({255, 253, 31}) + "login: ",
     {},
     "Debian GNU/Linux 12\r\nlogin: ",
     Bytes({255, 252, 31})},
    {"banner after a command is telnet",
     Bytes({255, 253, 31}) + Banner + Bytes({255, 255}),
     {},
     Banner + Bytes({255}),
     Bytes({255, 252, 31})},
    {"near miss of the banner",
     "Asterisk Call Manager 5\r\n" + Bytes({255, 251, 5}),
     {},
     "Asterisk Call Manager 5\r\n",
     Bytes({255, 254, 5})},
};

void WaitUntilSet(const std::atomic<bool>& flag)
{
    for (int waited = 0; waited < 60000 && !flag.load(); ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace

TEST_P(TnCnxBannerSession, StreamAfterTheBanner_IsPlainData)
{
    const StreamCase& row = GetParam();
    peer.Send(row.first);
    if (!row.rest.isEmpty()) {
        ASSERT_TRUE(waitFor([&] { return Data() == row.first; }));
        peer.Send(row.rest);
    }
    waitFor([&] { return Data().size() >= row.data.size(); });
    EXPECT_EQ(Data().toHex(' ').toStdString(), row.data.toHex(' ').toStdString());
    // Replies go out while a read is decoded, before its data is handed over: a text sent now comes after them.
    const QByteArray ping = "Action: Ping\r\n\r\n";
    tn.SendText(ping);
    ASSERT_TRUE(waitFor([&] { return peer.Received().endsWith(ping); }));
    EXPECT_EQ(peer.Received().chopped(ping.size()).toHex(' ').toStdString(), row.replies.toHex(' ').toStdString());
}

INSTANTIATE_TEST_SUITE_P(Streams, TnCnxBannerSession, ::testing::ValuesIn(streamCases),
                         [](const ::testing::TestParamInfo<StreamCase>& info) {
                             std::string name;
                             for (const char* c = info.param.what; *c != '\0'; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

// Answering every repetition would let a peer that never reads pile the answers up, and two ends answer each
// other's answers for ever; the echo state still follows each request.
TEST_F(TnCnxSession, RepeatedRequests_AreAnsweredOncePerVerbAndOption)
{
    QByteArray flood;
    for (int i = 0; i < 1000; ++i)
        flood += Bytes({255, 253, 31});
    const struct
    {
        const char* what;
        QByteArray sent;
        QByteArray answers;
    } rows[] = {
        {"a thousand DO 31", flood, Bytes({255, 252, 31})},
        {"DO 31 in a later read", Bytes({255, 253, 31}), {}},
        {"WILL 5, WONT 5, WILL 5", Bytes({255, 251, 5, 255, 252, 5, 255, 251, 5}), Bytes({255, 254, 5, 255, 252, 5})},
        {"WILL 1 twice", Bytes({255, 251, 1, 255, 251, 1}), Bytes({255, 253, 1})},
        {"DO 23 twice", Bytes({255, 253, 23, 255, 253, 23}),
         Bytes({255, 251, 23, 255, 250, 23}) + "TNCNX" + Bytes({255, 240})},
    };
    tn.SetLocalEcho(true);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SendAndSettle(row.sent);
        EXPECT_EQ(answers.toHex(' ').toStdString(), row.answers.toHex(' ').toStdString());
    }
    EXPECT_FALSE(tn.LocalEcho());
    EXPECT_EQ(localEchoes, 2);
    EXPECT_EQ(sendLocs, 1);
}

// A peer that floods requests and never reads the replies is closed once they pass the session's bound on
// waiting output, instead of the session holding them without end.
TEST(TnCnx, PeerThatAsksButNeverReads_IsClosedAtTheOutputBound)
{
    std::atomic<bool> done{false};
    PlainPeer peer([&](int fd) {
        const int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        QByteArray requests;
        for (int i = 0; i < 65536; ++i)
            requests += Bytes({255, 250, 24, 1, 255, 240});
        // Their replies are many times the bound plus what the kernels of both ends hold.
        for (int i = 0; i < 24 && !done.load(); ++i) {
            if (!SendAll(fd, requests.constData(), static_cast<size_t>(requests.size())))
                break;
        }
        WaitUntilSet(done);
    });
    TTnCnx tn;
    std::vector<std::string> events;
    tn.OnDisplay = [&](TTnCnx*, const QByteArray& text) { events.push_back("display " + text.toStdString()); };
    tn.OnSessionClosed = [&](TTnCnx*, quint16 error) { events.push_back("closed " + std::to_string(error)); };
    tn.SetHost("127.0.0.1");
    tn.SetPort(QByteArray::number(peer.Port()));
    tn.Connect();
    const bool closed = waitFor([&] { return tn.State() == wsClosed; }, 30000);
    done = true;
    ASSERT_TRUE(closed);
    EXPECT_EQ(events, (std::vector<std::string>{"display \r\n**** ERROR: 10055 ****\r\n", "closed 0"}));
}

TEST_F(TnCnxSession, ConnectReportsTheSocketOutcome)
{
    EXPECT_EQ(events, std::vector<std::string>{"connected 0"});
    EXPECT_EQ(tn.State(), wsConnected);
    EXPECT_EQ(tn.SendText("Action: Ping\r\n\r\n"), 16);
    ASSERT_TRUE(waitFor([&] { return peer.Received() == "Action: Ping\r\n\r\n"; }));
}

TEST_F(TnCnxSession, DoubledIac_GivesOneDataByte255)
{
    SendAndSettle(QByteArray("a") + Bytes({255, 255}) + "b");
    EXPECT_EQ(Data(), QByteArray("a\xFF"
                                 "b"));
    EXPECT_TRUE(answers.isEmpty());
}

TEST_F(TnCnxSession, UnknownCommand_IsDroppedWithATrace)
{
    TraceCapture traces;
    SendAndSettle(QByteArray("x") + Bytes({255, 241}) + "y");
    EXPECT_EQ(Data(), QByteArray("xy"));
    EXPECT_TRUE(traces.Contains("Unknown F1 '"));
}

TEST_F(TnCnxSession, UndoubledIac_ConsumesTheNextByteAsCommand)
{
    TraceCapture traces;
    SendAndSettle(QByteArray("a") + Bytes({255}) + "bc");
    EXPECT_EQ(Data(), QByteArray("ac"));
    EXPECT_TRUE(traces.Contains("Unknown 62 'b'"));
}

TEST_F(TnCnxSession, CommandBytes244To248_AreDeliveredUnchangedWithTraces)
{
    TraceCapture traces;
    SendAndSettle(Bytes({244, 245, 246, 247, 248}));
    EXPECT_EQ(Data(), Bytes({244, 245, 246, 247, 248}));
    for (const char* name : {"TNCH_IP", "TNCH_AO", "TNCH_AYT", "TNCH_EC", "TNCH_EL"})
        EXPECT_TRUE(traces.Contains(name)) << name;
}

TEST_F(TnCnxSession, TracesAreOffByDefault)
{
    capturedTraces.clear();
    const QtMessageHandler previous = qInstallMessageHandler(CaptureTrace);
    SendAndSettle(Bytes({255, 241, 244}));
    qInstallMessageHandler(previous);
    EXPECT_TRUE(capturedTraces.isEmpty());
}

TEST_F(TnCnxSession, TerminalTypeRequest_IsAnsweredWithVT100)
{
    SendAndSettle(Bytes({255, 253, 24}));
    EXPECT_EQ(answers, Bytes({255, 251, 24}));
    SendAndSettle(Bytes({255, 250, 24, 1, 255, 240}));
    EXPECT_EQ(answers, Bytes({255, 250, 24, 0}) + "VT100" + Bytes({255, 240}));
    EXPECT_EQ(termTypes, 1);
}

TEST_F(TnCnxSession, EchoNegotiation_SetsLocalEcho)
{
    tn.SetLocalEcho(true);
    SendAndSettle(Bytes({255, 251, 1}));
    EXPECT_EQ(answers, Bytes({255, 253, 1}));
    EXPECT_FALSE(tn.LocalEcho());
    SendAndSettle(Bytes({255, 252, 1}));
    EXPECT_TRUE(answers.isEmpty());
    EXPECT_TRUE(tn.LocalEcho());
    SendAndSettle(Bytes({255, 253, 1, 255, 254, 1}));
    EXPECT_TRUE(answers.isEmpty());
    EXPECT_TRUE(tn.LocalEcho());
    EXPECT_EQ(localEchoes, 4);
}

TEST_F(TnCnxSession, UnknownOptions_AreRefused)
{
    SendAndSettle(Bytes({255, 253, 31, 255, 251, 5, 255, 252, 5, 255, 254, 31}));
    EXPECT_EQ(answers, Bytes({255, 252, 31, 255, 254, 5, 255, 252, 5, 255, 252, 31}));
}

TEST_F(TnCnxSession, KnownOptions_AnswerOnlyTheirVerb)
{
    SendAndSettle(Bytes({255, 251, 0,  255, 253, 0,  255, 252, 0,  255, 251, 3,  255, 253, 3,
                         255, 253, 25, 255, 251, 25, 255, 251, 24, 255, 254, 24, 255, 251, 23}));
    EXPECT_EQ(answers, Bytes({255, 253, 0, 255, 253, 3, 255, 251, 25}));
    EXPECT_EQ(sendLocs, 0);
}

TEST_F(TnCnxSession, LocationRequest_IsAnsweredWithTheLocation)
{
    tn.SetLocation("Bureau 12");
    SendAndSettle(Bytes({255, 253, 23}));
    EXPECT_EQ(answers, Bytes({255, 251, 23, 255, 250, 23}) + "Bureau 12" + Bytes({255, 240}));
    EXPECT_EQ(sendLocs, 1);
}

TEST_F(TnCnxSession, ShortOrForeignSubnegotiations_AreIgnored)
{
    SendAndSettle(Bytes({255, 250, 24, 240, 255, 250, 255, 240, 255, 250, 32, 1, 255, 240}) + "z");
    EXPECT_TRUE(answers.isEmpty());
    EXPECT_EQ(Data(), QByteArray("z"));
    EXPECT_EQ(termTypes, 0);
}

// A body of up to 512 bytes is a subnegotiation; past that the bytes are data again, so that an IAC SB in a
// caller name cannot swallow the session.
TEST_F(TnCnxSession, LongSubnegotiation_EndsAt512BytesAndTheRestIsData)
{
    const QByteArray newChannel = "Event: Newchannel\r\nChannel: SIP/201-0000002a\r\nCallerIDName: Andr";
    const QByteArray hangup = "\r\n\r\nEvent: Hangup\r\nChannel: SIP/201-0000002a\r\nCause: 16\r\n\r\n";
    const QByteArray iacSb = Bytes({255, 250});
    const struct
    {
        const char* what;
        QByteArray sent;
        QByteArray data;
    } rows[] = {
        {"512 bytes then SE", iacSb + QByteArray(512, 'a') + Bytes({240}) + "z", "z"},
        {"513 bytes", iacSb + QByteArray(513, 'a') + "z", "az"},
        {"command right after the cap", iacSb + QByteArray(512, 'a') + Bytes({255, 239}) + "z", "z"},
        {"caller name", newChannel + iacSb + QByteArray(600, '\xE9') + hangup,
         newChannel + QByteArray(88, '\xE9') + hangup},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        blocks.clear();
        SendAndSettle(row.sent);
        EXPECT_EQ(Data(), row.data);
        EXPECT_TRUE(answers.isEmpty());
    }
    EXPECT_EQ(endOfRecords, 1);
}

TEST_F(TnCnxSession, EndOfRecord_FiresItsEvent)
{
    SendAndSettle(QByteArray("rec") + Bytes({255, 239}) + "ord");
    EXPECT_EQ(endOfRecords, 1);
    EXPECT_EQ(Data(), QByteArray("record"));
}

TEST_F(TnCnxSession, DataBlocks_AreAtMost2048BytesAndNulTerminated)
{
    QByteArray sent;
    for (int i = 0; i < 5000; ++i)
        sent.append(static_cast<char>(i % 255));
    peer.Send(sent);
    ASSERT_TRUE(waitFor([&] { return Data().size() == sent.size(); }));
    EXPECT_EQ(Data(), sent);
    EXPECT_TRUE(terminated);
    for (const QByteArray& block : blocks)
        EXPECT_LE(block.size(), 2048);
    EXPECT_GE(blocks.size(), 3);
}

TEST_F(TnCnxSession, RemoteClose_ShowsTheTextThenReportsClosed)
{
    peer.Close();
    ASSERT_TRUE(waitFor([&] { return tn.State() == wsClosed; }));
    spinEventLoop(50);
    const std::vector<std::string> expected = {"connected 0", "display \r\n**** Remote has closed ****\r\n",
                                               "closed 0"};
    EXPECT_EQ(events, expected);
    EXPECT_FALSE(tn.SessionOpen());
}

TEST_F(TnCnxSession, ConnectWhileConnected_ClosesTheOldSessionFirst)
{
    tn.Connect();
    EXPECT_EQ(events, (std::vector<std::string>{"connected 0", "closed 0"}));
    EXPECT_EQ(tn.State(), wsConnecting);
    ASSERT_TRUE(waitFor([&] { return tn.SessionOpen(); }));
    EXPECT_EQ(events.back(), "connected 0");
}

TEST_F(TnCnxSession, SendWhenClosed_ReportsTheSocketError)
{
    tn.Close();
    EXPECT_EQ(tn.State(), wsClosed);
    EXPECT_EQ(RaisedSocketMessage([&] { tn.SendText("x"); }),
              QByteArray("Error 10057 in function Send\r\nSocket is not connected"));
}

TEST_F(TnCnxSession, SocketDestroyedBySomeoneElse_IsForgotten)
{
    delete tn.Socket();
    EXPECT_EQ(tn.Socket(), nullptr);
    EXPECT_EQ(tn.State(), wsInvalidState);
    EXPECT_FALSE(tn.SessionOpen());
    EXPECT_EQ(tn.SendText("x"), -1);
    tn.Connect();
    tn.Close();
    EXPECT_EQ(tn.State(), wsInvalidState);
}

TEST(TnCnx, Defaults)
{
    TTnCnx tn;
    EXPECT_EQ(tn.Port(), QByteArray("23"));
    EXPECT_EQ(tn.Host(), QByteArray());
    EXPECT_EQ(tn.Location(), QByteArray("TNCNX"));
    EXPECT_EQ(tn.TermType(), QByteArray("VT100"));
    EXPECT_FALSE(tn.LocalEcho());
    EXPECT_EQ(tn.State(), wsClosed);
}

TEST(TnCnx, DecodedBytes_ComeInNulTerminatedBlocksOfAtMost2048Bytes)
{
    TTnCnx tn;
    QByteArrayList blocks;
    bool terminated = true;
    tn.OnDataAvailable = [&](TTnCnx*, const char* buffer, int len) {
        blocks.append(QByteArray(buffer, len));
        terminated = terminated && buffer[len] == '\0';
    };
    QByteArray sent;
    for (int i = 0; i < 5000; ++i)
        sent.append(static_cast<char>(i % 200));
    tn.decodeReceived(sent.constData(), static_cast<int>(sent.size()));
    EXPECT_EQ(blocks.join(), sent);
    EXPECT_EQ(blocks.size(), 3);
    for (const QByteArray& block : blocks)
        EXPECT_LE(block.size(), 2048);
    EXPECT_TRUE(terminated);
}

TEST(TnCnx, RefusedConnect_ReportsTheErrorThenClosed)
{
    TTnCnx tn;
    std::vector<std::string> events;
    tn.OnSessionConnected = [&](TTnCnx*, quint16 error) { events.push_back("connected " + std::to_string(error)); };
    tn.OnSessionClosed = [&](TTnCnx*, quint16 error) { events.push_back("closed " + std::to_string(error)); };
    TWSocket holder;
    holder.SetProto("tcp");
    holder.SetAddr("127.0.0.1");
    holder.SetPort("0");
    holder.Listen();
    const QByteArray port = holder.BoundPort();
    holder.Close();
    tn.SetHost("127.0.0.1");
    tn.SetPort(port);
    tn.Connect();
    ASSERT_TRUE(waitFor([&] { return events.size() == 2; }));
    EXPECT_EQ(events, (std::vector<std::string>{"connected 10061", "closed 0"}));
}

// The owner's texts are bounded too: past the bound the send fails as the socket reports it, and the session
// stays for its owner to close.
TEST(TnCnx, OwnerSendPastTheOutputBound_IsRefusedWith10055)
{
    std::atomic<bool> done{false};
    PlainPeer peer([&](int) { WaitUntilSet(done); });
    TTnCnx tn;
    tn.SetHost("127.0.0.1");
    tn.SetPort(QByteArray::number(peer.Port()));
    tn.Connect();
    ASSERT_TRUE(waitFor([&] { return tn.SessionOpen(); }));
    const QByteArray action = "Action: Ping\r\nParameters: " + QByteArray(65536, 'p') + "\r\n\r\n";
    // Many times the bound plus what the kernels of both ends hold.
    QByteArray refusal;
    for (int i = 0; i < 1024 && refusal.isEmpty(); ++i)
        refusal = RaisedSocketMessage([&] { tn.SendText(action); });
    done = true;
    EXPECT_EQ(refusal, QByteArray("Error 10055 in function Send\r\nNo buffer space available"));
    EXPECT_TRUE(tn.SessionOpen());
    EXPECT_LE(tn.Socket()->BufferedSendCount(), TTnCnx::MaxWaitingOutput);
}
