// A PBX of the Asterisk 13 to 22 kind, with SIP or PJSIP phones, read in modern
// mode: its bursts and its Hangup events in state Up leave no card behind, and
// the cards' actions name whole channels and hand the caller on.
#include "corvalinefixture.h"

#include "control.h"
#include "gui/callcard.h"
#include "gui/dialwindow.h"
#include "gui/mainwindow.h"
#include "waitfor.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

class ModernCalls : public CorvalineOnLoopback, public ::testing::WithParamInterface<const char*>
{
protected:
    QByteArray technology() const { return GetParam(); }

    // Quick calls, one after the other.
    void start(const char* ringSeconds = "0.2", const char* talkSeconds = "0.2")
    {
        startSimulator({QStringLiteral("--calls"), QStringLiteral("modern"), QStringLiteral("--technology"),
                        QString::fromLatin1(technology()), QStringLiteral("--first-call"), QStringLiteral("0.2"),
                        QStringLiteral("--ring-time"), QString::fromLatin1(ringSeconds), QStringLiteral("--talk-time"),
                        QString::fromLatin1(talkSeconds), QStringLiteral("--call-interval"), QStringLiteral("0.1"),
                        QStringLiteral("--calls-after-login")});
        writeSettings(false, {"mode_as=Moderne", "techno_as=" + technology()});
        createWindows();
        ASSERT_TRUE(startUpAndLogIn());
    }

    TFrame4* answeredCard()
    {
        TFrame4* card = nullptr;
        testsupport::waitFor([&] {
            card = onlyCard();
            return card && card->isAnswered();
        });
        return card && card->isAnswered() ? card : nullptr;
    }
};

TEST_P(ModernCalls, TwentyCalls_EachRingsIsAnsweredOrNotAndLeaves)
{
    start();
    // The cards' lives come from the main window's reports, so a card that
    // rang for a fifth of a second is seen ringing however busy the machine.
    ASSERT_TRUE(testsupport::waitFor([&] { return goneCards() >= 20; }, 180000)) << goneCards() << " calls ended";

    int answered = 0;
    for (auto it = cardLives.cbegin(); it != cardLives.cend(); ++it) {
        if (!it->gone)
            continue;
        EXPECT_TRUE(it->ringing) << it.key().constData();
        EXPECT_FALSE(it->back) << it.key().constData();
        EXPECT_TRUE(it->channel.startsWith(technology() + "/100-")) << it->channel.constData();
        answered += it->answered ? 1 : 0;
    }
    // Four calls in six are answered in the simulator's script.
    EXPECT_GE(answered, 12);

    // The simulator adds no filters, so the desk asked for the call events
    // alone: the dialplan's bursts of the other calls never came.
    EXPECT_TRUE(received.contains("ActionID: corvaline-events\r\n"));
    EXPECT_FALSE(received.contains("Privilege: dialplan,")) << "VarSet and Newexten stay at the PBX";
}

TEST_P(ModernCalls, Raccrocher_SendsTheHangupOfTheWholeChannelName)
{
    start("0.3", "60");
    TFrame4* card = answeredCard();
    ASSERT_NE(card, nullptr);
    const QByteArray channel = card->channelValue();
    ASSERT_TRUE(channel.startsWith(technology() + "/100-")) << channel.constData();
    card->Raccrocher1->trigger();
    ASSERT_TRUE(simulator->waitForLog("Action: Hangup\r\nChannel: " + channel + "\r\n\r\n"));
    ASSERT_TRUE(waitForCards(0));
}

