#include "cardrecorder.h"
#include "supervision/classiceventinterpreter.h"
#include "supervision/managermessageassembler.h"
#include "supervision/managermessages.h"
#include "supervision/moderneventinterpreter.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray capture(const QString& name)
{
    QFile file(QStringLiteral(CORVALINE_TEST_DATA "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray transcript()
{
    return capture(QStringLiteral("asterisk18-pjsip.txt"));
}

QByteArray onSip(QByteArray text)
{
    return text.replace("PJSIP/", "SIP/");
}

// The call operations and challenges of one interpretation, fed the text as a
// session delivers it: in reads of the given size (0: all at once), gathered
// into whole messages, the rest handed over at the end.
struct Session
{
    explicit Session(bool modern, QByteArray extension = QByteArrayLiteral("100")) : extension(std::move(extension))
    {
        const auto source = [this] { return this->extension; };
        const auto challenge = [this](const QByteArray& value) { cards.note("Challenge|" + value); };
        if (modern)
            interpretation = std::make_unique<ModernEventInterpreter>(cards, source, challenge);
        else
            interpretation = std::make_unique<ClassicEventInterpreter>(cards, source, challenge);
    }

    Session& feed(const QByteArray& text, qsizetype readSize = 0)
    {
        const qsizetype step = readSize > 0 ? readSize : std::max<qsizetype>(text.size(), 1);
        for (qsizetype at = 0; at < text.size(); at += step) {
            const QByteArray ready =
                assembler.append(QByteArrayView(text).sliced(at, std::min(step, text.size() - at)));
            if (!ready.isEmpty()) {
                handOvers.append(ready);
                interpretation->interpret(ready);
            }
        }
        return *this;
    }

    Session& close()
    {
        if (const QByteArray rest = assembler.takePending(); !rest.isEmpty()) {
            handOvers.append(rest);
            interpretation->interpret(rest);
        }
        return *this;
    }

    QByteArray extension;
    CardRecorder cards;
    ManagerMessageAssembler assembler;
    std::unique_ptr<EventInterpretation> interpretation;
    QList<QByteArray> handOvers;
};

QList<QByteArray> operations(std::initializer_list<const char*> list)
{
    QList<QByteArray> calls;
    for (const char* call : list)
        calls.append(QByteArray(call));
    return calls;
}

const QByteArray ring = "Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 5\r\nUniqueid: 1\r\n";

// --- A whole session of Asterisk 18 -------------------------------------------

const QList<QByteArray> transcriptOperations = operations({
    "Challenge|840631077",
    "AddRingingCard|0612345678|0491234500|1733650000.2|PJSIP/100-00000002",
    "ShowConnectedCall|0612345678|0491234500|1733650000.2|PJSIP/100-00000002",
    "OpenCallerAgenda|1733650000.2",
    "RemoveCallCard|1733650000.2",
    "AddRingingCard|0477777777|0491234501|1733650000.4|PJSIP/100-00000004",
    "RemoveCallCard|1733650000.4",
    "ShowConnectedCall|0388888888|Garage|1733650000.6|PJSIP/100-00000006",
    "OpenCallerAgenda|1733650000.6",
    "RemoveCallCard|1733650000.6",
});

TEST(ModernInterpretation, Asterisk18Session_OneCardPerCallOfThePhone_NoneLeft)
{
    // An answered incoming call, another phone whose number starts like the
    // user's, an unanswered call, and a call the phone places (its own leg
    // answered by the dialplan first), with dialplan bursts, bridge, RTCP and
    // security events and a late duplicate of an ended call.
    const QByteArray text = transcript();
    ASSERT_GT(text.size(), 40000);
    Session session(true);
    session.feed(text).close();
    EXPECT_EQ(session.cards.calls(), transcriptOperations);
    EXPECT_TRUE(session.cards.cards().empty());

    Session sip(true);
    sip.feed(onSip(text)).close();
    EXPECT_EQ(sip.cards.calls().size(), transcriptOperations.size());
    EXPECT_TRUE(sip.cards.cards().empty());
}

TEST(ModernInterpretation, ClassicModeOnTheSameSession_LeavesCardsBehind)
{
    // What the modern mode mends: the Hangup of an answered call carries
    // ChannelState 6, Dest headers make cards of their own, 1000 passes for 100.
    Session classic(false);
    classic.feed(onSip(transcript())).close();
    EXPECT_TRUE(classic.cards.HasCallCard("1733650000.2")) << "the answered call never leaves";
    EXPECT_TRUE(classic.cards.HasCallCard("Dest1733650000.4"));
    EXPECT_TRUE(classic.cards.HasCallCard("1733650000.3")) << "phone 1000 taken for 100";
}

TEST(ModernInterpretation, AnyReadSize_HandsOverWholeMessagesAndGivesTheSameResult)
{
    const QByteArray text = transcript();
    Session whole(false);
    whole.feed(text).close();
    for (const qsizetype size : {1, 2, 3, 5, 13, 64, 127, 500, 1024, 1460, 2047, 2048, 2049, 3001, 4095, 4096}) {
        Session modern(true);
        modern.feed(text, size).close();
        EXPECT_EQ(modern.cards.calls(), transcriptOperations) << "read size " << size;
        EXPECT_EQ(modern.handOvers.join(), text);
        for (qsizetype i = 0; i + 1 < modern.handOvers.size(); ++i)
            ASSERT_TRUE(modern.handOvers[i].endsWith("\r\n\r\n")) << "read size " << size << ", hand-over " << i;

        // The classic rules still run line by line inside each hand-over, so
        // only where its state stops differs; the cards it leaves do not.
        Session classic(false);
        classic.feed(text, size).close();
        EXPECT_EQ(classic.cards.cards().size(), whole.cards.cards().size()) << "read size " << size;
    }
}

TEST(MessageAssembler, RunWithoutMessageEnd_IsHandedOverAtTheLimitUpToItsLastLineBreak)
{
    ManagerMessageAssembler assembler;
    const QByteArray line = QByteArray(98, 'x') + "\r\n";
    QByteArray lines;
    while (lines.size() + line.size() < ManagerMessageAssembler::MaxPending)
        lines += line;
    EXPECT_TRUE(assembler.append(lines + "y").isEmpty());
    EXPECT_EQ(assembler.append(QByteArray(line.size(), 'z')), lines) << "the line it ends inside waits";
    EXPECT_EQ(assembler.pendingSize(), line.size() + 1);
    EXPECT_EQ(assembler.append("a\r\n\r").size(), 0);
    EXPECT_EQ(assembler.append("\nb"), "y" + QByteArray(line.size(), 'z') + "a\r\n\r\n")
        << "a message end across two reads";
    EXPECT_EQ(assembler.takePending(), QByteArrayLiteral("b"));
}

TEST(MessageAssembler, NulBytes_AreDroppedAndEveryOtherByteKept)
{
    ManagerMessageAssembler assembler;
    EXPECT_EQ(assembler.append(QByteArrayLiteral("Event: Hangup\r\n\0Uniqueid: 1\0.1\r\n\r\n\0")),
              QByteArrayLiteral("Event: Hangup\r\nUniqueid: 1.1\r\n\r\n"));
}

// A line longer than any manager writes ends the reading: what came before it
// is handed over, the line never, and nothing is kept until a new start.
TEST(MessageAssembler, LineTooLong_HandsOverWhatCameBeforeItAndKeepsNothingAfter)
{
    ManagerMessageAssembler assembler;
    EXPECT_EQ(assembler.append("Event: A\r\n\r\nEvent: B\r\nCallerIDName: "), "Event: A\r\n\r\n");
    const QByteArray piece(4096, 'x');
    QByteArray handedOver;
    for (int read = 0; read < 64 && !assembler.lineTooLong(); ++read)
        handedOver += assembler.append(piece);
    ASSERT_TRUE(assembler.lineTooLong());
    EXPECT_EQ(handedOver, "Event: B\r\n");
    EXPECT_EQ(assembler.pendingSize(), 0);
    EXPECT_TRUE(assembler.append("\r\n\r\nEvent: C\r\n\r\n").isEmpty());
    EXPECT_TRUE(assembler.takePending().isEmpty());

    EXPECT_FALSE(assembler.lineTooLong()) << "a new session reads again";
    EXPECT_EQ(assembler.append("Event: D\r\n\r\n"), "Event: D\r\n\r\n");
    const QByteArray longest(ManagerMessages::MaxLineLength, 'x');
    EXPECT_EQ(assembler.append(longest + "\r\n\r\n"), longest + "\r\n\r\n") << "the longest line allowed";
    EXPECT_FALSE(assembler.lineTooLong());
}

// The interpretation reads its own text too: a line past the limit, cut across
// hand-overs, is dropped unread.
TEST(ModernInterpretation, LineLongerThanTheLimit_IsDroppedUnread)
{
    Session session(true);
    session.interpretation->interpret("Event: Hangup\r\nChannel: SIP/100-1\r\nUniqueid: 1");
    for (int piece = 0; piece < 20; ++piece)
        session.interpretation->interpret(QByteArray(4096, '1'));
    session.interpretation->interpret("\r\n\r\nEvent: Hangup\r\nChannel: SIP/100-2\r\nUniqueid: 2\r\n\r\n");
    EXPECT_EQ(session.cards.calls(), operations({"RemoveCallCard|2"}));
}

TEST(ModernInterpretation, TextHandedOverDuringACardOperation_IsActedOnInStreamOrder)
{
    // Card creation runs the event loop, and the session may hand over the
    // call's hang-up right then: the answer that came before it still counts.
    Session session(true);
    bool nested = false;
    session.cards.setAddRingingCardHook([&] {
        if (std::exchange(nested, true))
            return;
        session.interpretation->interpret("Event: Hangup\r\nChannel: SIP/100-1\r\nUniqueid: 1\r\n\r\n");
    });
    session.interpretation->interpret(ring + "\r\nEvent: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 6\r\n"
                                             "Uniqueid: 1\r\n\r\n");
    EXPECT_EQ(session.cards.calls(), operations({"AddRingingCard|||1|SIP/100-1", "ShowConnectedCall|||1|SIP/100-1",
                                                 "OpenCallerAgenda|1", "RemoveCallCard|1"}));
    EXPECT_TRUE(session.cards.cards().empty());
}

// --- Calls recorded on Asterisk 22.10.1 and 20.20.1 -----------------------
// (bench/filter/record_transcripts.py: PJSIP, phones played by sipp)

struct CaptureCase
{
    const char* name;
    const char* file;
    QByteArray dialled; // what the dial window told the interpretation, if anything
    QList<QByteArray> operations;
};

class RealAsteriskCalls : public ::testing::TestWithParam<CaptureCase>
{
};

TEST_P(RealAsteriskCalls, GiveOneCardPerCallShowingTheOtherParty)
{
    const QByteArray text = capture(QString::fromLatin1(GetParam().file));
    ASSERT_GT(text.size(), 20000);
    for (const qsizetype readSize : {0, 2048}) {
        Session session(true);
        if (!GetParam().dialled.isEmpty())
            static_cast<ModernEventInterpreter&>(*session.interpretation).expectPlacedCall(GetParam().dialled);
        session.feed(text, readSize).close();
        EXPECT_EQ(session.cards.calls().join('\n').toStdString(), GetParam().operations.join('\n').toStdString())
            << "read size " << readSize;
        EXPECT_TRUE(session.cards.cards().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Captures, RealAsteriskCalls,
    ::testing::Values(
        // The dial window's Originate rings the phone with its own caller id;
        // the far party comes in a NewConnectedLine once the phone answered.
        CaptureCase{
            "Asterisk22_PlacedCall_ShowsTheNumberDialledThenThePartyNamed", "asterisk22-originate.txt", "201",
            operations({"AddPlacedCallCard|201||1796795618.0|PJSIP/100-00000000",
                        "ShowConnectedCall|201||1796795618.0|PJSIP/100-00000000", "OpenCallerAgenda|1796795618.0",
                        "UpdateCallCard|1796795618.0|201|Martin|PJSIP/100-00000000", "RemoveCallCard|1796795618.0"})},
        CaptureCase{
            "Asterisk20_PlacedCall_ShowsTheNumberDialledThenThePartyNamed", "asterisk20-originate.txt", "201",
            operations({"AddPlacedCallCard|201||1796795630.0|PJSIP/100-00000000",
                        "ShowConnectedCall|201||1796795630.0|PJSIP/100-00000000", "OpenCallerAgenda|1796795630.0",
                        "UpdateCallCard|1796795630.0|201|Martin|PJSIP/100-00000000", "RemoveCallCard|1796795630.0"})},
        // An Originate the dial window did not send: nothing of the user's own
        // number, and the agenda waits for the party.
        CaptureCase{"Asterisk22_PlacedCallFromElsewhere_WaitsForThePartyNamed",
                    "asterisk22-originate.txt",
                    {},
                    operations({"AddPlacedCallCard|||1796795618.0|PJSIP/100-00000000",
                                "UpdateCallCard|1796795618.0|201|Martin|PJSIP/100-00000000",
                                "ShowConnectedCall|201|Martin|1796795618.0|PJSIP/100-00000000",
                                "OpenCallerAgenda|1796795618.0", "RemoveCallCard|1796795618.0"})},
        // Two devices of extension 100 ring for one call; one answers, the
        // other's leg ends with cause 26, then the call ends.
        CaptureCase{"Asterisk22_TwoDevicesRinging_ShareOneCard",
                    "asterisk22-twodevices.txt",
                    {},
                    operations({"AddRingingCard|0612345678|0491234500|1796795624.1|PJSIP/100-00000001",
                                "ShowConnectedCall|0612345678|0491234500|1796795624.1|PJSIP/100-00000001",
                                "OpenCallerAgenda|1796795624.1", "RemoveCallCard|1796795624.1"})},
        // The device that rang second answers: the card acts on its channel.
        CaptureCase{"Asterisk20_TwoDevicesRinging_ShareOneCardOnTheDeviceThatAnswered",
                    "asterisk20-twodevices.txt",
                    {},
                    operations({"AddRingingCard|0612345678|0491234500|1796795636.1|PJSIP/100-00000001",
                                "UpdateCallCard|1796795636.1|0612345678|0491234500|PJSIP/100-00000002",
                                "ShowConnectedCall|0612345678|0491234500|1796795636.1|PJSIP/100-00000002",
                                "OpenCallerAgenda|1796795636.1", "RemoveCallCard|1796795636.1"})}),
    [](const ::testing::TestParamInfo<CaptureCase>& info) { return std::string(info.param.name); });

// --- Message and header rules ------------------------------------------------

struct RuleCase
{
    const char* name;
    QByteArray text;
    QList<QByteArray> operations;
};

class ModernRules : public ::testing::TestWithParam<RuleCase>
{
};

TEST_P(ModernRules, GiveTheOperations)
{
    Session session(true);
    session.interpretation->interpret(GetParam().text);
    EXPECT_EQ(session.cards.calls(), GetParam().operations);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModernRules,
    ::testing::Values(
        RuleCase{"MessageOpenAtTheEnd_IsNotInterpreted", ring, {}},
        RuleCase{"EventLineEndsAMessageWithoutEmptyLine", ring + ring + "\r\n",
                 operations({"AddRingingCard|||1|SIP/100-1"})},
        RuleCase{"LfAndCrLineEnds",
                 QByteArray(ring).replace("\r\n", "\n") + "\n" + QByteArray(ring).replace("\r\n", "\r") + "\r",
                 operations({"AddRingingCard|||1|SIP/100-1"})},
        RuleCase{"LineOfBlanksIsNoMessageEnd",
                 "Event: Newstate\r\nChannel: SIP/100-1\r\n \r\nChannelState: 5\r\nUniqueid: 1\r\n\r\n",
                 operations({"AddRingingCard|||1|SIP/100-1"})},
        RuleCase{"NamesWithoutCase_FirstOneCounts_ValuesTrimmedOfBlanksAndTabs",
                 "EVENT: newstate\r\nchannel:\tPJSIP/100-2;2 \r\nChannel: SIP/200-1\r\nchannelstate: 6\r\n"
                 "UNIQUEID:  2 \r\nUniqueid: 3\r\n\r\n",
                 operations({"ShowConnectedCall|||2|PJSIP/100-2", "OpenCallerAgenda|2"})},
        RuleCase{
            "OnlyTheChannelHeaderNamesThePhone_ExtensionIsWhole",
            "Event: DialBegin\r\nChannel: SIP/ovh-1\r\nChannelState: 5\r\nUniqueid: 4\r\nDestChannel: SIP/100-5\r\n"
            "DestUniqueid: 5\r\n\r\nEvent: Newstate\r\nChannel: SIP/1000-6\r\nChannelState: 5\r\nUniqueid: 6\r\n\r\n"
            "Event: Newstate\r\nChannel: IAX2/100-7\r\nChannelState: 5\r\nUniqueid: 7\r\n\r\n"
            "Event: Newstate\r\nChannel: sip/100\r\nChannelState: 5\r\nUniqueid: 8\r\n\r\n",
            operations({"AddRingingCard|||8|sip/100"})},
        RuleCase{"RingingWinsAndOldStates_CallerIdWithoutConnectedLine",
                 "Event: Newchannel\r\nChannel: SIP/100-1\r\nState: Ringing\r\nChannelStateDesc: Up\r\n"
                 "CallerID: 0611\r\nUniqueid: 1\r\n\r\nEvent: Newstate\r\nChannel: SIP/100-1\r\nState: Up\r\n"
                 "CallerIDNum: 0622\r\nCallerIDName: 0491:Martin 0622\r\nUniqueid: 1\r\n\r\n",
                 operations({"AddRingingCard|0611||1|SIP/100-1", "UpdateCallCard|1|0622|0491|SIP/100-1",
                             "ShowConnectedCall|0622|0491|1|SIP/100-1", "OpenCallerAgenda|1"})},
        RuleCase{"UnknownConnectedLine_NeverFallsBackToThePhonesOwnNumber",
                 "Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 5\r\nCallerIDNum: 100\r\n"
                 "CallerIDName: Accueil\r\nConnectedLineNum: <unknown>\r\nConnectedLineName: X\r\nUniqueid: 1\r\n\r\n",
                 operations({"AddRingingCard|||1|SIP/100-1"})},
        RuleCase{"AnsweredOnceOnly_AndHangupWhateverItsState",
                 "Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 6\r\nUniqueid: 1\r\n\r\n"
                 "Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 6\r\nUniqueid: 1\r\n\r\n"
                 "Event: Hangup\r\nChannel: SIP/100-1\r\nChannelState: 6\r\nUniqueid: 1\r\n\r\n"
                 "Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 5\r\nUniqueid: 1\r\n\r\n",
                 operations({"ShowConnectedCall|||1|SIP/100-1", "OpenCallerAgenda|1", "RemoveCallCard|1"})},
        RuleCase{
            "MasqueradedChannel_HangupOfANewKeyRemovesTheChannelsCard",
            ring + "\r\nEvent: Hangup\r\nChannel: SIP/100-1<ZOMBIE>;1\r\nUniqueid: 9\r\n\r\n"
                   "Event: Hangup\r\nChannel: SIP/100-1\r\nUniqueid: 10\r\n\r\n",
            operations({"AddRingingCard|||1|SIP/100-1", "RemoveCallCard|9", "RemoveCallCard|10", "RemoveCallCard|1"})},
        RuleCase{"ChallengeOnlyFromAResponse_ResponseLineSplitsResponses",
                 "Event: ChallengeSent\r\nChallenge: 1\r\n\r\nResponse: Success\r\nChallenge: 2\r\n"
                 "Response: Success\r\nChallenge: 3\r\n\r\nEvent: OriginateResponse\r\nResponse: Success\r\n"
                 "Challenge: 4\r\n\r\n",
                 operations({"Challenge|2", "Challenge|3"})},
        RuleCase{
            "DeviceThatRangFirstGivesUp_TheCardStaysOnTheOtherUntilItsLegGoes",
            "Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 5\r\nConnectedLineNum: 0611\r\n"
            "Uniqueid: 1\r\nLinkedid: 0\r\n\r\nEvent: Newstate\r\nChannel: SIP/100-2\r\nChannelState: 5\r\n"
            "ConnectedLineNum: 0611\r\nUniqueid: 2\r\nLinkedid: 0\r\n\r\n"
            "Event: Hangup\r\nChannel: SIP/100-1\r\nUniqueid: 1\r\nCause: 21\r\n\r\n"
            "Event: Hangup\r\nChannel: SIP/100-2\r\nUniqueid: 2\r\nCause: 16\r\n\r\n",
            operations({"AddRingingCard|0611||1|SIP/100-1", "UpdateCallCard|1|0611||SIP/100-2", "RemoveCallCard|1"})},
        RuleCase{"AnsweredCallRungAgainInTheSameLinkedCall_GetsACardOfItsOwn",
                 "Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 6\r\nConnectedLineNum: 0611\r\n"
                 "Uniqueid: 1\r\nLinkedid: 0\r\n\r\nEvent: Newstate\r\nChannel: SIP/100-2\r\nChannelState: 5\r\n"
                 "ConnectedLineNum: 201\r\nUniqueid: 2\r\nLinkedid: 0\r\n\r\n",
                 operations({"ShowConnectedCall|0611||1|SIP/100-1", "OpenCallerAgenda|1",
                             "AddRingingCard|201||2|SIP/100-2"})},
        RuleCase{"ConnectedLineAfterATransfer_UpdatesTheCard_NeverWithThePhonesOwnNumber",
                 "Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 6\r\nCallerIDNum: 100\r\n"
                 "ConnectedLineNum: 0611\r\nUniqueid: 1\r\n\r\nEvent: NewConnectedLine\r\nChannel: SIP/100-1\r\n"
                 "ChannelState: 6\r\nCallerIDNum: 100\r\nConnectedLineNum: 100\r\nUniqueid: 1\r\n\r\n"
                 "Event: NewConnectedLine\r\nChannel: SIP/100-1\r\nChannelState: 6\r\nConnectedLineNum: 0622\r\n"
                 "ConnectedLineName: 0491:Durand\r\nUniqueid: 1\r\n\r\nEvent: NewConnectedLine\r\n"
                 "Channel: SIP/100-9\r\nChannelState: 6\r\nConnectedLineNum: 0633\r\nUniqueid: 9\r\n\r\n",
                 operations({"ShowConnectedCall|0611||1|SIP/100-1", "OpenCallerAgenda|1",
                             "UpdateCallCard|1|0622|0491|SIP/100-1"})},
        RuleCase{"KeyMissingOrEmpty_ChangesNoCard",
                 "Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 5\r\nUniqueid:\r\n\r\n"
                 "Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 5\r\nUniqueID2: 3\r\n\r\n",
                 {}}),
    [](const ::testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

// --- The other party's leg, for the two-call transfer ---------------------------

struct PeerCase
{
    const char* name;
    QByteArray text;
    QByteArray cardChannel;
    QByteArray peer;
};

class BridgedPeer : public ::testing::TestWithParam<PeerCase>
{
};

TEST_P(BridgedPeer, IsTheOtherLegOfTheDial)
{
    Session session(true);
    session.interpretation->interpret(GetParam().text);
    EXPECT_EQ(static_cast<ModernEventInterpreter&>(*session.interpretation).bridgedPeer(GetParam().cardChannel),
              GetParam().peer);
}

const QByteArray dialToThePhone = "Event: DialBegin\r\nChannel: SIP/ovh-4\r\nUniqueid: 4\r\nDestChannel: SIP/100-5\r\n"
                                  "DestUniqueid: 5\r\n\r\nEvent: Newstate\r\nChannel: SIP/100-5\r\nChannelState: 5\r\n"
                                  "Uniqueid: 5\r\n\r\n";
const QByteArray phoneAnswers = "Event: Newstate\r\nChannel: SIP/100-5\r\nChannelState: 6\r\nUniqueid: 5\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, BridgedPeer,
    ::testing::Values(PeerCase{"AnsweredBeforeTheDialEnds_TheCallerFromTheDialsStart", dialToThePhone + phoneAnswers,
                               "SIP/100-5", "SIP/ovh-4"},
                      PeerCase{"PlacedCall_TheDialledLegOnceAnswered",
                               "Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 6\r\nConnectedLineNum: 0611\r\n"
                               "Uniqueid: 1\r\n\r\nEvent: DialEnd\r\nChannel: SIP/100-1\r\nUniqueid: 1\r\n"
                               "DestChannel: SIP/ovh-2\r\nDestUniqueid: 2\r\nDialStatus: ANSWER\r\n\r\n",
                               "SIP/100-1", "SIP/ovh-2"},
                      PeerCase{"NoDial_NoPeer", phoneAnswers, "SIP/100-5", ""}),
    [](const ::testing::TestParamInfo<PeerCase>& info) { return std::string(info.param.name); });

// --- The legs that keep a card live across a reconnection ---------------------

TEST(OtherLegs, AreTheDevicesStillUpInTheCallBesidesTheOneThatKeyedTheCard)
{
    Session session(true);
    auto& interpretation = static_cast<ModernEventInterpreter&>(*session.interpretation);
    interpretation.interpret("Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 5\r\nUniqueid: 1\r\n"
                             "Linkedid: 0\r\n\r\nEvent: Newstate\r\nChannel: SIP/100-2\r\nChannelState: 5\r\n"
                             "Uniqueid: 2\r\nLinkedid: 0\r\n\r\n");
    EXPECT_EQ(interpretation.otherLegs("1"), QByteArrayList{"2"});
    // The first device is let go once the second answers.
    interpretation.interpret("Event: Newstate\r\nChannel: SIP/100-2\r\nChannelState: 6\r\nUniqueid: 2\r\n\r\n"
                             "Event: Hangup\r\nChannel: SIP/100-1\r\nUniqueid: 1\r\n\r\n");
    EXPECT_EQ(interpretation.otherLegs("1"), QByteArrayList{"2"});
    EXPECT_TRUE(interpretation.otherLegs("2").isEmpty()) << "no card has that key";
    interpretation.interpret("Event: Hangup\r\nChannel: SIP/100-2\r\nUniqueid: 2\r\n\r\n");
    EXPECT_TRUE(interpretation.otherLegs("1").isEmpty());
}

} // namespace
