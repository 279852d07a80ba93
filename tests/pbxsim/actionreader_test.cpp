#include "actionreader.h"
#include "transcript.h"

#include <gtest/gtest.h>

using pbxsim::ActionReader;
using pbxsim::splitTranscript;

TEST(ActionReader, CrLfBlock_GivesOneActionWithItsHeadersAndExactBytes)
{
    ActionReader reader;
    const QByteArray text("Action: Login\r\nUserName: admin\r\nSecret: s3cret\r\nEvents: On\r\n\r\n");
    const auto actions = reader.feed(text);
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0].message.value("Action"), QByteArray("Login"));
    EXPECT_EQ(actions[0].message.value("Secret"), QByteArray("s3cret"));
    EXPECT_EQ(actions[0].raw, text);
}

TEST(ActionReader, HeaderNames_MatchWithoutLetterCase)
{
    ActionReader reader;
    const auto actions = reader.feed("ACTION: Ping\r\nusername: bob\r\n\r\n");
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0].message.value("Action"), QByteArray("Ping"));
    EXPECT_EQ(actions[0].message.value("UserName"), QByteArray("bob"));
}

TEST(ActionReader, BareLineFeeds_AreAccepted)
{
    ActionReader reader;
    const auto actions = reader.feed("Action: Ping\nParameters: None\n\n");
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0].message.value("Parameters"), QByteArray("None"));
    EXPECT_EQ(actions[0].raw, QByteArray("Action: Ping\nParameters: None\n\n"));
}

TEST(ActionReader, BytesSplitAnywhere_GiveTheSameActions)
{
    const QByteArray text("Action: Ping\r\n\r\nAction: Hangup\r\nChannel: SIP/100-0000001a\r\n\r\n");
    ActionReader reader;
    QList<pbxsim::ReceivedAction> actions;
    for (const char byte : text)
        actions += reader.feed(QByteArray(1, byte));
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0].message.value("Action"), QByteArray("Ping"));
    EXPECT_EQ(actions[1].message.value("Channel"), QByteArray("SIP/100-0000001a"));
    EXPECT_EQ(actions[0].raw + actions[1].raw, text);
}

TEST(ActionReader, EmptyValue_IsKeptAsEmptyHeader)
{
    ActionReader reader;
    const auto actions = reader.feed("Action: Login\r\nUserName: \r\nSecret: \r\n\r\n");
    ASSERT_EQ(actions.size(), 1);
    EXPECT_TRUE(actions[0].message.has("Secret"));
    EXPECT_TRUE(actions[0].message.value("Secret").isEmpty());
}

TEST(ActionReader, EmptyLinesBetweenActions_AreSkipped)
{
    ActionReader reader;
    const auto actions = reader.feed("\r\n\r\nAction: Ping\r\n\r\n\r\n");
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0].raw, QByteArray("Action: Ping\r\n\r\n"));
}

TEST(ActionReader, IncompleteBlock_WaitsForItsEmptyLine)
{
    ActionReader reader;
    EXPECT_TRUE(reader.feed("Action: Ping\r\n").isEmpty());
    EXPECT_EQ(reader.feed("\r\n").size(), 1);
}

TEST(ActionReader, OverlongLine_IsDroppedAndTheStreamGoesOn)
{
    ActionReader reader;
    const QByteArray huge(ActionReader::MaxLineLength * 3, 'x');
    EXPECT_TRUE(reader.feed("Action: Ping\r\nJunk: " + huge.left(100)).isEmpty());
    EXPECT_TRUE(reader.feed(huge).isEmpty());
    const auto actions = reader.feed(huge + "\r\nParameters: None\r\n\r\n");
    ASSERT_EQ(actions.size(), 1);
    EXPECT_FALSE(actions[0].message.has("Junk"));
    EXPECT_EQ(actions[0].message.value("Parameters"), QByteArray("None"));
}

TEST(ActionReader, HeadersBeyondTheLimit_AreDropped)
{
    ActionReader reader;
    QByteArray text("Action: Ping\r\n");
    for (int i = 0; i < ActionReader::MaxHeaders + 50; ++i)
        text += "X-Header: " + QByteArray::number(i) + "\r\n";
    const auto actions = reader.feed(text + "\r\n");
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0].message.headers().size(), ActionReader::MaxHeaders);
}

TEST(Transcript, Blocks_EndWithTheirEmptyLineAndKeepEveryByte)
{
    const QByteArray text("Event: Newstate\r\nState: Up\r\n\r\nEvent: Hangup\nCause: 16\n\nTail");
    const QByteArrayList blocks = splitTranscript(text);
    ASSERT_EQ(blocks.size(), 3);
    EXPECT_EQ(blocks[0], QByteArray("Event: Newstate\r\nState: Up\r\n\r\n"));
    EXPECT_EQ(blocks[1], QByteArray("Event: Hangup\nCause: 16\n\n"));
    EXPECT_EQ(blocks[2], QByteArray("Tail"));
    EXPECT_EQ(blocks.join(), text);
}

TEST(Transcript, LeadingEmptyLines_StayWithTheFollowingBlock)
{
    const QByteArrayList blocks = splitTranscript("\r\n\r\nEvent: Hangup\r\n\r\n");
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0], QByteArray("\r\n\r\nEvent: Hangup\r\n\r\n"));
}
