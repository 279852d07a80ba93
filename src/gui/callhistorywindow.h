#pragma once

#include "supervision/callhistory.h"

#include <QWidget>

#include <memory>

class TForm5;

namespace Ui {
class CallHistoryWindow;
}

// The "Historique" window: the last calls, newest first, missed ones in red,
// with a filter on number, name and line. A double-click puts the call's
// number in the dial window. Closing it only hides it.
class CallHistoryWindow : public QWidget
{
    Q_OBJECT

public:
    explicit CallHistoryWindow(TForm5* dial, QWidget* parent = nullptr);
    ~CallHistoryWindow() override;

    // Shows these calls (oldest first, as the history keeps them).
    void showRecords(const QList<CallRecord>& records);
    // The same calls once the newest (the last) was added to those shown.
    void showAddedRecord(const QList<CallRecord>& records);

    void FiltreChange();
    void AppelsDoubleClick(int row);

    // "12:05" or "1:02:05" for a talk time.
    static QString durationText(int seconds);

private:
    std::unique_ptr<Ui::CallHistoryWindow> ui;

    void fillRow(int row, const CallRecord& record);
    void showSummary(const QList<CallRecord>& records);
    void applyFilter(int row);

    TForm5* m_dial;
};
