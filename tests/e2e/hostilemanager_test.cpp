// The console against a manager of the test's own that sends what no
// simulator would: NUL bytes, a line without end, a call that rings while the
// live channels are listed, a login it never answers.
#include "corvalinefixture.h"
#include "scriptedmanager.h"

#include "gui/mainwindow.h"
#include "control.h"
#include "net/tncnx.h"
#include "gui/callcard.h"
#include "gui/dialwindow.h"
#include "gui/managerconsole.h"
#include "waitfor.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {

const QByteArray Ringing = QByteArrayLiteral("Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 5\r\n"
                                             "ConnectedLineNum: 201\r\nUniqueid: 1.1\r\n\r\n");

class HostileManager : public CorvalineOnLoopback
{
protected:
    // The windows, with the console set to the scripted manager in the given
    // mode and the journal on.
    void createWindowsFor(const QByteArray& mode = "Classique")
    {
        writeSettings(false, {"mode_as=" + mode}, manager.port());
        createWindows();
    }

    ScriptedManager manager;
};

TEST_F(HostileManager, NulInsideReceivedText_IsDropped_AndTheHangupAfterItEndsTheCall)
{
    createWindowsFor();
    ASSERT_TRUE(startUpAndLogIn());
    manager.send(Ringing);
    ASSERT_TRUE(waitForCards(1));
    manager.send(QByteArrayLiteral("Event: Hangup\r\n\0Channel: SIP/100-1\r\nUniqueid: 1.1\r\n\r\n"));
    EXPECT_TRUE(waitForCards(0));
}

TEST_F(HostileManager, CallThatRingsWhileTheLiveChannelsAreListed_KeepsItsCard)
{
    // The call rings right after the end of the list, in the same block.
    manager.setAnswer([](const QByteArray& action) {
        QByteArray answer = ScriptedManager::standardAnswer(action);
        if (action.startsWith("Action: Status\r\n"))
            answer += Ringing;
        return answer;
    });
    createWindowsFor();
    // A card left from before: the list does not name it, so its call ended.
    form1->AddRingingCard("202", QByteArray(), "0.9", "100-0");
    ASSERT_TRUE(startUpAndLogIn());
    ASSERT_TRUE(testsupport::waitFor(
        [&] { return received.contains("Uniqueid: 1.1\r\n\r\n") && !form1->findCallCard("0.9"); }));
    EXPECT_NE(form1->findCallCard("1.1"), nullptr);
    EXPECT_EQ(form1->CallCardCount(), 1);
}

// A line longer than any manager writes closes the session, shown in the memo
// but never the line itself; the next tick connects again.
class HostileManagerLine : public HostileManager, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(HostileManagerLine, LineWithoutEnd_ClosesTheSession_AndTheNextTickConnectsAgain)
{
    createWindowsFor(GetParam());
    ASSERT_TRUE(startUpAndLogIn());
    manager.send("Event: Newchannel\r\nChannel: SIP/100-1\r\nCallerIDName: " + QByteArray(1 << 20, 'x'));
    ASSERT_TRUE(testsupport::waitFor([&] { return !form2->TnCnx->SessionOpen(); }));
    EXPECT_TRUE(memo().contains(QStringLiteral("*** LIGNE TROP LONGUE ***"))) << memo().left(200).toStdString();
    EXPECT_FALSE(memo().contains(QStringLiteral("xxxxxxxx")));
    EXPECT_FALSE(journal().contains("xxxxxxxx"));
    EXPECT_NE(form1->findCallCard(TFrame4::DisconnectionKey), nullptr);

    form2->Timer1Timer();
    ASSERT_TRUE(waitForLoggedIn(2));
    EXPECT_EQ(manager.connections(), 2);
    ASSERT_TRUE(waitForCards(0));
    manager.send(Ringing);
    EXPECT_TRUE(waitForCards(1));
}

INSTANTIATE_TEST_SUITE_P(Modes, HostileManagerLine, ::testing::Values("Classique", "Moderne"));

// A session whose login the manager never answers is not logged in: a call or
// a transfer sends nothing, the secret least of all, and the window says so.
TEST_F(HostileManager, LoginNeverAnswered_CallsAndTransfersSendNothingAndSaySo)
{
    manager.setAnswer([](const QByteArray& action) {
        return action.startsWith("Action: Login\r\n") ? QByteArray() : ScriptedManager::standardAnswer(action);
    });
    createWindowsFor();
    form1->Timer1Timer();
    ASSERT_TRUE(testsupport::waitFor([&] { return manager.received().contains("Action: Login\r\n"); }));
    ASSERT_TRUE(form2->TnCnx->SessionOpen());

    form5->Edit1->setText(QStringLiteral("0123456789"));
    form5->Edit2->setText(QStringLiteral("201"));
    form5->Button1Click();
    form5->transfert(QStringLiteral("Dupont"), QStringLiteral("100-1"));
    form5->Button3Click();
    EXPECT_EQ(messages,
              (QStringList{QStringLiteral("Erreur sur appel 0123456789"), QStringLiteral("Erreur sur transfert 201")}));
    EXPECT_EQ(control<QLabel>(form5, "Label1")->text(), QStringLiteral("100-1"));

    // The keep-alive comes after anything the clicks would have sent.
    form2->Timer1Timer();
    ASSERT_TRUE(testsupport::waitFor([&] { return manager.received().contains("Action: Ping\r\n"); }));
    EXPECT_EQ(manager.received().count("Secret: "), 1) << "the console's own login only";
    EXPECT_FALSE(manager.received().contains("Originate"));
    EXPECT_FALSE(manager.received().contains("Redirect"));
}

} // namespace
