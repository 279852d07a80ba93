// Whom the card of a call names: the dialled party of a call placed from the
// dial window, and one card for a call that rings two devices of the user.
#include "realpbxfixture.h"

#include "control.h"
#include "gui/callcard.h"
#include "gui/dialwindow.h"
#include "gui/mainwindow.h"
#include "gui/managerconsole.h"
#include "net/tncnx.h"
#include "waitfor.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace {

using DialWindowCalls = RealPbxByTechnology;

TEST_P(DialWindowCalls, Appeler_TheCardNamesTheDialledPartyAndTheHistoryRecordsIt)
{
    logIn();
    // Asterisk rings the user's phone first, with the Originate's caller id
    // (the user's own number), then dials 201 once the phone answers.
    phone("100", "answer", 500);
    phone("201", "answer", 500);
    form5->Edit1->setText(QStringLiteral("201"));
    control<QPushButton>(form5, "Button1")->click();

    ASSERT_TRUE(waitForUp({phoneChannel("100"), phoneChannel("201")})) << pbx->channels().join('\n').constData();
    TFrame4* card = waitForAnsweredCard();
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->numberValue(), "201");
    card->Raccrocher1->trigger();
    ASSERT_TRUE(waitForNoChannel());
    ASSERT_TRUE(waitForCards(0));

    ASSERT_EQ(cardLives.size(), 1);
    EXPECT_EQ(cardLives.first().number, "201") << "from the start, the card shows the number dialled";
    const QList<CallRecord> records = history();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records.first().number, "201");
    EXPECT_TRUE(std::none_of(pages.cbegin(), pages.cend(), [](const QString& page) {
        return page.endsWith(QStringLiteral("number=100"));
    })) << pages.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Technologies, DialWindowCalls, ::testing::Values("PJSIP", "SIP"), TechnologyName);

using TwoDevices = RealPbx;

TEST_F(TwoDevices, CallRingingBothContactsOfTheUser_GivesOneCard)
{
    // Extension 300 is one user with two phones; the dialplan rings both
    // contacts of its AOR, as FreePBX does.
    logIn(false, {"poste_as=300"});
    phone("300A", "ring");
    phone("300B", "answer", 3000);
    SippPhone& caller = callFromTrunk("300", "call", 3000);
    ASSERT_TRUE(testsupport::waitFor([&] { return pbx->channelsIn("Ringing").count() == 2; }))
        << "the PBX rings both devices: " << pbx->channels().join('\n').constData();
    ASSERT_TRUE(waitForUp({trunkChannel(), "PJSIP/300-"}));
    EXPECT_TRUE(caller.waitForSuccess()) << caller.errors().constData();
    ASSERT_TRUE(waitForNoChannel());
    ASSERT_TRUE(waitForCards(0));

    EXPECT_EQ(cardLives.size(), 1) << "one call, one card";
    EXPECT_EQ(history().size(), 1);
    EXPECT_TRUE(std::all_of(cardLives.cbegin(), cardLives.cend(),
                            [](const CardLife& life) { return life.number == CallerNumber; }));
}

TEST_F(TwoDevices, LinkLostWhileTheSecondDeviceTalks_TheCardStaysUntilTheCallEnds)
{
    logIn(false, {"poste_as=300"});
    phone("300A", "ring");
    phone("300B", "answer", 3000);
    SippPhone& caller = callFromTrunk("300", "call", 15000);
    ASSERT_TRUE(waitForUp({trunkChannel(), "PJSIP/300-"}));
    ASSERT_NE(waitForAnsweredCard(), nullptr);

    // The link goes down and comes back while the call goes on.
    form2->TnCnx->Close();
    ASSERT_TRUE(testsupport::waitFor([&] { return form1->findCallCard(TFrame4::DisconnectionKey) != nullptr; }));
    form2->Timer1Timer();
    ASSERT_TRUE(waitForLoggedIn(2));
    ASSERT_TRUE(waitForReceived("Event: StatusComplete"));
    QCoreApplication::processEvents();
    EXPECT_EQ(goneCards(), 0) << "the call is still up on the second device";

    EXPECT_TRUE(caller.waitForSuccess()) << caller.errors().constData();
    ASSERT_TRUE(waitForCards(0));
    EXPECT_EQ(cardLives.size(), 1) << "one call, one card";
    EXPECT_FALSE(cardLives.first().back);
}

} // namespace
