#include "cardrecorder.h"
#include "supervision/classiceventinterpreter.h"

#include <QByteArray>
#include <QList>
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace {

// Manager lines closed by CR LF each, as the manager sends them.
QByteArray lines(std::initializer_list<const char*> list)
{
    QByteArray text;
    for (const char* line : list)
        text += QByteArray(line) + "\r\n";
    return text;
}

QList<QByteArray> expected(std::initializer_list<const char*> list)
{
    QList<QByteArray> calls;
    for (const char* call : list)
        calls.append(QByteArray(call));
    return calls;
}

class Interpretation : public ::testing::Test
{
protected:
    // Interprets the blocks in turn and returns the card operations they called.
    QList<QByteArray> run(std::initializer_list<QByteArray> blocks)
    {
        cards.clearCalls();
        for (const QByteArray& block : blocks)
            interpreter.interpret(block);
        return cards.calls();
    }
    QList<QByteArray> run(const QByteArray& block) { return run({block}); }

    QByteArray extension = QByteArrayLiteral("100");
    QList<QByteArray> challenges;
    CardRecorder cards;
    ClassicEventInterpreter interpreter{cards, [this] { return extension; },
                                        [this](const QByteArray& value) { challenges.append(value); }};
};

// --- The two worked examples -------------------------------------------------

TEST_F(Interpretation, NewerRingingThenHangup_AddsCardThenRemovesIt_WithRepetitions)
{
    const QByteArray block = lines({"Event: Newstate", "Privilege: call,all", "Channel: SIP/100-0a", "ChannelState: 5",
                                    "ChannelStateDesc: Ringing", "CallerIDNum: 100", "CallerIDName: Alice",
                                    "ConnectedLineNum: 201", "ConnectedLineName: Bob", "Uniqueid: 77.5", "",
                                    "Event: Hangup", "Channel: SIP/100-0a", "Uniqueid: 77.5", "Cause: 16", ""});
    EXPECT_EQ(run(block), expected({"AddRingingCard|201|Bob|77.5|100-0a", "AddRingingCard|201|Bob|77.5|100-0a",
                                    "RemoveCallCard|77.5", "RemoveCallCard|77.5", "RemoveCallCard|77.5"}));
}

TEST_F(Interpretation, OlderAnsweredThenBridge_ShowsCallThenRemovesIt_WithRepetitions)
{
    const QByteArray block =
        lines({"Event: Newstate", "Channel: SIP/100-0b", "State: Up", "CallerID: 202", "CallerIDName: Carol",
               "Uniqueid: 78.1", "", "Event: Bridge", "Bridgestate: Link", "Channel1: SIP/100-0b",
               "Channel2: SIP/202-0c", "Uniqueid1: 78.1", "Uniqueid2: 78.2"});
    EXPECT_EQ(run(block),
              expected({"ShowConnectedCall|202|Carol|78.1|100-0b", "ShowConnectedCall|202|Carol|78.1|100-0b",
                        "RemoveCallCard|78.1", "RemoveCallCard|78.1"}));
}

// --- Line splitting -----------------------------------------------------------

TEST_F(Interpretation, EmptyTextOrOnlyLineBreaks_CallsNothing)
{
    EXPECT_TRUE(run(QByteArray()).isEmpty());
    EXPECT_TRUE(run(QByteArrayLiteral("\r\n\r\n\r\n")).isEmpty());
}

TEST_F(Interpretation, BareCrSeparatesLines_AndTextAfterLastCrIsALine)
{
    EXPECT_EQ(run(QByteArrayLiteral("Event: Newstate\rChannel: SIP/100-1\rState: Ring\rUniqueid: 1.1")),
              expected({"AddRingingCard|||1.1|100-1"}));
}

TEST_F(Interpretation, LfNotAfterCr_StaysInsideTheLine)
{
    // One line holding both headers: the channel and the key are each taken
    // from the whole line, LF included.
    EXPECT_EQ(run(QByteArrayLiteral("Event: Dial\r\nChannel: SIP/100-1\nUniqueid: 5\r\n")),
              expected({"AddRingingCard|||Channel: SIP/100-1\n5|100-1\nUniqueid: 5"}));
}

TEST_F(Interpretation, EmptyLinesAreInterpreted_AndRepeatTheOperation)
{
    EXPECT_EQ(run(QByteArrayLiteral("Event: Dial\r\nChannel: SIP/100-1\r\nUniqueid: 9\r\n\r\n\r\n")),
              expected({"AddRingingCard|||9|100-1", "AddRingingCard|||9|100-1", "AddRingingCard|||9|100-1"}));
}

TEST_F(Interpretation, TextEndingWithCrOrCrLf_HasNoExtraEmptyLine)
{
    const QByteArray event = QByteArrayLiteral("Event: Dial\r\nChannel: SIP/100-1\r\nUniqueid: 9");
    const QList<QByteArray> once = expected({"AddRingingCard|||9|100-1"});
    EXPECT_EQ(run(event), once);
    EXPECT_EQ(run(event + "\r"), once);
    EXPECT_EQ(run(event + "\r\n"), once);
    EXPECT_EQ(run(event + "\r\r").size(), 2);
}

TEST_F(Interpretation, OnlyOneLfAfterCrIsSkipped)
{
    EXPECT_EQ(run(QByteArrayLiteral("Event: Dial\r\nChannel: SIP/100-1\r\nUniqueid: 9\r\n\n")).size(), 2);
}

// --- State tests -----------------------------------------------------------------

TEST_F(Interpretation, LineWithSeveralStateTexts_LowestRowWins)
{
    const QByteArray rest = lines({"Channel: SIP/100-1", "Uniqueid: 3"});
    EXPECT_EQ(run(lines({"Event: Hangup State: Up"}) + rest), expected({"ShowConnectedCall|||3|100-1"}));
    EXPECT_EQ(run(lines({"Event: Newstate", "State: Up ChannelState: 6"}) + rest), expected({"OpenCallerAgenda|3"}));
    EXPECT_EQ(run(lines({"Event: Newstate", "ChannelState: 6 State: Ring"}) + rest), expected({"OpenCallerAgenda|3"}));
    EXPECT_EQ(run(lines({"Event: Newstate", "State: Up Event: Hangup"}) + rest),
              expected({"ShowConnectedCall|||3|100-1"}));
}

TEST_F(Interpretation, LineMatchingNoStateText_KeepsTheState)
{
    EXPECT_EQ(run(lines({"Event: Newstate", "ChannelState: 5", "Foo: Bar", "Channel: SIP/100-1", "Uniqueid: 3"})),
              expected({"AddRingingCard|||3|100-1"}));
}

TEST_F(Interpretation, OlderStateRinging_IsRing_ButNewerDescRing_SetsNothing)
{
    EXPECT_EQ(run(lines({"Event: Newstate", "State: Ringing", "Channel: SIP/100-1", "Uniqueid: 3"})),
              expected({"AddRingingCard|||3|100-1"}));
    EXPECT_TRUE(
        run(lines({"Event: Newstate", "ChannelStateDesc: Ring", "Channel: SIP/100-1", "Uniqueid: 3"})).isEmpty());
}

TEST_F(Interpretation, LongerEventNameStartingWithDial_IsRing)
{
    EXPECT_EQ(run(lines({"Event: DialBegin", "Channel: SIP/100-1", "Uniqueid: 3"})),
              expected({"AddRingingCard|||3|100-1"}));
}

TEST_F(Interpretation, BridgestateLinkRemovesLikeUnlink_OlderLinkEventCallsNothing)
{
    EXPECT_EQ(run(lines({"Event: Bridge", "Bridgestate: Unlink", "Channel1: SIP/100-1", "Uniqueid1: 3"})),
              expected({"RemoveCallCard|3"}));
    EXPECT_EQ(run(lines({"Event: Unlink", "Channel1: SIP/100-1", "Uniqueid1: 3"})), expected({"RemoveCallCard|3"}));
    EXPECT_TRUE(run(lines({"Event: Link", "Channel1: SIP/100-1", "Uniqueid1: 3"})).isEmpty());
}

TEST_F(Interpretation, UserEventLine_StartsANewEvent)
{
    EXPECT_TRUE(run(lines({"Event: Dial", "Channel: SIP/100-1", "UserEvent: X", "Uniqueid: 4"})).isEmpty());
}

TEST_F(Interpretation, OperationRepeatsThroughFollowingReplyUntilNextEvent)
{
    const QByteArray block = lines({"Event: Hangup", "Channel: SIP/100-1", "Uniqueid: 4", "", "Response: Success",
                                    "Ping: Pong", "", "Event: PeerStatus", "Peer: SIP/100", ""});
    EXPECT_EQ(run(block).size(), 5);
}

// --- The two header styles ---------------------------------------------------------

TEST_F(Interpretation, OlderRingingHeaders_AddRingingCardWithCallerIdAndName)
{
    EXPECT_EQ(run(lines({"Event: Newstate", "Channel: SIP/100-1", "State: Ringing", "CallerID: 300",
                         "CallerIDName: Dan", "Uniqueid: 1.2"})),
              expected({"AddRingingCard|300|Dan|1.2|100-1"}));
}

TEST_F(Interpretation, OlderCallerIdNumHeader_GivesTheNumberInRingAndUp)
{
    EXPECT_EQ(run(lines({"Event: Newstate", "State: Up", "CallerIDNum: 301", "Channel: SIP/100-1", "Uniqueid: 1.2"})),
              expected({"ShowConnectedCall|301||1.2|100-1"}));
}

TEST_F(Interpretation, NewerUpHeaders_OpenCallerAgendaWithKey)
{
    EXPECT_EQ(run(lines({"Event: Newstate", "Channel: SIP/100-1", "ChannelState: 6", "ChannelStateDesc: Up",
                         "CallerIDNum: 300", "Uniqueid: 1.2"})),
              expected({"OpenCallerAgenda|1.2"}));
}

TEST_F(Interpretation, ChannelNameIsCutAtSemicolon)
{
    EXPECT_EQ(run(lines({"Event: Hangup", "Channel: SIP/100-00000a1f;2", "Uniqueid: 1.2"})),
              expected({"RemoveCallCard|1.2"}));
    EXPECT_EQ(run(lines({"Event: Dial", "Channel1: SIP/100-1;2 ", "Uniqueid1: 1.3"})),
              expected({"AddRingingCard|||1.3|100-1"}));
}

TEST_F(Interpretation, CallerIdIgnoredOutsideRingAndUp_ConnectedLineOutsideStateRinging)
{
    EXPECT_EQ(run(lines({"Event: Newchannel", "CallerID: 300", "ConnectedLineNum: 301", "ConnectedLineName: X",
                         "ChannelState: 5", "Channel: SIP/100-1", "Uniqueid: 1"})),
              expected({"AddRingingCard|||1|100-1"}));
    EXPECT_EQ(run(lines({"Event: Newstate", "State: Up", "ConnectedLineNum: 301", "ConnectedLineName: X",
                         "Channel: SIP/100-1", "Uniqueid: 1"})),
              expected({"ShowConnectedCall|||1|100-1"}));
}

TEST_F(Interpretation, NumberAndSdaKeepTheirValueAcrossStateChanges)
{
    EXPECT_EQ(run(lines({"Event: Newchannel", "CallerIDNum: 400", "CallerIDName: Eve", "ChannelState: 5",
                         "Channel: SIP/100-1", "Uniqueid: 1"})),
              expected({"AddRingingCard|400|Eve|1|100-1"}));
}

// --- The user's extension ------------------------------------------------------------

TEST_F(Interpretation, ExtensionIsAPrefixOfTheChannelName)
{
    extension = QByteArrayLiteral("10");
    EXPECT_EQ(run(lines({"Event: Hangup", "Channel: SIP/100-0a", "Uniqueid: 2"})), expected({"RemoveCallCard|2"}));
}

TEST_F(Interpretation, OtherExtensionOrTechnology_IsNotTheUsers)
{
    EXPECT_TRUE(run(lines({"Event: Hangup", "Channel: SIP/200-0a", "Uniqueid: 2"})).isEmpty());
    EXPECT_TRUE(run(lines({"Event: Hangup", "Channel: IAX2/100-0a", "Uniqueid: 2"})).isEmpty());
    EXPECT_TRUE(run(lines({"Event: Hangup", "Channel: SIP/0100-0a", "Uniqueid: 2"})).isEmpty());
}

TEST_F(Interpretation, EmptyExtension_MatchesEverySipChannel)
{
    extension.clear();
    EXPECT_EQ(run(lines({"Event: Hangup", "Channel: SIP/200-0a", "Uniqueid: 2", "Event: Unlink", "Channel1: SIP/300-0b",
                         "Uniqueid1: 3", "Event: Hangup", "Channel: DAHDI/1-1", "Uniqueid: 4"})),
              expected({"RemoveCallCard|2", "RemoveCallCard|3"}));
}

TEST_F(Interpretation, SecondChannelOrDestinationHeader_DoesNotMakeTheEventTheUsers)
{
    EXPECT_TRUE(run(lines({"Event: Dial", "Source: SIP/300-1", "Destination: SIP/100-1", "Channel2: SIP/100-1",
                           "Uniqueid: 4", "Uniqueid1: 5"}))
                    .isEmpty());
}

TEST_F(Interpretation, ExtensionChangedDuringBlock_IsSeenAtTheNextLine)
{
    cards.setAddRingingCardHook([this] { extension = QByteArrayLiteral("200"); });
    EXPECT_EQ(run(lines({"Event: Dial", "Channel: SIP/100-1", "Uniqueid: 1", "Event: Dial", "Channel: SIP/100-2",
                         "Uniqueid: 2", "Event: Dial", "Channel: SIP/200-3", "Uniqueid: 3"})),
              expected({"AddRingingCard|||1|100-1", "AddRingingCard|||3|200-3"}));
}

TEST_F(Interpretation, ChannelHeaderWithAnotherChannelOfTheUserLater_InTheSameLine_Counts)
{
    EXPECT_EQ(run(lines({"Event: Hangup", "Channel: SIP/300-1 Channel: SIP/100-1", "Uniqueid: 2"})),
              expected({"RemoveCallCard|2"}));
}

// --- Fields ----------------------------------------------------------------------------

TEST_F(Interpretation, NameStartingWithNumber_LeavesBlankBeforeName)
{
    EXPECT_EQ(run(lines({"Event: Newstate", "State: Ring", "CallerID: 201", "CallerIDName: 201 Bob",
                         "Channel: SIP/100-1", "Uniqueid: 1"})),
              expected({"AddRingingCard|201| Bob|1|100-1"}));
}

TEST_F(Interpretation, NameWithColon_CutOnlyOutsideRingAndUp)
{
    EXPECT_EQ(
        run(lines({"Event: Newstate", "State: Ring", "CallerIDName: Bob:Smith", "Channel: SIP/100-1", "Uniqueid: 1"})),
        expected({"AddRingingCard||Bob:Smith|1|100-1"}));
    EXPECT_EQ(
        run(lines({"Event: Newstate", "State: Up", "CallerIDName: Bob:Smith", "Channel: SIP/100-1", "Uniqueid: 1"})),
        expected({"ShowConnectedCall||Bob:Smith|1|100-1"}));
    EXPECT_EQ(run(lines({"Event: Newstate", "ChannelState: 5", "ConnectedLineName: Bob:Smith", "Channel: SIP/100-1",
                         "Uniqueid: 1"})),
              expected({"AddRingingCard||Bob|1|100-1"}));
    EXPECT_EQ(run(lines({"Event: Newchannel", "CallerIDName: Bob:Smith", "State: Ring", "Channel: SIP/100-1",
                         "Uniqueid: 1"})),
              expected({"AddRingingCard||Bob|1|100-1"}));
}

TEST_F(Interpretation, NameEqualToNumber_GivesEmptySda)
{
    EXPECT_EQ(run(lines({"Event: Newstate", "ChannelState: 5", "ConnectedLineNum: <unknown>",
                         "ConnectedLineName: <unknown>", "Channel: SIP/100-1", "Uniqueid: 1"})),
              expected({"AddRingingCard|<unknown>||1|100-1"}));
}

TEST_F(Interpretation, RemovalScansTheOriginalTextOnce)
{
    // "2020" without "20" is empty, "2220" without "22" keeps "20": each
    // occurrence is removed from the original, never from the shortened text.
    EXPECT_EQ(run(lines({"Event: Newstate", "State: Ring", "CallerID: 22", "CallerIDName: 2220", "Channel: SIP/100-1",
                         "Uniqueid: 1"})),
              expected({"AddRingingCard|22|20|1|100-1"}));
}

TEST_F(Interpretation, TrimmingRemovesControlCharactersAndBlanks)
{
    EXPECT_EQ(run(lines({"Event: Newstate", "State: Ring", "CallerID: \t\x01 201 \x1f", "Channel: SIP/100-1",
                         "Uniqueid:  \x7f"
                         "1\x02 "})),
              expected({"AddRingingCard|201||\x7f"
                        "1|100-1"}));
}

// --- Keys --------------------------------------------------------------------------------

TEST_F(Interpretation, IdentifiersSpelledOtherwise_AreNotKeys)
{
    EXPECT_TRUE(run(lines({"Event: Dial", "Channel: SIP/100-1", "UniqueID: 5", "SrcUniqueID: 6", "DestUniqueID: 7",
                           "uniqueid: 8"}))
                    .isEmpty());
}

TEST_F(Interpretation, KeyBeforeChannelLine_FiresOnTheChannelLine)
{
    EXPECT_EQ(run(lines({"Event: Hangup", "Uniqueid: 6", "Channel: SIP/100-1"})), expected({"RemoveCallCard|6"}));
}

TEST_F(Interpretation, KeyBeforeState_FiresOnceStateIsKnown)
{
    EXPECT_EQ(run(lines({"Event: Newstate", "Uniqueid: 6", "Channel: SIP/100-1", "ChannelState: 5"})),
              expected({"AddRingingCard|||6|100-1"}));
}

TEST_F(Interpretation, TwoChannelKeyOnTheSameLine_IsTakenLast)
{
    EXPECT_EQ(run(lines({"Event: Unlink", "Channel1: SIP/100-1", "Uniqueid: 7 Uniqueid1: 8"})),
              expected({"RemoveCallCard|Uniqueid: 7 8"}));
}

// --- Block boundaries and NUL ---------------------------------------------------------------

TEST_F(Interpretation, NulIsDroppedAndTheRestRead)
{
    EXPECT_EQ(run(QByteArrayLiteral("Event: Dial\r\nChannel: SIP/100-1\0\r\nUniqueid: 7\r\n")),
              expected({"AddRingingCard|||7|100-1"}));
    EXPECT_EQ(run(QByteArrayLiteral("Event: Hangup\r\nChannel: SIP/1\0"
                                    "00-1\r\nUniqueid: 7\0\r\n\r\n")),
              expected({"RemoveCallCard|7", "RemoveCallCard|7"}));
}

TEST_F(Interpretation, EventCutBetweenBlocks_SecondPieceStartsEmpty)
{
    EXPECT_TRUE(run({QByteArrayLiteral("Event: Dial\r\nChannel: SIP/100-1\r\n"), QByteArrayLiteral("Uniqueid: 7\r\n")})
                    .isEmpty());
    EXPECT_TRUE(run({QByteArrayLiteral("Event: Dial\r\nChannel: SIP/100-1\r\nUniq"), QByteArrayLiteral("ueid: 7\r\n")})
                    .isEmpty());
    EXPECT_TRUE(
        run({QByteArrayLiteral("Event: Hangup\r\nUniqueid: 7\r\n"), QByteArrayLiteral("Channel: SIP/100-1\r\n")})
            .isEmpty());
}

TEST_F(Interpretation, StateIsNotCarriedToTheNextBlock)
{
    EXPECT_EQ(run({QByteArrayLiteral("Event: Newstate\r\nState: Up\r\n"),
                   QByteArrayLiteral("Channel: SIP/100-1\r\nUniqueid: 7\r\nState: Ring\r\n")}),
              expected({"AddRingingCard|||7|100-1"}));
}

// --- Challenge -------------------------------------------------------------------------------

TEST_F(Interpretation, ChallengeLine_RecordedTrimmed_InAnyState)
{
    run(lines({"Response: Success", "Challenge: 840415273 ", ""}));
    run(lines({"Event: Dial", "Channel: SIP/100-1", "Uniqueid: 7", "Challenge:   12345\t"}));
    run(lines({"Event: Hangup", "X-Challenge: abc", "Challenge: "}));
    EXPECT_EQ(challenges, expected({"840415273", "12345", "X-abc", ""}));
}

TEST_F(Interpretation, ChallengeLine_DoesNotEndTheEvent)
{
    EXPECT_EQ(run(lines({"Event: Dial", "Channel: SIP/100-1", "Challenge: 9", "Uniqueid: 7"})),
              expected({"AddRingingCard|||7|100-1"}));
    EXPECT_EQ(challenges, expected({"9"}));
}

// --- Nested runs ------------------------------------------------------------------------------

TEST_F(Interpretation, BlockInterpretedInsideCardCreation_LeavesBothInterpretationsCorrect)
{
    const QByteArray later = lines({"Uniqueid: 99", "Event: Newstate", "Channel: SIP/100-2", "State: Up",
                                    "CallerID: 303", "CallerIDName: Zoe", "Uniqueid: 2.2", "Challenge: inner"});
    bool delivered = false;
    cards.setAddRingingCardHook([&] {
        // As the event loop run by card creation would deliver the next block.
        if (delivered)
            return;
        delivered = true;
        interpreter.interpret(later);
    });
    const QByteArray earlier =
        lines({"Event: Newstate", "Channel: SIP/100-1", "ChannelState: 5", "ConnectedLineNum: 201",
               "ConnectedLineName: Bob", "Uniqueid: 1.1", "", "Event: Hangup", "Channel: SIP/100-1", "Uniqueid: 1.1"});
    EXPECT_EQ(run(earlier), expected({"AddRingingCard|201|Bob|1.1|100-1", "ShowConnectedCall|303|Zoe|2.2|100-2",
                                      "ShowConnectedCall|303|Zoe|2.2|100-2", "AddRingingCard|201|Bob|1.1|100-1",
                                      "RemoveCallCard|1.1"}));
    EXPECT_EQ(challenges, expected({"inner"}));
}

TEST_F(Interpretation, NestedRunReusingTheCallersBuffer_DoesNotDisturbTheOuterRun)
{
    // The socket hands each block in its own receive buffer; a nested delivery
    // overwrites that buffer while the outer run still works on its block.
    const QByteArray first = lines(
        {"Event: Dial", "Channel: SIP/100-1", "Uniqueid: 1", "", "Event: Hangup", "Channel: SIP/100-1", "Uniqueid: 1"});
    const QByteArray second = lines({"Event: Hangup", "Channel: SIP/100-9", "Uniqueid: 9"});
    std::vector<char> buffer(first.begin(), first.end());
    bool delivered = false;
    cards.setAddRingingCardHook([&] {
        if (delivered)
            return;
        delivered = true;
        std::fill(buffer.begin(), buffer.end(), '\0');
        std::copy(second.begin(), second.end(), buffer.begin());
        interpreter.interpret(QByteArrayView(buffer.data(), static_cast<qsizetype>(buffer.size())));
    });
    interpreter.interpret(QByteArrayView(buffer.data(), static_cast<qsizetype>(buffer.size())));
    EXPECT_EQ(cards.calls(), expected({"AddRingingCard|||1|100-1", "RemoveCallCard|9", "AddRingingCard|||1|100-1",
                                       "RemoveCallCard|1"}));
}

} // namespace
