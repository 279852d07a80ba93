// Calls through a real Asterisk, with the phones of each technology: what the
// user sees on the cards, the history and the agenda, and what the PBX did,
// from its own list of channels.
#include "realpbxfixture.h"

#include "control.h"
#include "gui/callcard.h"
#include "gui/dialwindow.h"
#include "gui/mainwindow.h"
#include "gui/managerconsole.h"
#include "waitfor.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

using RealCalls = RealPbxByTechnology;

// A call from the trunk to a DID whose last digits reach target, where each
// phone plays its scenario (delay in ms before it answers) and the caller
// talks for callerMs, gives up after ringing that long, or finds the line busy.
struct IncomingCall
{
    const char* name;
    const char* target;
    QList<std::pair<QByteArray, const char*>> phones; // extension, scenario; "answer" answers after a second
    const char* callerScenario;
    int callerMs;
    const char* lineLabel; // of the DID in sda.ini; null: the user's phone never rings
    const char* talker;    // the phone the caller ends up talking to, or null
};

const IncomingCall incomingCalls[] = {
    {"Answered", "100", {{"100", "answer"}}, "call", 3000, "Accueil", "100"},
    {"CallerGivesUp", "100", {{"100", "ring"}}, "giveup", 2000, "Accueil", nullptr},
    {"QueueAnsweredByAnotherPhone", "600", {{"100", "ring"}, {"201", "answer"}}, "call", 4000, "Support", "201"},
    {"RingGroupAnsweredByAnotherPhone", "601", {{"100", "ring"}, {"201", "answer"}}, "call", 4000, "Standard", "201"},
    {"BusyPhone", "100", {{"100", "busy"}}, "callbusy", 0, nullptr, nullptr},
};

void PrintTo(const IncomingCall& call, std::ostream* out)
{
    *out << call.name;
}

class IncomingCalls : public RealPbx, public ::testing::WithParamInterface<std::tuple<const char*, IncomingCall>>
{
protected:
    QByteArray technology() const override { return std::get<0>(GetParam()); }
    const IncomingCall& call() const { return std::get<1>(GetParam()); }
};

TEST_P(IncomingCalls, CardHistoryAgendaAndThePbxFollowTheCall)
{
    logIn();
    for (const auto& [extension, scenario] : call().phones)
        phone(extension, scenario, 1000);
    SippPhone& caller = callFromTrunk(call().target, call().callerScenario, call().callerMs);
    const bool userAnswers = call().talker && QByteArray(call().talker) == "100";

    if (call().talker) {
        // While the caller talks, the PBX bridges the trunk with the phone that
        // answered, and the user's card shows whether it was the user's phone.
        const QByteArray talker = phoneChannel(call().talker);
        ASSERT_TRUE(
            waitForUp({trunkChannel(), talker}, userAnswers ? QByteArrayList{} : QByteArrayList{phoneChannel("100")}))
            << pbx->channels().join('\n').constData();
        if (userAnswers) {
            TFrame4* card = waitForAnsweredCard();
            ASSERT_NE(card, nullptr);
            EXPECT_EQ(card->numberValue(), CallerNumber);
            const CallCard* shown = form1->cardList().find(card->Hint);
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->callerName, CallerName);
            EXPECT_EQ(shown->lineLabel, call().lineLabel);
            EXPECT_TRUE(card->channelValue().startsWith(phoneChannel("100"))) << card->channelValue().constData();
        } else {
            ASSERT_TRUE(waitForCards(0)) << "the card goes once another phone answers";
        }
    }
    EXPECT_TRUE(caller.waitForSuccess()) << caller.errors().constData();
    for (const auto& phone : phones)
        EXPECT_TRUE(phone->waitForSuccess()) << phone->errors().constData();
    ASSERT_TRUE(waitForNoChannel());
    ASSERT_TRUE(waitForCards(0));

    if (!call().lineLabel) {
        EXPECT_TRUE(cardLives.isEmpty()) << "a busy phone does not ring";
        EXPECT_TRUE(history().isEmpty());
        return;
    }
    ASSERT_EQ(cardLives.size(), 1);
    const CardLife& life = cardLives.first();
    EXPECT_TRUE(life.ringing);
    EXPECT_EQ(life.answered, userAnswers);
    EXPECT_EQ(life.number, CallerNumber);
    EXPECT_EQ(life.sda, QByteArray(DidPrefix) + call().target);
    EXPECT_FALSE(life.back);

    const QList<CallRecord> records = history();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records.first().direction, CallRecord::Direction::Incoming);
    EXPECT_EQ(records.first().number, CallerNumber);
    EXPECT_EQ(records.first().name, CallerName);
    EXPECT_EQ(records.first().line, call().lineLabel);
    EXPECT_EQ(records.first().answered, userAnswers);

    const QString expectedPages =
        userAnswers ? agendaPage(QByteArray(DidPrefix) + call().target, CallerNumber) : QString();
    EXPECT_EQ(pages.join(QLatin1Char(' ')).toStdString(), expectedPages.toStdString());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Calls, IncomingCalls,
                         ::testing::Combine(::testing::Values("PJSIP", "SIP"), ::testing::ValuesIn(incomingCalls)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
                         });