TEST_P(ModernCalls, Appeler_CallsFromThePhonesTechnology)
{
    startSimulator({QStringLiteral("--style"), QStringLiteral("modern"), QStringLiteral("--technology"),
                    QString::fromLatin1(technology())});
    writeSettings(false, {"mode_as=Moderne", "techno_as=" + technology()});
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    form5->Edit1->setText(QStringLiteral("0123456789"));
    control<QPushButton>(form5, "Button1")->click();
    ASSERT_TRUE(simulator->waitForLog("Action: Originate\r\nChannel: " + technology() + "/100\r\n"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_P(ModernCalls, Transfert_HandsTheCallerOnWithBlindTransfer)
{
    start("0.3", "60");
    TFrame4* card = answeredCard();
    ASSERT_NE(card, nullptr);
    const QByteArray channel = card->channelValue();
    control<QToolButton>(card, "SpeedButton3")->click();
    EXPECT_EQ(control<QLabel>(form5, "Label1")->text(), QString::fromLatin1(channel));
    form5->Edit2->setText(QStringLiteral("201"));
    const qsizetype before = received.size();
    control<QPushButton>(form5, "Button3")->click();

    ASSERT_TRUE(simulator->waitForLog("Action: BlindTransfer\r\nChannel: " + channel +
                                      "\r\nContext: from-internal\r\nExten: 201\r\n\r\n"));
    EXPECT_FALSE(simulator->log().contains("Action: Redirect"));
    ASSERT_TRUE(waitForCards(0)) << "the phone is freed";
    // The caller's leg, left alone in the bridge, dials the target instead of
    // being hung up.
    ASSERT_TRUE(testsupport::waitFor([&] {
        for (const QByteArray& message : ManagerBlocks(received.mid(before))) {
            if (message.startsWith("Event: DialBegin") && message.contains("Channel: SIP/ovh-") &&
                message.contains("DialString: 201\r\n"))
                return true;
        }
        return false;
    }));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_P(ModernCalls, TwoCallTransfert_RedirectsTheCallersAndFreesThePhone)
{
    start("0.3", "60");
    TFrame4* card = answeredCard();
    ASSERT_NE(card, nullptr);
    const QByteArray channel = card->channelValue();
    // The same card in both slots: one caller, sent once.
    control<QToolButton>(card, "SpeedButton3")->click();
    control<QToolButton>(card, "SpeedButton3")->click();
    ASSERT_TRUE(control<QPushButton>(form5, "Button4")->isEnabled());
    control<QPushButton>(form5, "Button4")->click();

    ASSERT_TRUE(simulator->waitForLog("Action: Redirect\r\n"));
    QByteArray redirect;
    for (const QByteArray& action : ManagerBlocks(simulator->log())) {
        if (action.startsWith("Action: Redirect\r\n"))
            redirect = action;
    }
    // The caller's leg, the one the phone's leg was bridged with.
    const qsizetype start = redirect.indexOf("Channel: ") + 9;
    const QByteArray caller = redirect.mid(start, redirect.indexOf('\r', start) - start);
    EXPECT_TRUE(caller.startsWith("SIP/ovh-")) << redirect.constData();
    EXPECT_TRUE(received.contains("Event: DialEnd\r\n")) << "the dial that joined them named it";
    EXPECT_EQ(redirect, "Action: Redirect\r\nChannel: " + caller +
                            "\r\nContext: from-internal\r\nExten: 680\r\n"
                            "Priority: 1\r\nExtraChannel: " +
                            caller +
                            "\r\nExtraContext: from-internal\r\n"
                            "ExtraExten: 680\r\nExtraPriority: 1\r\n\r\n");
    EXPECT_NE(caller, channel);
    ASSERT_TRUE(waitForCards(0)) << "the phone is freed";
    EXPECT_TRUE(messages.isEmpty());
}

using ClassicOnAModernPbx = CorvalineOnLoopback;

TEST_F(ClassicOnAModernPbx, AnAnsweredCallLeavesItsCardBehind)
{
    // What modern mode mends: the Hangup of an answered call still says
    // ChannelState 6, which the classic rules take for an answer.
    startSimulator(OneScriptedCall("modern", "0.2", "0.2"));
    writeSettings(false);
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    ASSERT_TRUE(waitForReceived("Event: Hangup\r\n", 2));
    testsupport::spinEventLoop(300);
    EXPECT_GE(form1->CallCardCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Technologies, ModernCalls, ::testing::Values("SIP", "PJSIP"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

} // namespace
