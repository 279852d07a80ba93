// After every login the console asks the simulator for its live channels: a
// call that ended while the session was down loses its card, a call still up
// keeps it, and in modern mode a call already up gets one.
#include "corvalinefixture.h"

#include "gui/mainwindow.h"
#include "control.h"
#include "managerclient.h"
#include "gui/callcard.h"
#include "gui/managerconsole.h"
#include "waitfor.h"

#include <QPointer>
#include <QPushButton>

namespace {

struct WhileAway
{
    const char* mode;
    bool hangUp; // the call ends while the session is down
};

class CardsAfterReconnection : public CorvalineOnLoopback, public ::testing::WithParamInterface<WhileAway>
{
};

TEST_P(CardsAfterReconnection, OnlyTheCardsOfLiveCallsStay)
{
    startSimulator(OneScriptedCall("new", "0.3", "60"));
    writeSettings(false, {QByteArray("mode_as=") + GetParam().mode});
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    ASSERT_TRUE(testsupport::waitFor([&] { return onlyCard() && onlyCard()->isAnswered(); }));
    const QPointer<TFrame4> card = onlyCard();
    const QByteArray key = card->Hint;

    control<QPushButton>(form2, "DisconnectButton")->click();
    ASSERT_TRUE(waitForCards(2));
    if (GetParam().hangUp) {
        // Another manager client ends the call meanwhile; no event of it
        // reaches the program.
        ManagerClient other;
        ASSERT_TRUE(other.connectTo(simulator->port()));
        ASSERT_TRUE(other.login("demo", "demo"));
        other.send("Action: Hangup\r\nChannel: " + form2->managerChannel(card->channelValue()) + "\r\n\r\n");
        ASSERT_TRUE(other.waitFor("Event: Hangup\r\n"));
    }

    control<QPushButton>(form2, "ConnectButton")->click();
    ASSERT_TRUE(waitForLoggedIn(2));
    testsupport::spinEventLoop(100);
    if (GetParam().hangUp) {
        EXPECT_EQ(form1->CallCardCount(), 0);
    } else {
        EXPECT_EQ(form1->CallCardCount(), 1);
        EXPECT_EQ(form1->findCallCard(key), card.data()) << "the very same card, still answered";
        EXPECT_TRUE(card && card->isAnswered());
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, CardsAfterReconnection,
                         ::testing::Values(WhileAway{"Classique", true}, WhileAway{"Classique", false},
                                           WhileAway{"Moderne", true}, WhileAway{"Moderne", false}),
                         [](const ::testing::TestParamInfo<WhileAway>& info) {
                             return std::string(info.param.mode) + (info.param.hangUp ? "HungUp" : "StillUp");
                         });

using LiveCallsAtLogin = CorvalineOnLoopback;

TEST_F(LiveCallsAtLogin, ModernMode_ShowsTheAnsweredCallThatWasUpBeforeTheLogin)
{
    startSimulator(OneScriptedCall("modern", "0.2", "60"));
    ManagerClient watcher;
    ASSERT_TRUE(watcher.connectTo(simulator->port()));
    ASSERT_TRUE(watcher.login("demo", "demo"));
    ASSERT_TRUE(watcher.waitFor("Event: DialEnd\r\n"));

    writeSettings(false, {"mode_as=Moderne"});
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    ASSERT_TRUE(waitForCards(1));
    ASSERT_NE(onlyCard(), nullptr);
    EXPECT_TRUE(onlyCard()->isAnswered());
    EXPECT_EQ(onlyCard()->numberValue(), QByteArrayLiteral("0612345678"));
    EXPECT_TRUE(onlyCard()->channelValue().startsWith("SIP/100-"));
}

} // namespace
