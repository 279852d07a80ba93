#include "gui/consoleoutput.h"

#include "config/displaytext.h"
#include "supervision/journal.h"

#include <QLoggingCategory>
#include <QPlainTextEdit>

namespace {

Q_LOGGING_CATEGORY(journalLog, "corvaline.journal")

QString memoText(const QByteArray& text)
{
    QByteArray lines = text;
    lines.replace("\r\n", "\n").replace('\r', '\n');
    return DisplayText::toDisplay(lines);
}

} // namespace

ConsoleOutput::ConsoleOutput(QPlainTextEdit* memo, const Journal& journal, QObject* parent)
    : QObject(parent), m_memo(memo), m_journal(journal)
{}

ConsoleOutput::~ConsoleOutput()
{
    // Nothing received is lost when the program ends right after a burst.
    flush();
}

void ConsoleOutput::clearMemo()
{
    m_memoCleared = true;
    m_memoItems.clear();
    schedule();
}

void ConsoleOutput::showText(const QByteArray& text)
{
    m_memoItems.append(text);
    schedule();
}

void ConsoleOutput::showLine(const QString& line)
{
    m_memoItems.append(line);
    schedule();
}

void ConsoleOutput::journal(const QByteArray& entry)
{
    m_entries.append(entry);
    schedule();
}

void ConsoleOutput::schedule()
{
    if (m_scheduled)
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(this, &ConsoleOutput::flush, Qt::QueuedConnection);
}

void ConsoleOutput::flush()
{
    m_scheduled = false;
    if (std::exchange(m_memoCleared, false))
        m_memo->clear();
    for (const auto& item : std::exchange(m_memoItems, {})) {
        if (const auto* text = std::get_if<QByteArray>(&item))
            m_memo->appendPlainText(memoText(*text));
        else
            m_memo->appendPlainText(std::get<QString>(item));
    }
    if (m_entries.isEmpty())
        return;
    try {
        m_journal.writeEntries(std::exchange(m_entries, {}));
    } catch (const EJournalError& error) {
        // Nothing else to do: the cards and the memo are up to date, and the
        // next entries try the file again.
        qCWarning(journalLog) << error.what();
    }
}
