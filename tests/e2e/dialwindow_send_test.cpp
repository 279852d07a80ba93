// The dial window places calls and transfers on the console's logged-in
// session: the action alone, exactly as framed here, and never a new login.
#include "corvalinefixture.h"

#include "gui/mainwindow.h"
#include "control.h"
#include "net/tncnx.h"
#include "gui/callcard.h"
#include "gui/dialwindow.h"
#include "supervision/livechannellist.h"
#include "gui/managerconsole.h"
#include "waitfor.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

const QByteArray StartLogin =
    QByteArrayLiteral("Action: Login\r\nUserName: demo\r\nSecret: demo\r\nEvents: On\r\n\r\n");

QByteArray originate(const QByteArray& number)
{
    return "Action: Originate\r\nChannel: SIP/100\r\nContext: from-internal\r\nExten: " + number +
           "\r\nPriority: 1\r\nTimeout: 30000\r\nCallerId: 100\r\nAsync: yes\r\n\r\n";
}

class DialWindowSends : public CorvalineOnLoopback
{
protected:
    void start(const QStringList& arguments = {}, bool md5 = false)
    {
        startSimulator(arguments);
        writeSettings(md5);
        createWindows();
        ASSERT_TRUE(startUpAndLogIn());
    }

    // Waits for the scripted call to be answered and selects it for a transfer.
    TFrame4* selectAnsweredCall()
    {
        if (!testsupport::waitFor([&] { return onlyCard() && onlyCard()->isAnswered(); }))
            return nullptr;
        control<QToolButton>(onlyCard(), "SpeedButton3")->click();
        return onlyCard();
    }
};

TEST_F(DialWindowSends, Appeler_SendsTheOriginateOnTheLoggedInSession)
{
    start();
    form5->Edit1->setText(QStringLiteral("0123456789"));
    control<QPushButton>(form5, "Button1")->click();
    ASSERT_TRUE(simulator->waitForLog(originate("0123456789")));
    EXPECT_EQ(simulator->log(), StartLogin + LiveChannelList::actionText() + originate("0123456789"));
    ASSERT_TRUE(waitForReceived("Message: Originate successfully queued\r\n"));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(form5->Edit1->text(), QStringLiteral("0123456789"));
    // The manager rings the user's own phone first: its channel gets a card.
    ASSERT_TRUE(waitForCards(1));
    EXPECT_TRUE(onlyCard()->channelValue().startsWith("100-")) << onlyCard()->channelValue().constData();
}

// The session logged in by MD5 proves who is asking: the secret never goes
// out, neither at the login nor with the calls and transfers.
TEST_F(DialWindowSends, WithMd5_CallsAndTransfersSendNoSecret)
{
    start(OneScriptedCall("new", "0.3", "60"), true);
    TFrame4* card = selectAnsweredCall();
    ASSERT_NE(card, nullptr);
    form5->Edit1->setText(QStringLiteral("0123456789"));
    form5->Button1Click();
    form5->Edit2->setText(QStringLiteral("201"));
    form5->Button3Click();
    ASSERT_TRUE(simulator->waitForLog("Exten: 201\r\n"));
    ASSERT_TRUE(waitForReceived("Message: Redirect successful\r\n"));
    EXPECT_TRUE(messages.isEmpty());
    const QByteArray log = simulator->log();
    EXPECT_FALSE(log.contains("Secret")) << log.constData();
    EXPECT_EQ(log.count("Action: Login\r\n"), 1) << log.constData();
    EXPECT_TRUE(log.contains("\r\nAuthType: MD5\r\nUserName: demo\r\nKey: ")) << log.constData();
    EXPECT_EQ(log.count(originate("0123456789")), 1);
}

TEST_F(DialWindowSends, Appeler_WithAnEmptyNumberStillSendsTheExtenLine)
{
    start();
    form5->Edit1->clear();
    form5->Button1Click();
    ASSERT_TRUE(simulator->waitForLog(originate(QByteArray())));
    EXPECT_TRUE(simulator->log().endsWith(LiveChannelList::actionText() + originate(QByteArray())));
}

TEST_F(DialWindowSends, Appeler_ANumberCannotAddHeadersOrActions)
{
    start();
    form5->Edit1->setText(QStringLiteral("12\r\nAction: Hangup"));
    form5->Button1Click();
    ASSERT_TRUE(simulator->waitForLog(originate("12Action: Hangup")));
    EXPECT_FALSE(simulator->log().contains("\r\nAction: Hangup"));
}

TEST_F(DialWindowSends, Transfert_SendsTheRedirectOfTheSelectedCall)
{
    start(OneScriptedCall("new", "0.3", "60"));
    TFrame4* card = selectAnsweredCall();
    ASSERT_NE(card, nullptr);
    const QByteArray channel = card->channelValue();
    EXPECT_EQ(control<QLabel>(form5, "Label1")->text(), QString::fromLatin1(channel));
    EXPECT_TRUE(form5->isVisible());
    const QByteArray before = simulator->log();

    form5->Edit2->setText(QStringLiteral("201"));
    control<QPushButton>(form5, "Button3")->click();
    const QByteArray redirect = "Action: Redirect\r\nChannel: SIP/" + channel +
                                "\r\nContext: from-internal\r\nExten: 201\r\nPriority: 1\r\n\r\n";
    ASSERT_TRUE(simulator->waitForLog(redirect));
    EXPECT_EQ(simulator->log(), before + redirect);
    ASSERT_TRUE(waitForReceived("Message: Redirect successful\r\n"));
    // The hidden channels are cleared; what the window shows stays.
    EXPECT_TRUE(control<QLabel>(form5, "Label1")->text().isEmpty());
    EXPECT_TRUE(control<QLabel>(form5, "Label2")->text().isEmpty());
    EXPECT_FALSE(control<QLabel>(form5, "Label6")->text().isEmpty());
    EXPECT_TRUE(messages.isEmpty());

    // Pressed again, nothing is selected any more.
    control<QPushButton>(form5, "Button3")->click();
    EXPECT_EQ(messages, QStringList{QStringLiteral("Cliquer sur l'appel a transférer")});
}

