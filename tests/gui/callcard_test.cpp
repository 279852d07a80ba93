#include "cardwindowsfixture.h"
#include "gui/callcard.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "control.h"
#include "waitfor.h"

namespace {

class CallCardTest : public CardWindowsFixture
{
protected:
    std::unique_ptr<TFrame4> card(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                  const QByteArray& channel, bool answered = false)
    {
        auto frame = std::make_unique<TFrame4>(agenda.get(), dial.get(), &list);
        frame->prepare(number, sda, key, channel, answered);
        return frame;
    }
};

TEST_F(CallCardTest, KnownCallerOnLabelledLine_ShowsNameAndLabelAndClientButton)
{
    agenda->num_app->setChecked(true);
    const auto frame = card("0601020304", "0140000000", "1700000000.12", "100-0000001a");
    EXPECT_EQ(control<QPushButton>(frame.get(), "SpeedButton4")->text(), QStringLiteral("Dupont / Accueil"));
    EXPECT_TRUE(control<QToolButton>(frame.get(), "SpeedButton2")->isVisibleTo(frame.get()));
    EXPECT_EQ(control<QToolButton>(frame.get(), "SpeedButton2")->toolTip(), QStringLiteral("Dupont"));
}

TEST_F(CallCardTest, CallerNumberOff_ShowsLineLabelAlone)
{
    agenda->num_app->setChecked(false);
    const auto frame = card("0601020304", "0140000000", "k1", "100-1");
    EXPECT_EQ(control<QPushButton>(frame.get(), "SpeedButton4")->text(), QStringLiteral("Accueil"));
}

TEST_F(CallCardTest, UnknownCallerOnUnlabelledLine_ShowsRawTextsWithoutClientButton)
{
    agenda->num_app->setChecked(true);
    const auto frame = card("0299887766", "0149999999", "k1", "100-1");
    EXPECT_EQ(control<QPushButton>(frame.get(), "SpeedButton4")->text(), QStringLiteral("0299887766 / 0149999999"));
    EXPECT_FALSE(control<QToolButton>(frame.get(), "SpeedButton2")->isVisibleTo(frame.get()));
    agenda->num_app->setChecked(false);
    EXPECT_EQ(control<QPushButton>(card("0299887766", "0149999999", "k2", "100-1").get(), "SpeedButton4")->text(),
              QStringLiteral("0149999999"));
}

TEST_F(CallCardTest, PartyNamedAnew_DrawnAgain_CaptionAndChannelFollow_KeyAndTalkTimeStay)
{
    agenda->num_app->setChecked(true);
    const auto frame = card("201", "", "k1", "PJSIP/100-1");
    frame->markAnswered();
    const QDateTime start = frame->StartTime;
    const auto drawParty = [&](const QByteArray& number, const QByteArray& sda) {
        CallCard party{"k1", number, sda, "PJSIP/100-2", {}, {}, true, false, start};
        party.takeNamesFrom(agenda->ValueListEditor1, agenda->ValueListEditor2);
        frame->draw(party);
    };
    drawParty("0601020304", "0140000000");
    EXPECT_EQ(control<QPushButton>(frame.get(), "SpeedButton4")->text(), QStringLiteral("Dupont / Accueil"));
    EXPECT_TRUE(control<QToolButton>(frame.get(), "SpeedButton2")->isVisibleTo(frame.get()));
    EXPECT_EQ(frame->numberValue(), "0601020304");
    EXPECT_EQ(frame->channelValue(), "PJSIP/100-2");
    EXPECT_EQ(frame->N3->text(), QStringLiteral("Poste :PJSIP/100-2"));
    EXPECT_EQ(frame->Hint, "k1");
    EXPECT_TRUE(frame->isAnswered());
    EXPECT_EQ(frame->StartTime, start);
    drawParty("0299887766", "");
    EXPECT_FALSE(control<QToolButton>(frame.get(), "SpeedButton2")->isVisibleTo(frame.get()));
}

TEST_F(CallCardTest, LookupsIgnoreLetterCaseOfTheKeys)
{
    agenda->ValueListEditor2.load(QByteArrayLiteral("abc=Martin\r\n"));
    agenda->num_app->setChecked(true);
    EXPECT_EQ(control<QPushButton>(card("ABC", "0140000000", "k1", "c").get(), "SpeedButton4")->text(),
              QStringLiteral("Martin / Accueil"));
}

TEST_F(CallCardTest, DisconnectionCard_HasNoStateIconAndCannotBeClicked)
{
    agenda->num_app->setChecked(true);
    const auto frame = card("",
                            "/ Attention D\xe9"
                            "connect\xe9",
                            TFrame4::DisconnectionKey, "00");
    EXPECT_FALSE(control<QToolButton>(frame.get(), "SpeedButton1")->isVisibleTo(frame.get()));
    EXPECT_FALSE(control<QPushButton>(frame.get(), "SpeedButton4")->isEnabled());
    EXPECT_EQ(control<QPushButton>(frame.get(), "SpeedButton4")->text(), QStringLiteral(" / / Attention Déconnecté"));
}

TEST_F(CallCardTest, StateIcon_EnabledWhileRingingDisabledOnceAnswered_HintIsChannel)
{
    const auto ringing = card("1", "2", "k1", "100-0000001a");
    EXPECT_TRUE(control<QToolButton>(ringing.get(), "SpeedButton1")->isEnabled());
    EXPECT_FALSE(ringing->isAnswered());
    EXPECT_EQ(control<QToolButton>(ringing.get(), "SpeedButton1")->toolTip(), QStringLiteral("100-0000001a"));
    ringing->markAnswered();
    EXPECT_TRUE(ringing->isAnswered());
    EXPECT_FALSE(control<QToolButton>(card("1", "2", "k2", "c", true).get(), "SpeedButton1")->isEnabled());
}

TEST_F(CallCardTest, PopupLines_RingingCardWithoutBlank_AnsweredCardWithBlank)
{
    const auto ringing = card("1", "2", "1700000000.12", "100-0000001a");
    const auto answered = card("1", "2", "1700000000.13", "100-0000001b", true);
    const QList<QAction*> items = ringing->PopupMenu1->actions();
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[0]->text(), QStringLiteral("Raccrocher"));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), QStringLiteral("Supprimer cet appel de la liste"));
    EXPECT_TRUE(items[3]->isSeparator());
    EXPECT_EQ(items[4]->text(), QStringLiteral("Poste :100-0000001a"));
    EXPECT_EQ(items[5]->text(), QStringLiteral("Appel : 1700000000.12"));
    EXPECT_EQ(answered->PopupMenu1->actions()[4]->text(), QStringLiteral("Poste : 100-0000001b"));
}

