// The calls of the real simulator end up in the history: the file of the data
// folder and the "Historique" window, newest first with the missed call
// marked; a double-click puts a number in the dial window.
#include "corvalinefixture.h"

#include "gui/desktopintegration.h"
#include "gui/mainwindow.h"
#include "gui/agendasettings.h"
#include "control.h"
#include "mountedtmpfs.h"
#include "gui/callhistorywindow.h"
#include "gui/dialwindow.h"
#include "waitfor.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableWidget>

namespace {

class CallHistoryOnLoopback : public CorvalineOnLoopback
{
protected:
    // A person's double-click on a cell: the view takes it only after a press
    // on the same cell.
    static void doubleClick(const QTableWidget* table, int row, int column)
    {
        const QPointF at = table->visualRect(table->model()->index(row, column)).center();
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                                  QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, table->viewport()->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(table->viewport(), &event);
        }
    }
};

TEST_F(CallHistoryOnLoopback, FourCalls_NewestFirstWithTheMissedOneMarked_DoubleClickFillsTheDialWindow)
{
    // The first four scripted calls: three answered, then one the caller gives
    // up. The first comes once the name lists are downloaded at start-up: the
    // simulator counts its delay from the program's login.
    startSimulator({QStringLiteral("--calls"), QStringLiteral("new"), QStringLiteral("--first-call"),
                    QStringLiteral("1.5"), QStringLiteral("--ring-time"), QStringLiteral("0.4"),
                    QStringLiteral("--talk-time"), QStringLiteral("1"), QStringLiteral("--call-interval"),
                    QStringLiteral("1.6"), QStringLiteral("--calls-after-login")});
    writeSettings(false);
    // The name lists come from the agenda at start-up, as in an office.
    const QByteArray agendaAddress = startAgenda("0612345678=Dupont Marie\r\n", "0491234500=Accueil\r\n");
    ASSERT_FALSE(agendaAddress.isEmpty());
    createWindows();
    form3->adresse_ob->setText(QString::fromLatin1(agendaAddress));
    ASSERT_TRUE(startUpAndLogIn());
    const DesktopIntegration* desktop = windows->desktop();
    ASSERT_TRUE(testsupport::waitFor([&] { return desktop->history().records().size() >= 4; }, 120000));

    const auto* table = control<QTableWidget>(desktop->historyWindow(), "Appels");
    ASSERT_EQ(table->rowCount(), 4);
    const QStringList numbers{QStringLiteral("0699001122"), QStringLiteral("0155667788"), QStringLiteral("0478901234"),
                              QStringLiteral("0612345678")};
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(table->item(row, 2)->text(), numbers[row]) << "row " << row;
        EXPECT_EQ(table->item(row, 5)->text(), row == 0 ? QStringLiteral("Manqué") : QStringLiteral("Répondu"));
        EXPECT_EQ(table->item(row, 0)->font().bold(), row == 0) << "row " << row;
    }
    EXPECT_EQ(table->item(3, 3)->text(), QStringLiteral("Dupont Marie"));
    EXPECT_EQ(table->item(3, 4)->text(), QStringLiteral("Accueil"));

    // What the window shows is what the file keeps.
    const QByteArrayList lines = dataDir.read(CallHistory::FileName).split('\n');
    ASSERT_GE(lines.size(), 5);
    EXPECT_TRUE(lines[0].contains("\tentrant\t0612345678\tDupont Marie\tAccueil\trepondu\t")) << lines[0].constData();
    EXPECT_TRUE(lines[3].contains("\tentrant\t0699001122\t\t0491234503\tmanque\t0")) << lines[3].constData();

    control<QLineEdit>(desktop->historyWindow(), "Filtre")->setText(QStringLiteral("dupont"));
    EXPECT_FALSE(table->isRowHidden(3));
    EXPECT_TRUE(table->isRowHidden(0));

    control<QLineEdit>(desktop->historyWindow(), "Filtre")->clear();
    desktop->historyWindow()->show();
    doubleClick(table, 0, 2);
    EXPECT_EQ(form5->Edit1->text(), QStringLiteral("0699001122"));
    EXPECT_EQ(form5->Edit2->text(), QStringLiteral("0699001122"));
    EXPECT_TRUE(form5->isVisible());
}

TEST_F(CallHistoryOnLoopback, CallEndingOnAFullDisk_KeepsTheFileWholeAndTellsTheUserInTheStatusLabel)
{
    const MountedTmpfs disk(dataDir.path(), 1024 * 1024);
    if (!disk.isMounted())
        GTEST_SKIP() << disk.whyNotMounted().toStdString();
    startSimulator(OneScriptedCall("new", "0.4", "0.5", "1.5"));
    // The journal would stop on the full disk; it has nothing to do with the history.
    writeSettings(false, {"journal_enre=0"});
    const QByteArray agendaAddress = startAgenda("0612345678=Dupont Marie\r\n", "0491234500=Accueil\r\n");
    ASSERT_FALSE(agendaAddress.isEmpty());
    const QByteArray saved = "2026-12-08T10:21:47\tentrant\t0555\t\t\trepondu\t12\n";
    ASSERT_TRUE(dataDir.write(CallHistory::FileName, saved));
    createWindows();
    form3->adresse_ob->setText(QString::fromLatin1(agendaAddress));
    ASSERT_TRUE(startUpAndLogIn());
    ASSERT_TRUE(disk.fill());

    const DesktopIntegration* desktop = windows->desktop();
    ASSERT_TRUE(testsupport::waitFor([&] { return desktop->history().records().size() >= 2; }, 30000));
    EXPECT_EQ(dataDir.read(CallHistory::FileName), saved) << "the old file byte for byte";
    EXPECT_TRUE(form1->Label3->text().startsWith(QStringLiteral("Impossible d'enregistrer l'historique des appels")))
        << form1->Label3->text().toStdString();
    EXPECT_EQ(control<QTableWidget>(desktop->historyWindow(), "Appels")->rowCount(), 2)
        << "the call is kept for the next write";
}

} // namespace