TEST_F(DialWindowSends, Transfert_WithoutASelectionShowsItsMessageAndSendsNothing)
{
    start();
    const QByteArray before = simulator->log();
    form5->Edit2->setText(QStringLiteral("201"));
    form5->Button3Click();
    EXPECT_EQ(messages, QStringList{QStringLiteral("Cliquer sur l'appel a transférer")});
    form5->Button4Click();
    EXPECT_EQ(messages, (QStringList{QStringLiteral("Cliquer sur l'appel a transférer"),
                                     QStringLiteral("Cliquer sur les appels a transférer")}));
    testsupport::spinEventLoop(200);
    EXPECT_EQ(simulator->log(), before);
}

TEST_F(DialWindowSends, TwoCallTransfert_SendsOneRedirectOfBothChannelsTo680)
{
    start(OneScriptedCall("new", "0.3", "60"));
    TFrame4* card = selectAnsweredCall();
    ASSERT_NE(card, nullptr);
    control<QToolButton>(card, "SpeedButton3")->click();
    ASSERT_TRUE(control<QPushButton>(form5, "Button4")->isEnabled());
    const QByteArray channel = card->channelValue();
    const QByteArray before = simulator->log();

    form5->Button4Click();
    const QByteArray redirect = "Action: Redirect\r\nChannel: SIP/" + channel +
                                "\r\nContext: from-internal\r\nExten: 680\r\nPriority: 1\r\nExtraChannel: SIP/" +
                                channel +
                                "\r\nExtraContext: from-internal\r\nExtraExten: 680\r\nExtraPriority: 1\r\n\r\n";
    ASSERT_TRUE(simulator->waitForLog(redirect));
    EXPECT_EQ(simulator->log(), before + redirect);
    EXPECT_TRUE(control<QLabel>(form5, "Label2")->text().isEmpty());
    EXPECT_TRUE(control<QLabel>(form5, "Label3")->text().isEmpty());
}

TEST_F(DialWindowSends, WhileTheSessionIsClosed_NothingIsSentAndTheWindowSaysSo)
{
    start(OneScriptedCall("new", "0.3", "60"));
    TFrame4* card = selectAnsweredCall();
    ASSERT_NE(card, nullptr);
    const QString channel = control<QLabel>(form5, "Label1")->text();
    form2->DisconnectButtonClick();
    ASSERT_FALSE(form2->TnCnx->SessionOpen());
    const QByteArray before = simulator->log();
    form5->Edit1->setText(QStringLiteral("0123456789"));
    form5->Edit2->setText(QStringLiteral("201"));
    form5->Button1Click();
    form5->Button3Click();
    EXPECT_EQ(messages,
              (QStringList{QStringLiteral("Erreur sur appel 0123456789"), QStringLiteral("Erreur sur transfert 201")}));
    // The transfer did not happen: the call stays selected for another try.
    EXPECT_EQ(control<QLabel>(form5, "Label1")->text(), channel);
    // A new session's login is the next thing the simulator hears.
    form2->Timer1Timer();
    ASSERT_TRUE(waitForLoggedIn(2));
    EXPECT_EQ(simulator->log(), before + StartLogin + LiveChannelList::actionText());
}

TEST_F(DialWindowSends, SendFailure_ShowsTheErrorOfTheCall)
{
    start();
    // The simulator goes away while the program is busy: the session still
    // counts as open when "Appeler" is pressed. The first call meets the
    // reset, the second cannot be sent.
    ASSERT_TRUE(simulator->kill());
    form5->Edit1->setText(QStringLiteral("0123456789"));
    form5->Button1Click();
    form5->Button1Click();
    EXPECT_EQ(messages.value(messages.size() - 1), QStringLiteral("Erreur sur appel 0123456789"));
    ASSERT_TRUE(waitForCards(1));
    EXPECT_NE(form1->findCallCard(TFrame4::DisconnectionKey), nullptr);
}

TEST_F(DialWindowSends, TransferSendFailure_NamesTheTargetAndKeepsTheSelection)
{
    start(OneScriptedCall("new", "0.3", "60"));
    TFrame4* card = selectAnsweredCall();
    ASSERT_NE(card, nullptr);
    const QString channel = control<QLabel>(form5, "Label1")->text();
    ASSERT_TRUE(simulator->kill());
    form5->Edit1->setText(QStringLiteral("0123456789"));
    form5->Edit2->setText(QStringLiteral("201"));
    // The call meets the reset; the transfer after it cannot be sent.
    form5->Button1Click();
    form5->Button3Click();
    EXPECT_EQ(messages.value(messages.size() - 1), QStringLiteral("Erreur sur transfert 201"));
    EXPECT_EQ(control<QLabel>(form5, "Label1")->text(), channel);
}

} // namespace
