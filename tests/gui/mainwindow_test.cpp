#include "appwindowsfixture.h"
#include "gui/callcard.h"
#include "gui/callhistorywindow.h"
#include "gui/corvalineapplication.h"
#include "gui/desktopintegration.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include "control.h"
#include "waitfor.h"

#include <stdexcept>

namespace {

class MainWindowTest : public AppWindowsFixture
{
protected:
    void addCards(int count)
    {
        for (int i = 0; i < count; ++i)
            form1->AddRingingCard("0511223344", "Essai", QByteArray("key") + QByteArray::number(nextKey++), "dd");
    }
    int nextKey = 0;
    // The cards on screen.
    QList<TFrame4*> shownCards() const
    {
        QList<TFrame4*> shown;
        for (TFrame4* card : control<QFrame>(form1, "Panel3")->findChildren<TFrame4*>(Qt::FindDirectChildrenOnly)) {
            if (card->isVisibleTo(form1))
                shown.append(card);
        }
        return shown;
    }
    QString moreCallsLine() const
    {
        const auto* line = control<QLabel>(form1, "MoreCallsLabel");
        return line->isVisibleTo(form1) ? line->text() : QString();
    }
    // Lays the window out so that card positions can be compared.
    void layOut()
    {
        form1->show();
        testsupport::spinEventLoop(50);
    }
};

TEST_F(MainWindowTest, StartsAsAnAlwaysOnTopToolWindowInOptionsMode)
{
    EXPECT_EQ(form1->objectName(), QStringLiteral("Form1"));
    EXPECT_EQ(form1->windowTitle(), QStringLiteral("Corvaline"));
    EXPECT_TRUE(form1->windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(form1->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(form1->height(), 163);
    EXPECT_FALSE(form1->isCompact());
    EXPECT_FALSE(control<QFrame>(form1, "Panel1")->isVisibleTo(form1));
    EXPECT_TRUE(control<QFrame>(form1, "Panel2")->isVisibleTo(form1));
    EXPECT_FALSE(form1->Label3->isVisibleTo(form1));
    EXPECT_EQ(form1->CallCardCount(), 0);
}

TEST_F(MainWindowTest, HeightTable_WithoutCards)
{
    form1->Button3Click();
    EXPECT_EQ(form1->height(), 43);
    form1->Image1Click();
    EXPECT_EQ(form1->height(), 125);
}

TEST_F(MainWindowTest, HeightTable_WithThreeCards)
{
    form1->Image1Click();
    addCards(3);
    EXPECT_EQ(form1->CallCardCount(), 3);
    EXPECT_EQ(form1->height(), 125 + 96);
    form1->Button3Click();
    EXPECT_EQ(form1->height(), 139);
    form1->Image1Click();
    EXPECT_EQ(form1->height(), 221);
}

TEST_F(MainWindowTest, ShownWindow_GrowsAndShrinksByExactlyOneCardHeight)
{
    layOut();
    form1->Image1Click();
    addCards(1);
    testsupport::spinEventLoop(50);
    EXPECT_EQ(form1->height(), 125 + 32);
    addCards(2);
    testsupport::spinEventLoop(50);
    EXPECT_EQ(form1->height(), 125 + 96);
    form1->RemoveCallCard("key2");
    testsupport::spinEventLoop(50);
    EXPECT_EQ(form1->height(), 125 + 64);
}

TEST_F(MainWindowTest, AThousandRingingCalls_ShowTheFirstCardsAndCountTheOthers)
{
    constexpr int Shown = TForm1::MaxShownCards;
    constexpr int FullHeight = 125 + Shown * 32 + TForm1::MoreCallsHeight;
    form1->Image1Click();
    addCards(1000);
    EXPECT_EQ(form1->CallCardCount(), 1000);
    EXPECT_EQ(form1->callCardKeys().size(), 1000);
    EXPECT_EQ(form1->callCardKeys().last(), QByteArrayLiteral("key999"));
    EXPECT_EQ(shownCards().size(), Shown);
    EXPECT_EQ(moreCallsLine(), QStringLiteral("+ 980 autres appels"));
    EXPECT_EQ(form1->height(), FullHeight);
    EXPECT_NE(form1->findCallCard("key0"), nullptr);
    EXPECT_EQ(form1->findCallCard("key20"), nullptr);
    EXPECT_TRUE(form1->HasCallCard("key20"));
    EXPECT_TRUE(form1->HasCallCard("key999"));

    // The session's card comes on screen all the same, and goes.
    form1->AddRingingCard({}, "/ Attention", TFrame4::DisconnectionKey, "00");
    EXPECT_NE(form1->findCallCard(TFrame4::DisconnectionKey), nullptr);
    EXPECT_EQ(shownCards().size(), Shown + 1);
    EXPECT_EQ(moreCallsLine(), QStringLiteral("+ 980 autres appels"));
    EXPECT_EQ(form1->height(), FullHeight + 32);
    form1->RemoveCallCard(TFrame4::DisconnectionKey);
    EXPECT_EQ(shownCards().size(), Shown);
    EXPECT_EQ(form1->findCallCard("key20"), nullptr);
    EXPECT_EQ(form1->height(), FullHeight);

    // A waiting call answered meanwhile comes on screen answered, in the place
    // of the first card that goes; a waiting call that goes only counts down.
    form3->acces_auto->setChecked(false);
    form1->ShowConnectedCall("0511223344", "Essai", "key20", "dd");
    form1->RemoveCallCard("key0");
    form1->RemoveCallCard("key500");
    EXPECT_EQ(form1->CallCardCount(), 998);
    ASSERT_EQ(shownCards().size(), Shown);
    ASSERT_NE(form1->findCallCard("key20"), nullptr);
    EXPECT_TRUE(form1->findCallCard("key20")->isAnswered());
    EXPECT_EQ(form1->findCallCard("key21"), nullptr);
    EXPECT_EQ(moreCallsLine(), QStringLiteral("+ 978 autres appels"));
    EXPECT_EQ(form1->height(), FullHeight);

    const QByteArrayList keys = form1->callCardKeys();
    ASSERT_EQ(keys.size(), 998);
    EXPECT_EQ(keys.first(), QByteArrayLiteral("key1"));
    EXPECT_FALSE(keys.contains("key500"));
    for (const QByteArray& key : keys)
        ASSERT_TRUE(form1->HasCallCard(key)) << key.constData();
}

TEST_F(MainWindowTest, OneCallMoreThanTheCardsOnScreen_IsCountedAlone_TheLineGoesWithIt)
{
    constexpr int Shown = TForm1::MaxShownCards;
    form1->Image1Click();
    addCards(Shown + 1);
    EXPECT_EQ(moreCallsLine(), QStringLiteral("+ 1 autre appel"));
    EXPECT_EQ(form1->height(), 125 + Shown * 32 + TForm1::MoreCallsHeight);
    form1->RemoveCallCard("key3");
    EXPECT_EQ(shownCards().size(), Shown);
    EXPECT_EQ(moreCallsLine(), QString());
    EXPECT_EQ(form1->height(), 125 + Shown * 32);
    for (const QByteArray& key : form1->callCardKeys())
        EXPECT_NE(form1->findCallCard(key), nullptr) << key.constData();
    form1->Button3Click();
    EXPECT_EQ(form1->height(), 43 + Shown * 32);
}

TEST_F(MainWindowTest, CompactMode_HidesMenuAndOptions_OptionsModeBringsThemBack)
{
    form1->Button3Click();
    EXPECT_TRUE(form1->isCompact());
    EXPECT_FALSE(control<QMenu>(form1, "Configuration1")->menuAction()->isVisible());
    EXPECT_FALSE(control<QMenu>(form1, "N1")->menuAction()->isVisible());
    EXPECT_FALSE(control<QMenuBar>(form1, "MainMenu1")->isVisibleTo(form1));
    EXPECT_TRUE(control<QFrame>(form1, "Panel1")->isVisibleTo(form1));
    EXPECT_FALSE(control<QFrame>(form1, "Panel2")->isVisibleTo(form1));
    EXPECT_EQ(form1->palette().color(QPalette::Window), QColor(Qt::white));

    form1->Image1Click();
    EXPECT_TRUE(control<QMenu>(form1, "Configuration1")->menuAction()->isVisible());
    EXPECT_TRUE(control<QMenu>(form1, "N1")->menuAction()->isVisible());
    EXPECT_TRUE(control<QMenuBar>(form1, "MainMenu1")->isVisibleTo(form1));
    EXPECT_FALSE(control<QFrame>(form1, "Panel1")->isVisibleTo(form1));
    EXPECT_TRUE(control<QFrame>(form1, "Panel2")->isVisibleTo(form1));
}

TEST_F(MainWindowTest, MenuItems_InOrderWithTheirCaptions)
{
    const QList<QAction*> configuration = control<QMenu>(form1, "Configuration1")->actions();
    ASSERT_EQ(configuration.size(), 4);
    EXPECT_EQ(configuration[0], control<QAction>(form1, "Orbanel1"));
    EXPECT_EQ(configuration[1], control<QAction>(form1, "Asterisk1"));
    EXPECT_TRUE(configuration[2]->isSeparator());
    EXPECT_EQ(configuration[3]->text(), QStringLiteral("Quitter"));
    const QList<QAction*> menu = control<QMenu>(form1, "N1")->actions();
    ASSERT_EQ(menu.size(), 6);
    EXPECT_EQ(menu[0]->text(), QStringLiteral("Lancer Orbanel sur votre navigateur"));
    EXPECT_TRUE(menu[1]->isSeparator());
    EXPECT_EQ(menu[2]->text(), QStringLiteral("Simuler un appel (répondu) "));
    EXPECT_EQ(menu[3]->text(), QStringLiteral("Simuler un appel (client - sonne)"));
    EXPECT_TRUE(menu[4]->isSeparator());
    EXPECT_EQ(menu[5]->text(), QStringLiteral("Historique"));
    QStringList tray;
    for (const QAction* action : form1->trayActions())
        tray.append(action->text());
    EXPECT_EQ(tray, (QStringList{QStringLiteral("Afficher"), QStringLiteral("Appeler..."), QStringLiteral("Historique"),
                                 QStringLiteral("Quitter")}));
}

TEST_F(MainWindowTest, HistoryAndCallCommands_ShowTheirWindows_TheSessionCardIsNoCall)
{
    control<QAction>(form1, "Historique1")->trigger();
    EXPECT_TRUE(windows->desktop()->historyWindow()->isVisible());
    control<QAction>(form1, "Appeler1")->trigger();
    EXPECT_TRUE(form5->isVisible());

    form1->AddRingingCard({}, "/ Attention", TFrame4::DisconnectionKey, "00");
    form1->RemoveCallCard(TFrame4::DisconnectionKey);
    control<QAction>(form1, "Simulerunappel11")->trigger();
    form1->RemoveCallCard("d77");
    const QList<CallRecord>& calls = windows->desktop()->history().records();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].number, QByteArrayLiteral("0511223344"));
    EXPECT_TRUE(calls[0].isMissed());
}

TEST_F(MainWindowTest, SimulateCommands_EachShowsItsCardOnce)
{
    const int start = form1->height();
    control<QAction>(form1, "Simulerunappel1")->trigger();
    control<QAction>(form1, "Simulerunappel1")->trigger();
    EXPECT_EQ(form1->CallCardCount(), 1);
    EXPECT_EQ(form1->height(), start + 32);
    control<QAction>(form1, "Simulerunappel11")->trigger();
    control<QAction>(form1, "Simulerunappel11")->trigger();
    EXPECT_EQ(form1->CallCardCount(), 2);
    EXPECT_EQ(form1->height(), start + 64);

    const TFrame4* answered = form1->findCallCard("d717");
    const TFrame4* ringing = form1->findCallCard("d77");
    ASSERT_TRUE(answered && ringing);
    EXPECT_TRUE(answered->isAnswered());
    EXPECT_EQ(answered->channelValue(), QByteArray("d1d"));
    EXPECT_FALSE(ringing->isAnswered());
    EXPECT_EQ(ringing->numberValue(), QByteArray("0511223344"));
    layOut();
    EXPECT_LT(answered->y(), ringing->y());
}

TEST_F(MainWindowTest, ShowConnectedCall_OnARingingCard_KeepsOneCardAndMovesItToTheTop)
{
    form1->AddRingingCard("0511223344", "Essai", "k1", "100-1");
    form1->AddRingingCard("0511223355", "Essai", "k2", "100-2");
    layOut();
    const int height = form1->height();
    TFrame4* first = form1->findCallCard("k1");
    const TFrame4* second = form1->findCallCard("k2");
    form3->acces_auto->setChecked(false);
    form1->ShowConnectedCall("0511223344", "Essai", "k2", "100-2");
    testsupport::spinEventLoop(50);
    EXPECT_EQ(form1->CallCardCount(), 2);
    EXPECT_EQ(form1->height(), height);
    EXPECT_FALSE(control<QToolButton>(second, "SpeedButton1")->isEnabled());
    EXPECT_TRUE(control<QToolButton>(first, "SpeedButton1")->isEnabled());
    EXPECT_LT(second->y(), first->y());
}

TEST_F(MainWindowTest, ShowConnectedCall_ForANewKey_AddsAnAnsweredCard)
{
    form3->acces_auto->setChecked(false);
    const int height = form1->height();
    form1->ShowConnectedCall("0511223344", "Essai", "k1", "100-1");
    ASSERT_TRUE(form1->HasCallCard("k1"));
    EXPECT_TRUE(form1->findCallCard("k1")->isAnswered());
    EXPECT_EQ(form1->height(), height + 32);
    EXPECT_TRUE(pages.isEmpty());
}

TEST_F(MainWindowTest, ShowConnectedCall_WithAutomaticAccess_OpensTheCallersPage)
{
    form3->acces_auto->setChecked(true);
    form3->sda_liaison->setChecked(true);
    form3->adresse_ob->setText(QStringLiteral("http://127.0.0.1:8000"));
    form1->ShowConnectedCall("0601020304", "0140000000", "k1", "100-1");
    EXPECT_EQ(pages, QStringList{QStringLiteral(
                         "http://127.0.0.1:8000/cgi-bin/agenda/frame.pl?sda=0140000000&number=0601020304")});

    form3->adresse_ob->clear();
    form1->ShowConnectedCall("0601020304", "0140000000", "k2", "100-2");
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(pages.size(), 1);
    EXPECT_EQ(messages, QStringList{QStringLiteral("Indiquer l'adresse d'Orbanel")});
}

TEST_F(MainWindowTest, MissingAgendaAddress_IsAskedForOnceTheReceivedTextIsHandled)
{
    // Two calls answered and the first hung up, in one piece of received text:
    // a box shown in the middle would hold the rest of the text.
    form3->acces_auto->setChecked(true);
    form3->adresse_ob->clear();
    form2->poste_as->setText(QStringLiteral("100"));
    control<QComboBox>(form2, "mode_as")->setCurrentText(QStringLiteral("Moderne"));
    bool hangupHandledFirst = false;
    setMessageSinkForTests([&](const QString& text) {
        messages.append(text);
        hangupHandledFirst = !form1->HasCallCard("1");
    });
    const QByteArray text = "Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 6\r\nConnectedLineNum: 0601\r\n"
                            "Uniqueid: 1\r\n\r\nEvent: Newstate\r\nChannel: SIP/100-2\r\nChannelState: 6\r\n"
                            "ConnectedLineNum: 0602\r\nUniqueid: 2\r\n\r\nEvent: Hangup\r\nChannel: SIP/100-1\r\n"
                            "Uniqueid: 1\r\n\r\n";
    form2->TnCnxDataAvailable(nullptr, text.constData(), text.size());
    EXPECT_TRUE(hangupHandledFirst);
    EXPECT_EQ(messages, QStringList{QStringLiteral("Indiquer l'adresse d'Orbanel")}) << "once for both calls";
    EXPECT_FALSE(form1->HasCallCard("1"));
    EXPECT_TRUE(form1->HasCallCard("2"));

    // Asked again once the address changed.
    form3->adresse_ob->setText(QStringLiteral("x"));
    form3->adresse_ob->clear();
    form1->ShowConnectedCall("0603", "", "3", "SIP/100-3");
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(messages.size(), 2);
}

TEST_F(MainWindowTest, AutomaticAccess_OpensTheCallersPageOncePerCall)
{
    // The event that answers a call repeats its operation on every further line.
    form3->acces_auto->setChecked(true);
    form3->sda_liaison->setChecked(false);
    form3->adresse_ob->setText(QStringLiteral("http://agenda"));
    form1->AddRingingCard("0601020304", "0140000000", "k1", "100-1");
    for (int line = 0; line < 4; ++line)
        form1->ShowConnectedCall("0601020304", "0140000000", "k1", "100-1");
    for (int line = 0; line < 4; ++line)
        form1->OpenCallerAgenda("k1");
    EXPECT_EQ(pages.size(), 1);

    // Without an address the request for it comes once per call as well.
    form3->adresse_ob->clear();
    for (int line = 0; line < 4; ++line)
        form1->ShowConnectedCall("0601020305", "0140000000", "k2", "100-2");
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(messages, QStringList{QStringLiteral("Indiquer l'adresse d'Orbanel")});

    // A call whose card was removed before it was answered: once as well.
    form3->adresse_ob->setText(QStringLiteral("http://agenda"));
    for (int line = 0; line < 4; ++line)
        form1->OpenCallerAgenda("k-without-card");
    EXPECT_EQ(pages.size(), 2);
    EXPECT_EQ(pages.last(), QStringLiteral("http://agenda/cgi-bin/agenda/frame.pl?base=&number="));

    // The card's own button still opens the page whenever it is pressed.
    form1->findCallCard("k1")->SpeedButton4Click();
    form1->findCallCard("k1")->SpeedButton4Click();
    EXPECT_EQ(pages.size(), 4);
}

TEST_F(MainWindowTest, FortyCallsAnsweredAtOnce_OpenNoMoreAgendaPagesThanTheLimit)
{
    form3->acces_auto->setChecked(true);
    form3->sda_liaison->setChecked(false);
    form3->adresse_ob->setText(QStringLiteral("http://agenda"));
    for (int i = 0; i < 40; ++i) {
        const QByteArray number = "06010203" + QByteArray::number(10 + i);
        const QByteArray key = "a" + QByteArray::number(i);
        form1->AddRingingCard(number, "0140000000", key, "100-" + key);
        form1->ShowConnectedCall(number, "0140000000", key, "100-" + key);
    }
    ASSERT_FALSE(pages.isEmpty());
    EXPECT_LE(pages.size(), AutomaticPageLimit::PagesPerPeriod);
    EXPECT_EQ(pages.first(), QStringLiteral("http://agenda/cgi-bin/agenda/frame.pl?base=0140000000&number=0601020310"));
    EXPECT_EQ(form1->CallCardCount(), 40);

    // The card's own button is no automatic page.
    const qsizetype opened = pages.size();
    form1->findCallCard("a5")->SpeedButton4Click();
    EXPECT_EQ(pages.size(), opened + 1);
    EXPECT_EQ(pages.last(), QStringLiteral("http://agenda/cgi-bin/agenda/frame.pl?base=0140000000&number=0601020315"));
}

TEST_F(MainWindowTest, OpenCallerAgenda_UsesTheCardsValuesOrEmptyOnesForAnUnknownKey)
{
    form3->acces_auto->setChecked(true);
    form3->sda_liaison->setChecked(false);
    form3->adresse_ob->setText(QStringLiteral("http://agenda"));
    form1->AddRingingCard("0601020304", "0140000000", "k1", "100-1");
    form1->OpenCallerAgenda("k1");
    form1->OpenCallerAgenda("nothing");
    EXPECT_TRUE(form1->findCallCard("k1")->isAnswered());
    EXPECT_EQ(pages,
              (QStringList{QStringLiteral("http://agenda/cgi-bin/agenda/frame.pl?base=0140000000&number=0601020304"),
                           QStringLiteral("http://agenda/cgi-bin/agenda/frame.pl?base=&number=")}));

    form3->acces_auto->setChecked(false);
    form1->OpenCallerAgenda("k1");
    EXPECT_EQ(pages.size(), 2);
}

TEST_F(MainWindowTest, RemovingAKeyTwice_ShrinksTheWindowOnce)
{
    addCards(2);
    const int height = form1->height();
    form1->RemoveCallCard("key0");
    form1->RemoveCallCard("key0");
    form1->RemoveCallCard("unknown");
    EXPECT_EQ(form1->height(), height - 32);
    EXPECT_EQ(form1->CallCardCount(), 1);
    EXPECT_FALSE(form1->HasCallCard("key0"));
    EXPECT_TRUE(form1->HasCallCard("key1"));
}

TEST_F(MainWindowTest, MarkCardAnswered_ForAnUnknownKey_ChangesNothing)
{
    addCards(1);
    const int height = form1->height();
    form1->MarkCardAnswered("unknown");
    EXPECT_EQ(form1->height(), height);
    EXPECT_FALSE(form1->findCallCard("key0")->isAnswered());
}

TEST_F(MainWindowTest, RemovingACardFromItsOwnButton_FreesItAfterTheClick)
{
    addCards(1);
    QPointer<TFrame4> card = form1->findCallCard("key0");
    ASSERT_FALSE(card.isNull());
    control<QToolButton>(card, "SpeedButton5")->click();
    EXPECT_EQ(form1->CallCardCount(), 0);
    EXPECT_FALSE(card.isNull()); // still inside its click when the list let it go
    EXPECT_TRUE(testsupport::waitFor([&] { return card.isNull(); }, 5000));

    addCards(1);
    card = form1->findCallCard("key1");
    ASSERT_FALSE(card.isNull());
    card->Supprimercetappeldelaliste1->trigger();
    EXPECT_EQ(form1->CallCardCount(), 0);
    EXPECT_TRUE(testsupport::waitFor([&] { return card.isNull(); }, 5000));
}

TEST_F(MainWindowTest, DisconnectionCard_ComesOnceAndGoesWithItsKey)
{
    form1->AddRingingCard("",
                          "/ Attention D\xe9"
                          "connect\xe9",
                          "100.cvl", "00");
    form1->AddRingingCard("",
                          "/ Attention D\xe9"
                          "connect\xe9",
                          "100.cvl", "00");
    EXPECT_EQ(form1->CallCardCount(), 1);
    form1->RemoveCallCard("100.cvl");
    EXPECT_EQ(form1->CallCardCount(), 0);
}

TEST_F(MainWindowTest, SessionState_ShowsOrHidesTheConnectButtonStrip)
{
    emit form2->sessionShown(false);
    EXPECT_EQ(control<QFrame>(form1, "Panel1")->height(), 25);
    EXPECT_TRUE(control<QPushButton>(form1, "Button1")->isVisibleTo(control<QFrame>(form1, "Panel1")));
    emit form2->sessionShown(true);
    EXPECT_EQ(control<QFrame>(form1, "Panel1")->maximumHeight(), 14);
    EXPECT_FALSE(control<QPushButton>(form1, "Button1")->isVisibleTo(control<QFrame>(form1, "Panel1")));
}

TEST_F(MainWindowTest, HangUpItemOfACard_ReachesTheManagerConsole)
{
    QByteArrayList hangups;
    QObject::connect(form2, &TForm2::hangupRequested,
                     [&hangups](const QByteArray& channel) { hangups.append(channel); });
    form1->AddAnsweredCard("0601020304", "0140000000", "k1", "100-0000001a");
    form1->findCallCard("k1")->Raccrocher1->trigger();
    EXPECT_EQ(hangups, QByteArrayList{"100-0000001a"});
    EXPECT_TRUE(form1->HasCallCard("k1"));
}

TEST_F(MainWindowTest, HangupDeliveredWhileItsRingingCardIsCreated_LeavesNoCard)
{
    // Card creation runs the event loop; the session hands over the hang-up of
    // the same call right then. The rest of the ringing event must not bring
    // the card back.
    const QByteArray ringing = "Event: Newstate\r\nChannel: SIP/100-0a\r\nChannelState: 5\r\n"
                               "ConnectedLineNum: 201\r\nUniqueid: 77.5\r\n\r\n";
    const QByteArray hangup = "Event: Hangup\r\nChannel: SIP/100-0a\r\nUniqueid: 77.5\r\n\r\n";
    form2->poste_as->setText(QStringLiteral("100"));
    for (const QString& mode : {QStringLiteral("Classique"), QStringLiteral("Moderne")}) {
        control<QComboBox>(form2, "mode_as")->setCurrentText(mode);
        bool hungUp = false;
        QTimer::singleShot(0, form1, [&] {
            form2->TnCnxDataAvailable(nullptr, hangup.constData(), hangup.size());
            hungUp = true;
        });
        form2->TnCnxDataAvailable(nullptr, ringing.constData(), ringing.size());
        EXPECT_TRUE(hungUp) << qPrintable(mode);
        EXPECT_FALSE(form1->HasCallCard("77.5")) << qPrintable(mode);
        EXPECT_EQ(form1->CallCardCount(), 0) << qPrintable(mode);
    }
}

TEST_F(MainWindowTest, PendingEvents_RunOnceTheReceivedTextIsHandledWhole_NotWhileACardComes)
{
    // Two calls ring and the first is hung up, in one piece of received text.
    const QByteArray text = "Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 5\r\nUniqueid: 1\r\n\r\n"
                            "Event: Newstate\r\nChannel: SIP/100-2\r\nChannelState: 5\r\nUniqueid: 2\r\n\r\n"
                            "Event: Hangup\r\nChannel: SIP/100-1\r\nUniqueid: 1\r\n\r\n";
    form2->poste_as->setText(QStringLiteral("100"));
    control<QComboBox>(form2, "mode_as")->setCurrentText(QStringLiteral("Moderne"));
    QByteArrayList keysSeen{"not run"};
    QTimer::singleShot(0, form1, [&] { keysSeen = form1->callCardKeys(); });
    form2->TnCnxDataAvailable(nullptr, text.constData(), text.size());
    EXPECT_EQ(keysSeen, QByteArrayList{"2"});
}

TEST_F(MainWindowTest, ExtensionField_FollowsIntoTheConsole)
{
    control<QLineEdit>(form1, "Edit1")->setText(QStringLiteral("104"));
    EXPECT_EQ(form2->poste_as->text(), QStringLiteral("104"));
}

TEST_F(MainWindowTest, StartUpTimer_FiresOnceCopiesTheExtensionAndSetsTheModeHeight)
{
    control<QLineEdit>(form1, "Edit1")->clear();
    form2->poste_as->setText(QStringLiteral("105"));
    form1->Timer1->start();
    ASSERT_TRUE(testsupport::waitFor([&] { return !form1->Timer1->isActive(); }, 5000));
    EXPECT_EQ(control<QLineEdit>(form1, "Edit1")->text(), QStringLiteral("105"));
    EXPECT_EQ(form1->height(), 125);
}

TEST_F(MainWindowTest, StartUpTimer_KeepsRoomForCardsAlreadyShown)
{
    addCards(2);
    form1->Timer1Timer();
    EXPECT_EQ(form1->height(), 125 + 64);
}

TEST_F(MainWindowTest, StartUpTimer_AFailedNameListDownloadEndsInTheStatusLabelAndSkipsTheRest)
{
    // Nothing listens on port 1 of the loopback: the download is refused.
    form3->adresse_ob->setText(QStringLiteral("http://127.0.0.1:1"));
    const int heightBefore = form1->height();
    const auto sink = [this](const QString& message) { form1->ApplicationEvents1Exception(message); };
    EXPECT_TRUE(CorvalineApplication::guarded(
        [this] {
            form1->Timer1Timer();
            return true;
        },
        sink));
    EXPECT_TRUE(form1->Label3->text().endsWith(QStringLiteral("(Error #10061)")))
        << form1->Label3->text().toStdString();
    EXPECT_EQ(form1->height(), heightBefore) << "the mode height comes after the lists";
    EXPECT_EQ(form3->ValueListEditor1.rowCount(), 0);
}

TEST_F(MainWindowTest, TransparencySlider_SetsTheWindowOpacity)
{
    EXPECT_EQ(control<QSlider>(form1, "TrackBar1")->minimum(), 60);
    EXPECT_EQ(control<QSlider>(form1, "TrackBar1")->maximum(), 255);
    EXPECT_EQ(control<QSlider>(form1, "TrackBar1")->value(), 255);
    control<QSlider>(form1, "TrackBar1")->setValue(60);
    EXPECT_NEAR(form1->windowOpacity(), 60 / 255.0, 0.01);
    control<QSlider>(form1, "TrackBar1")->setValue(255);
    EXPECT_NEAR(form1->windowOpacity(), 1.0, 0.01);
}

TEST_F(MainWindowTest, AgendaHomePage_OpensUnderTheAddressOrAsksForIt)
{
    form3->adresse_ob->clear();
    control<QAction>(form1, "Dmarrervotrenavigateur1")->trigger();
    EXPECT_TRUE(pages.isEmpty());
    EXPECT_EQ(messages, QStringList{QStringLiteral("Indiquer l'adresse d'Orbanel")});
    form3->adresse_ob->setText(QStringLiteral("http://192.168.0.1"));
    control<QAction>(form1, "Dmarrervotrenavigateur1")->trigger();
    EXPECT_EQ(pages, QStringList{QStringLiteral("http://192.168.0.1/cgi-bin/agenda/bon.pl")});
}

TEST_F(MainWindowTest, ConfigurationItems_ShowTheirWindows_QuitClosesTheProgram)
{
    control<QAction>(form1, "Orbanel1")->trigger();
    EXPECT_TRUE(form3->isVisible());
    control<QAction>(form1, "Asterisk1")->trigger();
    EXPECT_TRUE(form2->isVisible());
    int closed = 0;
    QObject::connect(form1, &TForm1::closed, [&closed] { ++closed; });
    form1->show();
    control<QAction>(form1, "Quitter1")->trigger();
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(form1->isVisible());
}

TEST_F(MainWindowTest, UnhandledError_EndsInTheStatusLabelWithoutStoppingDelivery)
{
    QString sunk;
    const auto sink = [&sunk](const QString& message) { sunk = message; };
    EXPECT_TRUE(
        CorvalineApplication::guarded([]() -> bool { throw std::runtime_error("can't resolve hostname"); }, sink));
    EXPECT_EQ(sunk, QStringLiteral("can't resolve hostname"));
    EXPECT_FALSE(CorvalineApplication::guarded([] { return false; }, sink));

    form1->ApplicationEvents1Exception(sunk);
    EXPECT_EQ(form1->Label3->text(), QStringLiteral("can't resolve hostname"));
    EXPECT_FALSE(form1->Label3->isVisibleTo(form1));
}

} // namespace