TEST_P(RealCalls, Utf8CallerName_TheCardAndTheHistoryShowItAsTheTrunkSentIt)
{
    // Written in UTF-8 by the trunk, and so by the manager.
    const QByteArray name = QStringLiteral("Hélène Dupré").toUtf8();
    logIn();
    phone("100", "answer", 1000);
    SippPhone& caller = callFromTrunk("999", "call", 3000, name);
    TFrame4* card = waitForAnsweredCard();
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->sdaValue(), name);
    const CallCard* shown = form1->cardList().find(card->Hint);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->lineLabel, name);
    // The name list's name of the number, then the line.
    EXPECT_EQ(control<QPushButton>(card, "SpeedButton4")->text(), QStringLiteral("Dupont SA / Hélène Dupré"));
    EXPECT_TRUE(caller.waitForSuccess()) << caller.errors().constData();
    ASSERT_TRUE(waitForCards(0));

    const QList<CallRecord> records = history();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records.first().number, CallerNumber);
    EXPECT_EQ(records.first().line, name);
}

TEST_P(RealCalls, PhonePlacesACall_TheCardShowsTheCalledPhoneAnsweredAndTheHistoryAPlacedCall)
{
    logIn();
    phone("201", "answer", 1000);
    SippPhone& user = dialFrom("100", "201", "call", 3000);
    ASSERT_TRUE(waitForUp({phoneChannel("100"), phoneChannel("201")})) << pbx->channels().join('\n').constData();
    TFrame4* card = waitForAnsweredCard();
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->numberValue(), "201");
    EXPECT_TRUE(user.waitForSuccess()) << user.errors().constData();
    ASSERT_TRUE(waitForCards(0));
    ASSERT_TRUE(waitForNoChannel());

    ASSERT_EQ(cardLives.size(), 1);
    EXPECT_FALSE(cardLives.first().ringing) << "a placed call shows once answered";
    const QList<CallRecord> records = history();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records.first().direction, CallRecord::Direction::Placed);
    EXPECT_EQ(records.first().number, "201");
}

TEST_P(RealCalls, Raccrocher_ThePbxHangsUpTheCallAndTheCardGoes)
{
    logIn();
    phone("100", "answer", 500);
    SippPhone& caller = callFromTrunk("100", "call", 60000);
    TFrame4* card = waitForAnsweredCard();
    ASSERT_NE(card, nullptr);
    ASSERT_TRUE(waitForUp({trunkChannel(), phoneChannel("100")}));
    card->Raccrocher1->trigger();
    ASSERT_TRUE(waitForCards(0));
    ASSERT_TRUE(waitForNoChannel());
    EXPECT_TRUE(caller.waitForSuccess()) << "the caller is hung up on: " << caller.errors().constData();
}

TEST_P(RealCalls, Transfert_TheCallerEndsUpTalkingToTheTargetAndThePhoneIsFreed)
{
    logIn();
    SippPhone& user = phone("100", "answer", 500);
    SippPhone& target = phone("201", "answer", 500);
    SippPhone& caller = callFromTrunk("100", "call", 5000);
    TFrame4* card = waitForAnsweredCard();
    ASSERT_NE(card, nullptr);
    control<QToolButton>(card, "SpeedButton3")->click();
    form5->Edit2->setText(QStringLiteral("201"));
    control<QPushButton>(form5, "Button3")->click();

    ASSERT_TRUE(waitForUp({trunkChannel(), phoneChannel("201")}, {phoneChannel("100")}))
        << pbx->channels().join('\n').constData();
    ASSERT_TRUE(waitForCards(0));
    EXPECT_TRUE(user.waitForSuccess()) << user.errors().constData();
    EXPECT_TRUE(caller.waitForSuccess()) << caller.errors().constData();
    EXPECT_TRUE(target.waitForSuccess()) << target.errors().constData();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
}

TEST_P(RealCalls, PickupByAnotherPhone_TheCardGoesAndTheCallerTalksToThatPhone)
{
    logIn();
    phone("100", "ring");
    SippPhone& caller = callFromTrunk("100", "call", 4000);
    ASSERT_TRUE(waitForCards(1));
    SippPhone& picker = dialFrom("201", "*8", "call", 60000);
    ASSERT_TRUE(waitForUp({trunkChannel(), phoneChannel("201")}, {phoneChannel("100")}))
        << pbx->channels().join('\n').constData();
    ASSERT_TRUE(waitForCards(0));
    EXPECT_TRUE(caller.waitForSuccess()) << caller.errors().constData();
    EXPECT_TRUE(picker.waitForSuccess()) << picker.errors().constData();
    ASSERT_EQ(cardLives.size(), 1);
    EXPECT_FALSE(cardLives.first().answered);
}

TEST_P(RealCalls, PbxKilledAndStartedAgainMidCall_TheCardsFollowTheLiveCalls)
{
    logIn();
    phone("100", "answer", 500);
    callFromTrunk("100", "call", 60000);
    ASSERT_NE(waitForAnsweredCard(), nullptr);

    ASSERT_TRUE(pbx->kill());
    ASSERT_TRUE(testsupport::waitFor([&] { return form1->findCallCard(TFrame4::DisconnectionKey) != nullptr; }));
    // The phones of the lost call never hear of its end.
    phones.clear();
    ASSERT_TRUE(pbx->start()) << pbx->errors().toStdString();
    pbx->cli(QStringLiteral("dialplan set global TECH ") + QString::fromLatin1(technology()));
    form2->Timer1Timer();
    ASSERT_TRUE(waitForLoggedIn(2));
    ASSERT_TRUE(waitForCards(0)) << "the call did not survive the PBX";

    phone("100", "answer", 500);
    SippPhone& caller = callFromTrunk("100", "call", 2000);
    ASSERT_NE(waitForAnsweredCard(), nullptr) << "a call after the restart has its card";
    EXPECT_TRUE(caller.waitForSuccess()) << caller.errors().constData();
    ASSERT_TRUE(waitForCards(0));
}

INSTANTIATE_TEST_SUITE_P(Technologies, RealCalls, ::testing::Values("PJSIP", "SIP"), TechnologyName);

} // namespace
