// The two-call transfer on a real Asterisk: the user, talking to two callers,
// sends both to the conference 680 and leaves them together.
#include "realpbxfixture.h"

#include "control.h"
#include "gui/callcard.h"
#include "gui/dialwindow.h"
#include "gui/mainwindow.h"
#include "waitfor.h"

#include <QPushButton>
#include <QToolButton>

#include <algorithm>

namespace {

using RealCalls = RealPbxByTechnology;

TEST_P(RealCalls, TwoCallTransfert_BothCallersMeetAtTheConferenceAndThePhoneIsFreed)
{
    logIn();
    phone("100", "answer", 500, 2);
    SippPhone& first = callFromTrunk("100", "call", 60000);
    ASSERT_NE(waitForAnsweredCard(), nullptr);
    SippPhone& second = callFromTrunk("100", "call", 60000);
    ASSERT_TRUE(testsupport::waitFor([&] {
        const QList<TFrame4*> shown = cards();
        return shown.size() == 2 &&
               std::all_of(shown.cbegin(), shown.cend(), [](TFrame4* c) { return c->isAnswered(); });
    }));
    // The answered dials name the callers' legs, which the transfer moves; they
    // follow the phone's answer, as a user's click does.
    ASSERT_TRUE(testsupport::waitFor([&] { return received.count("DialStatus: ANSWER\r\n") >= 2; }));
    for (TFrame4* card : cards())
        control<QToolButton>(card, "SpeedButton3")->click();
    ASSERT_TRUE(control<QPushButton>(form5, "Button4")->isEnabled());
    control<QPushButton>(form5, "Button4")->click();

    // Conference 680 holds the two callers; the phone is free.
    const auto callersInConference = [&] {
        QByteArrayList inConference;
        for (const QByteArray& line : pbx->channels()) {
            if (line.split('!').value(5) == "ConfBridge")
                inConference.append(line.left(line.indexOf('-') + 1));
        }
        return inConference == QByteArrayList{trunkChannel(), trunkChannel()};
    };
    ASSERT_TRUE(testsupport::waitFor(callersInConference)) << pbx->channels().join('\n').constData();
    EXPECT_TRUE(waitForUp({}, {phoneChannel("100")})) << pbx->channels().join('\n').constData();
    ASSERT_TRUE(waitForCards(0));
    EXPECT_TRUE(first.running() && second.running()) << "both callers are still in a call";
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Technologies, RealCalls, ::testing::Values("PJSIP", "SIP"), TechnologyName);

} // namespace
