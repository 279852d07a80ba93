// The PBX goes down and comes back on the same port: one disconnection card and
// the "Connexion" button while it is away, a new session and login at the next
// tick of the console once it is back, and only the cards of calls still live.
#include "corvalinefixture.h"

#include "gui/mainwindow.h"
#include "control.h"
#include "managerclient.h"
#include "net/tncnx.h"
#include "gui/callcard.h"
#include "gui/managerconsole.h"
#include "waitfor.h"

#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

constexpr char Accepted[] = "Message: Authentication accepted\r\n";

class Reconnection : public CorvalineOnLoopback
{
protected:
    void start()
    {
        startSimulator();
        writeSettings(false);
        createWindows();
        ASSERT_TRUE(startUpAndLogIn());
        ASSERT_TRUE(connectedState());
    }

    // Connected, with that many call cards.
    bool connectedState(int cards = 0) const
    {
        return form2->TnCnx->SessionOpen() && form1->CallCardCount() == cards &&
               form1->height() == TForm1::OptionsHeight + cards * TForm1::CardHeight &&
               !control<QPushButton>(form1, "Button1")->isVisibleTo(control<QFrame>(form1, "Panel1")) &&
               control<QFrame>(form1, "Panel1")->maximumHeight() == 14 &&
               !control<QPushButton>(form2, "ConnectButton")->isEnabled() &&
               control<QPushButton>(form2, "DisconnectButton")->isEnabled() &&
               control<QPlainTextEdit>(form2, "DisplayMemo")->isEnabled();
    }

    bool disconnectedState() const
    {
        return !form2->TnCnx->SessionOpen() && form1->CallCardCount() == 1 &&
               form1->findCallCard(TFrame4::DisconnectionKey) != nullptr &&
               form1->height() == TForm1::OptionsHeight + TForm1::CardHeight &&
               control<QPushButton>(form1, "Button1")->isVisibleTo(control<QFrame>(form1, "Panel1")) &&
               control<QFrame>(form1, "Panel1")->maximumHeight() == 25 &&
               control<QPushButton>(form2, "ConnectButton")->isEnabled() &&
               !control<QPushButton>(form2, "DisconnectButton")->isEnabled() &&
               !control<QPlainTextEdit>(form2, "DisplayMemo")->isEnabled();
    }

    // Kills the simulator and waits for the program to show the loss.
    void killSimulator()
    {
        ASSERT_TRUE(simulator->kill());
        ASSERT_TRUE(testsupport::waitFor([&] { return disconnectedState(); }));
    }

    // Starts the simulator again and lets one console tick reconnect.
    void restartAndTick(qsizetype loginsSoFar)
    {
        ASSERT_TRUE(simulator->start());
        form2->Timer1Timer();
        ASSERT_TRUE(waitForReceived(Accepted, loginsSoFar + 1));
        ASSERT_TRUE(testsupport::waitFor([&] { return connectedState(); }));
    }
};

TEST_F(Reconnection, KilledSimulator_ShowsOneDisconnectionCardAndTheConnectButton)
{
    start();
    killSimulator();
    const TFrame4* card = form1->findCallCard(TFrame4::DisconnectionKey);
    EXPECT_FALSE(control<QToolButton>(card, "SpeedButton1")->isVisibleTo(card));
    EXPECT_FALSE(control<QPushButton>(card, "SpeedButton4")->isEnabled());
    EXPECT_EQ(card->sdaValue(), QByteArrayLiteral("/ Attention D\xe9"
                                                  "connect\xe9"));
}

TEST_F(Reconnection, TickWhileThePbxIsStillAway_NotesTheRefusalAndKeepsOneCard)
{
    start();
    killSimulator();
    form2->Timer1Timer();
    EXPECT_TRUE(memo().contains(QStringLiteral("*** NOT CONNECTED ***")));
    ASSERT_TRUE(testsupport::waitFor([&] { return memo().contains(QStringLiteral("Erreur #10061")); }));
    testsupport::spinEventLoop(100);
    EXPECT_TRUE(disconnectedState());
}

TEST_F(Reconnection, RestartedSimulator_ReconnectsAtTheNextTickAndRemovesTheCard)
{
    start();
    killSimulator();
    restartAndTick(1);
    // The new session logged in again, in the plain form.
    EXPECT_EQ(simulator->log().count("Action: Login\r\nUserName: demo\r\nSecret: demo\r\nEvents: On\r\n\r\n"), 2);
}

TEST_F(Reconnection, HundredKillAndRestartCyclesWithCalls_EndWithTheCardsOfTheLiveCallsOnly)
{
    // Every run of the simulator rings the phone just after the login with a
    // call that lasts: each kill leaves cards that no Hangup will ever remove.
    startSimulator(OneScriptedCall("modern", "0.1", "600"));
    writeSettings(false, {"mode_as=Moderne"});
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    const auto sessionLost = [&] {
        return !form2->TnCnx->SessionOpen() && form1->findCallCard(TFrame4::DisconnectionKey) != nullptr;
    };
    const auto anyCallCard = [&] { return form1->CallCardCount() > 0; };
    const auto answeredCard = [&] { return onlyCard() && onlyCard()->isAnswered(); };
    // For a failure's message: the cards shown and the end of what came.
    const auto shown = [&] {
        QByteArray text;
        for (const TFrame4* card : cards())
            text += card->Hint + (card->isAnswered() ? " answered; " : " ringing; ");
        return (text + "\n" + received.right(3000)).toStdString();
    };
    for (int cycle = 1; cycle <= 100; ++cycle) {
        SCOPED_TRACE(cycle);
        // Kills land, in turn, as soon as the session is up, once the run's
        // call has a card and once it is answered: what the program is told
        // decides, not how fast the machine is.
        if (cycle % 3 == 1) {
            ASSERT_TRUE(testsupport::waitFor(anyCallCard, 60000)) << shown();
        } else if (cycle % 3 == 2) {
            ASSERT_TRUE(testsupport::waitFor(answeredCard, 60000)) << shown();
        }
        ASSERT_TRUE(simulator->kill());
        ASSERT_TRUE(testsupport::waitFor(sessionLost, 60000));
        ASSERT_TRUE(simulator->start()) << simulator->errors().constData();
        form2->Timer1Timer();
        ASSERT_TRUE(waitForLoggedIn(cycle + 1));
    }

    // The last run's call, once answered, is the only card.
    ASSERT_TRUE(testsupport::waitFor(answeredCard, 60000)) << shown();
    ManagerClient other;
    ASSERT_TRUE(other.connectTo(simulator->port()));
    ASSERT_TRUE(other.login("demo", "demo"));
    other.take();
    other.send("Action: Status\r\n\r\n");
    ASSERT_TRUE(other.waitFor("Event: StatusComplete\r\n"));
    const QByteArray live = other.take();
    const qsizetype phoneChannel = live.indexOf("Channel: SIP/100-");
    ASSERT_GE(phoneChannel, 0) << live.constData();
    const qsizetype keyAt = live.indexOf("Uniqueid: ", phoneChannel) + 10;
    EXPECT_EQ(onlyCard()->Hint, live.mid(keyAt, live.indexOf("\r\n", keyAt) - keyAt));
    EXPECT_TRUE(connectedState(1));
}

TEST_F(Reconnection, ConnexionButton_ConnectsAndLogsInAgain)
{
    start();
    killSimulator();
    ASSERT_TRUE(simulator->start());
    control<QPushButton>(form1, "Button1")->click();
    ASSERT_TRUE(waitForReceived(Accepted, 2));
    ASSERT_TRUE(testsupport::waitFor([&] { return connectedState(); }));
}

} // namespace
