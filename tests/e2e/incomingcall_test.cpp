// Scripted incoming calls of the real simulator, in both older header styles and
// through both interpretations, become a ringing card, then an answered card,
// then no card; the journal keeps what the manager sent.
#include "corvalinefixture.h"

#include "gui/mainwindow.h"
#include "gui/callcard.h"
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

    // The card's states are taken from the main window's reports as they
    // happen: a look now and then could miss a second of ringing on a busy
    // machine.
    ASSERT_TRUE(testsupport::waitFor([&] { return goneCards() == 1; }, 60000));
    ASSERT_EQ(cardLives.size(), 1);
    const QByteArray key = cardLives.firstKey();
    const CardLife life = cardLives.first();
    EXPECT_FALSE(key.isEmpty());
    EXPECT_TRUE(life.ringing);
    EXPECT_TRUE(life.answered);
    EXPECT_FALSE(life.back);
    EXPECT_EQ(life.number, QByteArrayLiteral("0612345678"));
    EXPECT_EQ(life.sda, QByteArray(GetParam().sda));
    EXPECT_TRUE(life.channel.startsWith(GetParam().channelStart)) << life.channel.constData();
    EXPECT_EQ(life.windowHeight, TForm1::OptionsHeight + TForm1::CardHeight);

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
