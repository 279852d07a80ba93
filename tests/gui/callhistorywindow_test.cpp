#include "control.h"
#include "supervision/callhistory.h"
#include "gui/callhistorywindow.h"
#include "gui/dialwindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

CallRecord record(int index)
{
    const bool answered = index % 3 != 0;
    return {QDateTime(QDate(2026, 12, 8), QTime(8, 0)).addSecs(index * 60),
            CallRecord::Direction::Incoming,
            "06" + QByteArray::number(index),
            index % 7 == 0 ? "Dupont" : "Martin",
            "Accueil",
            answered,
            answered ? index : 0};
}

QStringList rows(const CallHistoryWindow& window)
{
    const auto* table = control<QTableWidget>(&window, "Appels");
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row) {
        QString text = table->isRowHidden(row) ? QStringLiteral("hidden ") : QString();
        for (int column = 0; column < table->columnCount(); ++column)
            text += table->item(row, column)->text() + (table->item(row, column)->font().bold() ? u'*' : u'|');
        texts << text;
    }
    return texts;
}

// A call that ends adds one row to the window; past the history's bound the
// window must still show exactly what a full redraw of the same calls shows.
TEST(CallHistoryWindowTest, CallsAddedOneByOnePastTheBound_ShowWhatAFullRedrawShows)
{
    TForm5 dial;
    CallHistoryWindow added(&dial);
    CallHistoryWindow redrawn(&dial);
    for (CallHistoryWindow* window : {&added, &redrawn})
        control<QLineEdit>(window, "Filtre")->setText(QStringLiteral("dupont"));

    QList<CallRecord> records;
    for (int i = 0; i < CallHistory::MaxRecords; ++i)
        records.append(record(i));
    added.showRecords(records);
    for (int i = CallHistory::MaxRecords; i < CallHistory::MaxRecords + 5; ++i) {
        records.append(record(i));
        records.removeFirst();
        added.showAddedRecord(records);
    }
    redrawn.showRecords(records);

    EXPECT_EQ(control<QTableWidget>(&added, "Appels")->rowCount(), CallHistory::MaxRecords);
    EXPECT_EQ(rows(added), rows(redrawn));
    EXPECT_EQ(control<QLabel>(&added, "Resume")->text(), control<QLabel>(&redrawn, "Resume")->text());
}

} // namespace
