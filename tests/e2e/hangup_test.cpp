// "Raccrocher" on a card hangs up the user's channel through the manager, and
// the manager's Hangup event removes the card.
#include "corvalinefixture.h"

#include "gui/mainwindow.h"
#include "gui/callcard.h"
#include "gui/managerconsole.h"
#include "waitfor.h"

#include <QAction>

namespace {

using HangUp = CorvalineOnLoopback;

TEST_F(HangUp, RaccrocherSendsTheHangupOfTheChannel_AndTheHangupEventRemovesTheCard)
{
    startSimulator(OneScriptedCall("new", "0.3", "60"));
    writeSettings(false);
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    ASSERT_TRUE(testsupport::waitFor([&] { return onlyCard() && onlyCard()->isAnswered(); }));
    TFrame4* card = onlyCard();
    const QByteArray channel = card->channelValue();
    ASSERT_TRUE(channel.startsWith("100-"));
    const QByteArray before = simulator->log();

    card->Raccrocher1->trigger();
    const QByteArray hangup = "Action: Hangup\r\nChannel: SIP/" + channel + "\r\n\r\n";
    ASSERT_TRUE(simulator->waitForLog(hangup));
    EXPECT_EQ(simulator->log(), before + hangup);
    ASSERT_TRUE(waitForCards(0));
    EXPECT_TRUE(received.contains("Event: Hangup\r\n"));
}

TEST_F(HangUp, WhileTheSessionIsClosed_NothingIsSent)
{
    startSimulator();
    writeSettings(false);
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    form2->DisconnectButtonClick();
    ASSERT_TRUE(waitForCards(1));
    TFrame4* card = form1->findCallCard(TFrame4::DisconnectionKey);
    ASSERT_NE(card, nullptr);
    const QByteArray before = simulator->log();
    card->Raccrocher1->trigger();
    testsupport::spinEventLoop(200);
    EXPECT_EQ(simulator->log(), before);
    EXPECT_TRUE(messages.isEmpty());
}

} // namespace
