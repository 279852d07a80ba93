// Start-up against the real simulator: the main window's one-shot sequence
// connects and logs in, by MD5 challenge or in the plain form.
#include "corvalinefixture.h"

#include "gui/mainwindow.h"
#include "control.h"
#include "net/tncnx.h"
#include "gui/callcard.h"
#include "supervision/livechannellist.h"
#include "gui/managerconsole.h"
#include "supervision/md5.h"
#include "waitfor.h"

#include <QFrame>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

namespace {

using StartUpLogin = CorvalineOnLoopback;

QByteArray challengeIn(const QByteArray& received)
{
    const QRegularExpression challenge(QStringLiteral("Challenge: (\\d+)\r\n"));
    return challenge.match(QString::fromLatin1(received)).captured(1).toLatin1();
}

TEST_F(StartUpLogin, StartUpTimer_ConnectsAndLogsInWithThePlainForm)
{
    startSimulator();
    writeSettings(false);
    createWindows();
    form1->Timer1->start();
    ASSERT_TRUE(waitForLoggedIn());
    EXPECT_FALSE(form1->Timer1->isActive());
    EXPECT_TRUE(form2->TnCnx->SessionOpen());
    EXPECT_EQ(simulator->log(),
              "Action: Login\r\nUserName: demo\r\nSecret: demo\r\nEvents: On\r\n\r\n" + LiveChannelList::actionText());
    EXPECT_EQ(control<QLineEdit>(form1, "Edit1")->text(), QStringLiteral("100"));
}

TEST_F(StartUpLogin, StartUpSequence_LogsInOnlyOnceTheConnectionIsUp)
{
    startSimulator();
    writeSettings(false);
    createWindows();
    form1->Timer1Timer();
    // The connection cannot be complete yet: the sequence's own login only
    // notes it, and nothing has reached the manager.
    EXPECT_EQ(memo(), QStringLiteral("*** NOT CONNECTED ***"));
    EXPECT_EQ(form2->TnCnx->State(), wsConnecting);
    EXPECT_EQ(form1->height(), TForm1::OptionsHeight);
    ASSERT_TRUE(waitForReceived("Message: Authentication accepted\r\n"));
    EXPECT_EQ(simulator->log().count("Action: Login\r\n"), 1);
    EXPECT_EQ(form1->CallCardCount(), 0);
}

TEST_F(StartUpLogin, Md5Checked_LogsInWithTheKeyOfTheChallengeAndNeverTheSecret)
{
    startSimulator();
    writeSettings(true);
    createWindows();
    ASSERT_TRUE(startUpAndLogIn()) << received.constData();
    const QByteArray challenge = challengeIn(received);
    ASSERT_FALSE(challenge.isEmpty());
    EXPECT_EQ(form2->ManagerChallenge, challenge);
    const QByteArray key = DigestHex(TextDigest(challenge + Secret));
    EXPECT_EQ(simulator->log(), "Action: Challenge\r\nAuthType: MD5\r\n\r\n"
                                "Action: Login\r\nAuthType: MD5\r\nUserName: demo\r\nKey: " +
                                    key + "\r\nEvents: On\r\n\r\n" + LiveChannelList::actionText());
    EXPECT_FALSE(simulator->log().contains("Secret"));
}

TEST_F(StartUpLogin, Md5Login_MemoShowsThePlainLinesNotTheKey)
{
    startSimulator();
    writeSettings(true);
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    // A login on demand: the answer to its challenge is handled within the
    // pause, then the key goes out and the memo lists the lines, the secret masked.
    form2->SendButtonClick();
    EXPECT_TRUE(memo().endsWith(QStringLiteral("Action: Login\nUserName: demo\nSecret: ********\nEvents: On\n")))
        << memo().toStdString();
    ASSERT_TRUE(simulator->waitForLog("Action: Login\r\nAuthType: MD5\r\n", 2));
    ASSERT_TRUE(waitForReceived("Message: Already authenticated\r\n"));
    EXPECT_FALSE(simulator->log().contains("Secret"));
}

TEST_F(StartUpLogin, EmptyUserAndSecret_StillSendTheirLines)
{
    startSimulator();
    writeSettings(false, {"username_as=", "secret_as="});
    createWindows();
    form1->Timer1Timer();
    ASSERT_TRUE(waitForReceived("Message: Authentication failed\r\n"));
    EXPECT_EQ(simulator->log(), QByteArrayLiteral("Action: Login\r\nUserName: \r\nSecret: \r\nEvents: On\r\n\r\n"));
}

TEST_F(StartUpLogin, WrongSecret_ShowsTheRefusalWithoutFlickerAndRetriesAtTheKeepAlivePace)
{
    // The manager answers "Authentication failed" and closes the session: the
    // window must not look connected, and each retry must leave the card as it is.
    startSimulator();
    writeSettings(false, {"secret_as=faux"});
    createWindows();
    form1->Timer1Timer();
    ASSERT_TRUE(waitForReceived("Message: Authentication failed\r\n"));
    ASSERT_TRUE(testsupport::waitFor([&] { return !form2->TnCnx->SessionOpen(); }));
    TFrame4* card = form1->findCallCard(TFrame4::DisconnectionKey);
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->sdaValue(), QByteArrayLiteral("/ Attention Acc\xe8s refus\xe9"));
    EXPECT_TRUE(memo().contains(QStringLiteral("*** CONNEXION REFUSEE ***")));
    EXPECT_TRUE(control<QPushButton>(form1, "Button1")->isVisibleTo(control<QFrame>(form1, "Panel1")))
        << "the Connexion strip stays";

    // Nothing is tried before the next keep-alive tick; the tick's retry is
    // refused again and the very same card stays.
    const QPointer<TFrame4> shown = card;
    testsupport::spinEventLoop(300);
    EXPECT_EQ(simulator->log().count("Action: Login"), 1);
    form2->Timer1Timer();
    ASSERT_TRUE(waitForReceived("Message: Authentication failed\r\n", 2));
    ASSERT_TRUE(testsupport::waitFor([&] { return !form2->TnCnx->SessionOpen(); }));
    testsupport::spinEventLoop(100);
    EXPECT_EQ(form1->CallCardCount(), 1);
    EXPECT_EQ(form1->findCallCard(TFrame4::DisconnectionKey), shown.data());
}

} // namespace
