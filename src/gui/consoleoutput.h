#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QObject>
#include <QString>

#include <variant>

class Journal;
class QPlainTextEdit;

// What the manager console shows in its memo and writes to its journal. The
// memo shows the latest received text and the console's own lines after it;
// filling the widget costs far more than interpreting the text, and so do the
// file's opening and closing, so during a burst both are brought up to date
// once per turn of the event loop, with the same result as entry by entry.
class ConsoleOutput : public QObject
{
    Q_OBJECT

public:
    ConsoleOutput(QPlainTextEdit* memo, const Journal& journal, QObject* parent = nullptr);
    ~ConsoleOutput() override;

    void clearMemo();
    // Manager text: CR LF, and lone CR or LF, all break the line.
    void showText(const QByteArray& text);
    void showLine(const QString& line);
    // One journal entry, in the order of the calls.
    void journal(const QByteArray& entry);

    // Applies what is waiting now.
    void flush();

private:
    void schedule();

    QPlainTextEdit* m_memo;
    const Journal& m_journal;
    bool m_memoCleared = false;
    QList<std::variant<QByteArray, QString>> m_memoItems;
    QByteArrayList m_entries;
    bool m_scheduled = false;
};
