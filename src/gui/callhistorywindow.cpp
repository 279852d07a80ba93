#include "gui/callhistorywindow.h"

#include "config/displaytext.h"
#include "gui/dialwindow.h"
#include "ui_callhistorywindow.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLineEdit>

#include <algorithm>

namespace {

enum Column
{
    DateColumn,
    DirectionColumn,
    NumberColumn,
    NameColumn,
    LineColumn,
    OutcomeColumn,
    DurationColumn
};

const QColor MissedColour(0xc0, 0x20, 0x20);

QString outcomeText(const CallRecord& record)
{
    if (record.isMissed())
        return QCoreApplication::translate("CallHistoryWindow", "Manqué");
    return record.answered ? QCoreApplication::translate("CallHistoryWindow", "Répondu")
                           : QCoreApplication::translate("CallHistoryWindow", "Sans réponse");
}

} // namespace

CallHistoryWindow::CallHistoryWindow(TForm5* dial, QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::CallHistoryWindow>()), m_dial(dial)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_QuitOnClose, false);
    // The names take what the other columns leave, so the window never scrolls sideways.
    QHeaderView* header = ui->Appels->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    connect(ui->Filtre, &QLineEdit::textChanged, this, &CallHistoryWindow::FiltreChange);
    connect(ui->Appels, &QTableWidget::cellDoubleClicked, this, [this](int row) { AppelsDoubleClick(row); });
    connect(ui->Button1, &QPushButton::clicked, this, &QWidget::close);
}

CallHistoryWindow::~CallHistoryWindow() = default;

void CallHistoryWindow::showRecords(const QList<CallRecord>& records)
{
    ui->Appels->setRowCount(int(records.size()));
    int row = 0;
    for (auto it = records.crbegin(); it != records.crend(); ++it, ++row)
        fillRow(row, *it);
    showSummary(records);
    FiltreChange();
}

void CallHistoryWindow::showAddedRecord(const QList<CallRecord>& records)
{
    // One row more at the top, the oldest gone past the history's bound: a
    // call that ends costs one row, not the whole table again.
    QTableWidget* table = ui->Appels;
    table->insertRow(0);
    fillRow(0, records.constLast());
    table->setRowCount(int(records.size()));
    showSummary(records);
    applyFilter(0);
}

void CallHistoryWindow::fillRow(int row, const CallRecord& record)
{
    const QStringList texts{
        QLocale(tr("fr", "the language of the dates")).toString(record.start, tr("ddd dd/MM/yyyy HH:mm")),
        record.direction == CallRecord::Direction::Incoming ? tr("Entrant") : tr("Sortant"),
        DisplayText::toDisplay(record.number),
        DisplayText::toDisplay(record.name),
        DisplayText::toDisplay(record.line),
        outcomeText(record),
        record.answered ? durationText(record.talkSeconds) : QString()};
    for (int column = 0; column < texts.size(); ++column) {
        auto* item = new QTableWidgetItem(texts[column]);
        if (record.isMissed()) {
            item->setForeground(MissedColour);
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
        }
        ui->Appels->setItem(row, column, item);
    }
}

void CallHistoryWindow::showSummary(const QList<CallRecord>& records)
{
    const auto missed =
        std::count_if(records.cbegin(), records.cend(), [](const CallRecord& r) { return r.isMissed(); });
    ui->Resume->setText(tr("%1 appels, dont %2 manqués").arg(records.size()).arg(missed));
}

void CallHistoryWindow::FiltreChange()
{
    for (int row = 0; row < ui->Appels->rowCount(); ++row)
        applyFilter(row);
}

void CallHistoryWindow::applyFilter(int row)
{
    const QString filter = ui->Filtre->text().trimmed();
    bool shown = filter.isEmpty();
    for (int column : {NumberColumn, NameColumn, LineColumn}) {
        if (!shown && ui->Appels->item(row, column)->text().contains(filter, Qt::CaseInsensitive))
            shown = true;
    }
    ui->Appels->setRowHidden(row, !shown);
}

void CallHistoryWindow::AppelsDoubleClick(int row)
{
    const QTableWidgetItem* number = ui->Appels->item(row, NumberColumn);
    if (!number || number->text().isEmpty())
        return;
    m_dial->Edit1->setText(number->text());
    m_dial->Edit2->setText(number->text());
    m_dial->show();
    m_dial->raise();
    m_dial->activateWindow();
}

QString CallHistoryWindow::durationText(int seconds)
{
    const QString minutesAndSeconds = QStringLiteral("%1:%2")
                                          .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                          .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return seconds >= 3600 ? QString::number(seconds / 3600) + QLatin1Char(':') + minutesAndSeconds : minutesAndSeconds;
}
