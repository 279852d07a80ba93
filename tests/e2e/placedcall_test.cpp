// A call placed from the dial window in modern mode: the PBX rings the phone
// with the phone's own caller id and names the far party later. The card, the
// agenda and the history show the other party, never the user's own number.
#include "corvalinefixture.h"
#include "scriptedmanager.h"

#include "gui/desktopintegration.h"
#include "gui/mainwindow.h"
#include "gui/agendasettings.h"
#include "gui/callcard.h"
#include "gui/dialwindow.h"
#include "waitfor.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {

using PlacedCall = CorvalineOnLoopback;

// The phone's leg of an Originate with CallerId 100, as Asterisk 22 writes it.
QByteArray phoneLeg(const char* event, const char* state, const char* connectedNumber, const char* connectedName)
{
    return QByteArray("Event: ") + event + "\r\nPrivilege: call,all\r\nChannel: PJSIP/100-00000000\r\n" +
           "ChannelState: " + state +
           "\r\nCallerIDNum: 100\r\nCallerIDName: Accueil\r\nConnectedLineNum: " + connectedNumber +
           "\r\nConnectedLineName: " + connectedName +
           "\r\nContext: from-internal\r\nExten: s\r\nUniqueid: 7.0\r\nLinkedid: 7.0\r\n\r\n";
}

TEST_F(PlacedCall, ShowsTheNumberDialledThenThePartyNamed_AgendaAndHistoryForTheOtherParty)
{
    ScriptedManager manager;
    writeSettings(false, {"mode_as=Moderne", "techno_as=PJSIP"}, manager.port());
    const QByteArray agendaAddress = startAgenda("0699=Dupont\r\n", "0491=Accueil\r\n");
    ASSERT_FALSE(agendaAddress.isEmpty());
    createWindows();
    form3->adresse_ob->setText(QString::fromLatin1(agendaAddress));
    form3->acces_auto->setChecked(true);
    ASSERT_TRUE(startUpAndLogIn());

    form5->Edit1->setText(QStringLiteral("201"));
    form5->Button1Click();
    ASSERT_TRUE(testsupport::waitFor([&] { return manager.received().contains("Exten: 201\r\n"); }));
    manager.send(phoneLeg("Newstate", "5", "100", "<unknown>"));
    ASSERT_TRUE(testsupport::waitFor([&] { return form1->findCallCard("7.0") != nullptr; }));
    TFrame4* card = form1->findCallCard("7.0");
    EXPECT_EQ(card->numberValue(), "201");

    manager.send(phoneLeg("Newstate", "6", "100", "<unknown>"));
    ASSERT_TRUE(testsupport::waitFor([&] { return !pages.isEmpty(); }));
    EXPECT_TRUE(pages.first().endsWith(QStringLiteral("&number=201"))) << pages.first().toStdString();

    manager.send(phoneLeg("NewConnectedLine", "6", "201", "Martin"));
    ASSERT_TRUE(testsupport::waitFor([&] { return card->sdaValue() == "Martin"; }));
    EXPECT_EQ(form1->findCallCard("7.0"), card) << "the same card";
    EXPECT_TRUE(card->isAnswered());

    manager.send(phoneLeg("Hangup", "6", "201", "Martin"));
    const DesktopIntegration* desktop = windows->desktop();
    ASSERT_TRUE(testsupport::waitFor([&] { return desktop->history().records().size() == 1; }));
    EXPECT_EQ(desktop->history().records().first().number, "201");
    EXPECT_EQ(desktop->history().records().first().line, "Martin");
    EXPECT_EQ(pages.size(), 1) << "no page for the user's own number";
}

} // namespace