TEST_F(CallCardTest, TalkTime_ShowsMinutesWithinTheHourAndSeconds)
{
    EXPECT_EQ(TFrame4::talkTimeText(0), QStringLiteral("00:00"));
    EXPECT_EQ(TFrame4::talkTimeText(9'999), QStringLiteral("00:09"));
    EXPECT_EQ(TFrame4::talkTimeText((61 * 60 + 5) * 1000), QStringLiteral("01:05"));
    EXPECT_EQ(TFrame4::talkTimeText((59 * 60 + 59) * 1000 + 999), QStringLiteral("59:59"));
}

TEST_F(CallCardTest, TalkTime_ClockSetBackSinceCreation_ShowsZeroNotNegativeDigits)
{
    EXPECT_EQ(TFrame4::talkTimeText(-5'000), QStringLiteral("00:00"));
    EXPECT_EQ(TFrame4::talkTimeText(-(61 * 60 + 5) * 1000), QStringLiteral("00:00"));
}

TEST_F(CallCardTest, TalkTimeCounter_RunsOnlyWhenTheOptionIsOn)
{
    agenda->num_temps->setChecked(false);
    const auto silent = card("1", "2", "k1", "c");
    EXPECT_FALSE(control<QLabel>(silent.get(), "Label1")->isVisibleTo(silent.get()));
    EXPECT_FALSE(silent->Timer1->isActive());

    agenda->num_temps->setChecked(true);
    const auto counting = card("1", "2", "k2", "c");
    EXPECT_TRUE(control<QLabel>(counting.get(), "Label1")->isVisibleTo(counting.get()));
    EXPECT_TRUE(counting->Timer1->isActive());
    counting->StartTime = QDateTime::currentDateTime().addSecs(-(61 * 60 + 5));
    counting->Timer1Timer();
    EXPECT_EQ(control<QLabel>(counting.get(), "Label1")->text(), QStringLiteral("01:05"));
}

TEST_F(CallCardTest, AgendaAddress_KeyedByBaseOrBySda)
{
    EXPECT_EQ(TFrame4::agendaPageAddress(QStringLiteral("http://192.168.0.1"), false, "0140000000", "0601020304"),
              QStringLiteral("http://192.168.0.1/cgi-bin/agenda/frame.pl?base=0140000000&number=0601020304"));
    EXPECT_EQ(TFrame4::agendaPageAddress(QStringLiteral("http://192.168.0.1"), true, "0140000000", "0601020304"),
              QStringLiteral("http://192.168.0.1/cgi-bin/agenda/frame.pl?sda=0140000000&number=0601020304"));
}

TEST_F(CallCardTest, AgendaAddress_HostileValuesArePercentEncodedBaseStaysAsTyped)
{
    EXPECT_EQ(
        TFrame4::agendaPageAddress(QStringLiteral("http://agenda/x"), false, "01 40&sda=9", "A&B #1?x=\xe9"),
        QStringLiteral("http://agenda/x/cgi-bin/agenda/frame.pl?base=01%2040%26sda%3D9&number=A%26B%20%231%3Fx%3D%E9"));
    EXPECT_EQ(TFrame4::agendaPageAddress(QStringLiteral("http://a"), true, "Az09-._~", ""),
              QStringLiteral("http://a/cgi-bin/agenda/frame.pl?sda=Az09-._~&number="));
}

TEST_F(CallCardTest, MainButton_OpensTheAgendaPageWhateverAutomaticAccess)
{
    agenda->adresse_ob->setText(QStringLiteral("http://127.0.0.1:8080"));
    agenda->acces_auto->setChecked(false);
    agenda->sda_liaison->setChecked(false);
    const auto frame = card("0601020304", "0140000000", "k1", "c");
    control<QPushButton>(frame.get(), "SpeedButton4")->click();
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages[0],
              QStringLiteral("http://127.0.0.1:8080/cgi-bin/agenda/frame.pl?base=0140000000&number=0601020304"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CallCardTest, MainButton_WithoutAgendaAddress_AsksForItAndOpensNothing)
{
    agenda->adresse_ob->clear();
    const auto frame = card("0601020304", "0140000000", "k1", "c");
    control<QPushButton>(frame.get(), "SpeedButton4")->click();
    EXPECT_TRUE(pages.isEmpty());
    EXPECT_EQ(messages, QStringList{QStringLiteral("Indiquer l'adresse d'Orbanel")});
}

TEST_F(CallCardTest, TransferButton_SelectsTheCardInTheDialWindow)
{
    agenda->num_app->setChecked(true);
    const auto frame = card("0601020304", "0140000000", "k1", "100-0000001a");
    control<QToolButton>(frame.get(), "SpeedButton3")->click();
    EXPECT_EQ(control<QLabel>(dial.get(), "Label1")->text(), QStringLiteral("100-0000001a"));
    EXPECT_EQ(control<QLabel>(dial.get(), "Label6")->text(), QStringLiteral("Dupont / Accueil"));
    EXPECT_TRUE(control<QPushButton>(dial.get(), "Button3")->isEnabled());
    EXPECT_TRUE(dial->isVisible());
}

TEST_F(CallCardTest, RemoveButtonAndMenuItem_AskTheListToRemoveTheirKey)
{
    const auto frame = card("1", "2", "1700000000.12", "c");
    control<QToolButton>(frame.get(), "SpeedButton5")->click();
    frame->Supprimercetappeldelaliste1->trigger();
    EXPECT_EQ(list.calls(), (QByteArrayList{"RemoveCallCard|1700000000.12", "RemoveCallCard|1700000000.12"}));
}

TEST_F(CallCardTest, HangUpItem_AsksForTheHangupOfTheCardsChannel)
{
    const auto frame = card("1", "2", "k1", "100-0000001a");
    QByteArrayList hangups;
    QObject::connect(frame.get(), &TFrame4::hangupRequested,
                     [&hangups](const QByteArray& channel) { hangups.append(channel); });
    frame->Raccrocher1->trigger();
    EXPECT_EQ(hangups, QByteArrayList{"100-0000001a"});
    EXPECT_TRUE(list.calls().isEmpty());
}

TEST_F(CallCardTest, CardsCarryNoObjectName)
{
    EXPECT_TRUE(card("1", "2", "k1", "c")->objectName().isEmpty());
}

} // namespace
