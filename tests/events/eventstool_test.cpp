#include "tempdatafolder.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <initializer_list>

namespace {

// The first worked example: a newer-style ringing event, then its hang-up.
const QByteArray ringThenHangup = QByteArrayLiteral(
    "Event: Newstate\r\nPrivilege: call,all\r\nChannel: SIP/100-0a\r\nChannelState: 5\r\n"
    "ChannelStateDesc: Ringing\r\nCallerIDNum: 100\r\nCallerIDName: Alice\r\nConnectedLineNum: 201\r\n"
    "ConnectedLineName: Bob\r\nUniqueid: 77.5\r\n\r\n"
    "Event: Hangup\r\nChannel: SIP/100-0a\r\nUniqueid: 77.5\r\nCause: 16\r\n\r\n");

QByteArray outputLines(std::initializer_list<const char*> list)
{
    QByteArray text;
    for (const char* line : list)
        text += QByteArray(line) + '\n';
    return text;
}

struct ToolRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class EventsTool : public ::testing::Test
{
protected:
    QString writeInput(const QByteArray& bytes)
    {
        EXPECT_TRUE(dir.write(QStringLiteral("manager.txt"), bytes));
        return dir.filePath(QStringLiteral("manager.txt"));
    }

    static ToolRun run(const QStringList& arguments, const QByteArray& standardInput = QByteArray())
    {
        QProcess process;
        process.start(QStringLiteral(CORVALINE_EVENTS_TOOL), arguments);
        EXPECT_TRUE(process.waitForStarted(30000));
        process.write(standardInput);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(30000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    ToolRun runOnFile(const QByteArray& bytes, QStringList options)
    {
        options.append(writeInput(bytes));
        return run(options);
    }

    TempDataFolder dir;
};

TEST_F(EventsTool, WorkedExample_PrintsEveryOperationAndNoCardLeft)
{
    const ToolRun result = runOnFile(ringThenHangup, {QStringLiteral("--extension"), QStringLiteral("100")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              outputLines({"AddRingingCard\t201\tBob\t77.5\t100-0a", "AddRingingCard\t201\tBob\t77.5\t100-0a",
                           "RemoveCallCard\t77.5", "RemoveCallCard\t77.5", "RemoveCallCard\t77.5"}));
    EXPECT_TRUE(result.err.isEmpty());
}

TEST_F(EventsTool, ReadSize_NeverCutsAMessage)
{
    // Cuts inside the hang-up's key, between the ringing channel and its key,
    // and a key pushed past the first read by filler: each piece alone would
    // lose or truncate a key, but messages are read whole, so every read size
    // gives the result of the whole input.
    const QByteArray filler = QByteArrayLiteral("Event: Dial\r\nChannel: SIP/100-1\r\n") + QByteArray(3000, 'x') +
                              QByteArrayLiteral("\r\nUniqueid: 5\r\n");
    for (const QByteArray& input : {ringThenHangup, filler}) {
        const QByteArray whole = runOnFile(input, {QStringLiteral("--extension"), QStringLiteral("100"),
                                                   QStringLiteral("--block-size"), QStringLiteral("0")})
                                     .out;
        ASSERT_FALSE(whole.isEmpty());
        for (const qsizetype size : {qsizetype(1), ringThenHangup.indexOf("Uniqueid: 77.5"),
                                     ringThenHangup.lastIndexOf("Uniqueid: 77.5") + 12, qsizetype(2048)}) {
            EXPECT_EQ(runOnFile(input, {QStringLiteral("--extension"), QStringLiteral("100"),
                                        QStringLiteral("--block-size"), QString::number(size)})
                          .out,
                      whole)
                << "read size " << size;
        }
    }
}

TEST_F(EventsTool, ModernMode_FollowsWholeMessagesAndTheGivenTechnologies)
{
    const QByteArray input =
        QByteArrayLiteral("Asterisk Call Manager/5.0.1\r\nResponse: Success\r\nChallenge: 4711\r\n\r\n"
                          "Event: Newstate\r\nChannel: PJSIP/100-0a\r\nChannelState: 5\r\nCallerIDNum: 100\r\n"
                          "ConnectedLineNum: 0612\r\nConnectedLineName: 0491:Dupont\r\nUniqueid: 7.1\r\n\r\n"
                          "Event: Hangup\r\nChannel: PJSIP/100-0a\r\nChannelState: 6\r\nUniqueid: 7.1\r\n\r\n");
    const QStringList modern = {QStringLiteral("--mode"), QStringLiteral("modern"), QStringLiteral("--extension"),
                                QStringLiteral("100")};
    EXPECT_EQ(runOnFile(input, modern).out,
              outputLines({"Challenge\t4711", "AddRingingCard\t0612\t0491\t7.1\tPJSIP/100-0a", "RemoveCallCard\t7.1"}));
    EXPECT_EQ(runOnFile(input, modern + QStringList{QStringLiteral("--technology"), QStringLiteral("sip")}).out,
              outputLines({"Challenge\t4711"}));
}

TEST_F(EventsTool, EmptyExtension_MatchesEverySipChannel)
{
    const QByteArray input = QByteArrayLiteral("Event: Newstate\r\nChannel: SIP/200-1\r\nState: Up\r\n"
                                               "CallerID: 300\r\nUniqueid: 9\r\n");
    EXPECT_EQ(runOnFile(input, {QStringLiteral("--extension"), QString()}).out,
              outputLines({"ShowConnectedCall\t300\t\t9\t200-1", "CARD\t9\tanswered\t300\t\t200-1"}));
    EXPECT_EQ(runOnFile(input, {QStringLiteral("--extension"), QStringLiteral("100")}).out, QByteArray());
}

TEST_F(EventsTool, StandardInput_IsReadWhenNoFileIsGiven)
{
    const ToolRun result = run({QStringLiteral("--extension"), QStringLiteral("100")}, ringThenHangup);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.count('\n'), 5);
    EXPECT_EQ(run({QStringLiteral("--extension"), QStringLiteral("100"), QStringLiteral("-")}, ringThenHangup).out,
              result.out);
}

TEST_F(EventsTool, ChallengeAndAnsweredCalls_ArePrinted)
{
    const QByteArray input = QByteArrayLiteral("Response: Success\r\nChallenge: 4711 \r\n\r\n"
                                               "Event: Newstate\r\nChannel: SIP/100-1\r\nState: Ringing\r\n"
                                               "Uniqueid: 1\r\nEvent: Newstate\r\nChannel: SIP/100-1\r\n"
                                               "ChannelState: 6\r\nUniqueid: 1\r\n");
    EXPECT_EQ(runOnFile(input, {QStringLiteral("--extension"), QStringLiteral("100")}).out,
              outputLines({"Challenge\t4711", "AddRingingCard\t\t\t1\t100-1", "OpenCallerAgenda\t1",
                           "CARD\t1\tanswered\t\t\t100-1"}));
}

TEST_F(EventsTool, NulInABlock_IsDroppedAndTheRestRead)
{
    const QByteArray input = QByteArrayLiteral("Event: Dial\r\nChannel: SIP/100-1\r\n\0Uniqueid: 5\r\n") +
                             QByteArrayLiteral("Event: Hangup\r\nChannel: SIP/100-1\r\nUniqueid: 6\r\n");
    EXPECT_EQ(runOnFile(input, {QStringLiteral("--extension"), QStringLiteral("100"), QStringLiteral("--block-size"),
                                QStringLiteral("47")})
                  .out,
              outputLines({"AddRingingCard\t\t\t5\t100-1", "RemoveCallCard\t6", "CARD\t5\tringing\t\t\t100-1"}));
}

TEST_F(EventsTool, LineLongerThanTheProgramTakes_EndsTheReadingWithStatusOne)
{
    const QByteArray input = QByteArrayLiteral("Event: Dial\r\nChannel: SIP/100-1\r\nUniqueid: 5\r\n\r\n") +
                             "Event: Hangup\r\nChannel: SIP/100-1\r\nUniqueid: 5" + QByteArray(70000, '5') + "\r\n\r\n";
    const ToolRun result = runOnFile(input, {QStringLiteral("--extension"), QStringLiteral("100")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, outputLines({"AddRingingCard\t\t\t5\t100-1", "AddRingingCard\t\t\t5\t100-1",
                                       "CARD\t5\tringing\t\t\t100-1"}));
    EXPECT_TRUE(result.err.contains("a line longer than 65536 bytes")) << result.err.constData();
}

TEST_F(EventsTool, BytesPassUnchanged)
{
    const QByteArray input = QByteArrayLiteral("Event: Dial\r\nChannel: SIP/100-1\r\nCallerIDNum: 33\r\n"
                                               "CallerIDName: L\xe9on \x80\r\nUniqueid: 5\r\n");
    EXPECT_EQ(runOnFile(input, {QStringLiteral("--extension"), QStringLiteral("100")}).out,
              outputLines({"AddRingingCard\t33\tL\xe9on \x80\t5\t100-1", "CARD\t5\tringing\t33\tL\xe9on \x80\t100-1"}));
}

TEST_F(EventsTool, MissingFileOrBadOption_ExitsWithUsageError)
{
    const ToolRun missing =
        run({QStringLiteral("--extension"), QStringLiteral("100"), dir.filePath(QStringLiteral("absent.txt"))});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains("absent.txt"));
    EXPECT_TRUE(missing.out.isEmpty());

    EXPECT_EQ(run({QStringLiteral("--extension"), QStringLiteral("100"), QStringLiteral("--bogus")}).exitCode, 2);
    EXPECT_EQ(run({QStringLiteral("--extension"), QStringLiteral("100"), QStringLiteral("--block-size"),
                   QStringLiteral("-1")})
                  .exitCode,
              2);
    EXPECT_EQ(run({QStringLiteral("--extension"), QStringLiteral("100"), QStringLiteral("--block-size"),
                   QStringLiteral("abc")})
                  .exitCode,
              2);
    EXPECT_EQ(run({}, ringThenHangup).exitCode, 2);
    EXPECT_EQ(
        run({QStringLiteral("--extension"), QStringLiteral("100"), QStringLiteral("--mode"), QStringLiteral("new")})
            .exitCode,
        2);
    EXPECT_EQ(run({QStringLiteral("--extension"), QString(), QStringLiteral("--mode"), QStringLiteral("modern")},
                  ringThenHangup)
                  .exitCode,
              2);
}

TEST_F(EventsTool, Help_PrintsUsage)
{
    const ToolRun result = run({QStringLiteral("--help")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.contains("--block-size"));
    EXPECT_TRUE(result.out.contains("--extension"));
}

} // namespace
