// Scripted incoming calls of the real simulator, in both header styles, become
// a ringing card, then an answered card, then no card; the journal keeps what
// the manager sent.
#include "corvalinefixture.h"

#include "callcard.h"
#include "mainwindow.h"
#include "waitfor.h"

namespace {

class IncomingCall : public CorvalineOnLoopback, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(IncomingCall, RingingThenAnsweredThenGone_AndTheJournalHoldsTheBlocks)
{
    // The first scripted call (0612345678 on the SDA 0491234500) is answered.
    startSimulator(OneScriptedCall(GetParam(), "1", "1"));
    writeSettings(false);
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());

    ASSERT_TRUE(waitForCards(1));
    TFrame4* card = onlyCard();
    ASSERT_NE(card, nullptr);
    const QByteArray key = card->Hint;
    EXPECT_FALSE(key.isEmpty());
    EXPECT_FALSE(card->IsAnswered());
    EXPECT_EQ(card->NumberValue(), QByteArrayLiteral("0612345678"));
    EXPECT_EQ(card->SdaValue(), QByteArrayLiteral("0491234500"));
    EXPECT_TRUE(card->ChannelValue().startsWith("100-")) << card->ChannelValue().constData();
    EXPECT_EQ(form1->height(), TForm1::OptionsHeight + TForm1::CardHeight);

    ASSERT_TRUE(testsupport::waitFor([&] {
        const TFrame4* same = form1->FindCallCard(key);
        return same && same->IsAnswered();
    }));
    EXPECT_EQ(form1->CallCardCount(), 1);

    ASSERT_TRUE(waitForCards(0));
    EXPECT_EQ(form1->height(), TForm1::OptionsHeight);

    // Every block that named the call went to the journal as it came.
    const QByteArray written = journal();
    int callBlocks = 0;
    for (const QByteArray& block : ManagerBlocks(received)) {
        if (!block.contains(key))
            continue;
        ++callBlocks;
        EXPECT_TRUE(written.contains(block)) << block.constData();
    }
    EXPECT_GE(callBlocks, 3);
    EXPECT_TRUE(written.contains("Message: Authentication accepted"));
}

INSTANTIATE_TEST_SUITE_P(HeaderStyles, IncomingCall, ::testing::Values("old", "new"));

} // namespace
