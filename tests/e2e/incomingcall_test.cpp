// Scripted incoming calls of the real simulator, in both older header styles and
// through both interpretations, become a ringing card, then an answered card,
// then no card; the journal keeps what the manager sent.
#include "corvalinefixture.h"

#include "app/mainwindow.h"
#include "supervision/callcard.h"
#include "waitfor.h"

namespace {

struct StyleAndMode
{
    const char* style;
    const char* mode;
    const char* channelStart; // the card keeps the whole channel name in modern mode
    const char* sda;          // modern mode takes no name with a bare CallerID
};

class IncomingCall : public CorvalineOnLoopback, public ::testing::WithParamInterface<StyleAndMode>
{
};

TEST_P(IncomingCall, RingingThenAnsweredThenGone_AndTheJournalHoldsTheBlocks)
{
    // The first scripted call (0612345678 on the SDA 0491234500) is answered.
    startSimulator(OneScriptedCall(GetParam().style, "1", "1"));
    writeSettings(false, {QByteArray("mode_as=") + GetParam().mode});
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());

    ASSERT_TRUE(waitForCards(1));
    TFrame4* card = onlyCard();
    ASSERT_NE(card, nullptr);
    const QByteArray key = card->Hint;
    EXPECT_FALSE(key.isEmpty());
    EXPECT_FALSE(card->isAnswered());
    EXPECT_EQ(card->numberValue(), QByteArrayLiteral("0612345678"));
    EXPECT_EQ(card->sdaValue(), QByteArray(GetParam().sda));
    EXPECT_TRUE(card->channelValue().startsWith(GetParam().channelStart)) << card->channelValue().constData();
    EXPECT_EQ(form1->height(), TForm1::OptionsHeight + TForm1::CardHeight);

    ASSERT_TRUE(testsupport::waitFor([&] {
        const TFrame4* same = form1->findCallCard(key);
        return same && same->isAnswered();
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

INSTANTIATE_TEST_SUITE_P(HeaderStyles, IncomingCall,
                         ::testing::Values(StyleAndMode{"old", "Classique", "100-", "0491234500"},
                                           StyleAndMode{"new", "Classique", "100-", "0491234500"},
                                           StyleAndMode{"old", "Moderne", "SIP/100-", ""},
                                           StyleAndMode{"new", "Moderne", "SIP/100-", "0491234500"}),
                         [](const ::testing::TestParamInfo<StyleAndMode>& info) {
                             return std::string(info.param.style) + info.param.mode;
                         });

} // namespace
