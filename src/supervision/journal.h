#pragma once

#include "config/datafolder.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QString>

#include <functional>
#include <stdexcept>

// Raised when a journal entry cannot be written; the entry is lost, the next
// one tries the file again.
class EJournalError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The daily journal of received manager text: one file per local day, named
// "yyyy-MM-dd.log", in the data folder, readable by the user only. Every entry
// opens the file for appending (creating it when missing), adds the bytes
// unchanged and CR LF, and closes it again, so entries after local midnight go
// to the next day's file and nothing stays buffered if the program ends
// abruptly.
//
// A busy office or a flood of events must not fill the disk, which would cost
// the settings and the call history their next save: a day's file takes
// entries up to MaxDailyBytes, and none once the disk that holds it has less
// than MinFreeBytes left. Then one line starting with StoppedNotice ends the
// day's file and later entries of that day are dropped; the next day's file
// starts afresh.
class Journal
{
public:
    using Clock = std::function<QDateTime()>;
    using FolderSource = std::function<QString()>;

    static constexpr qint64 MaxDailyBytes = qint64(256) * 1024 * 1024;
    static constexpr qint64 MinFreeBytes = qint64(16) * 1024 * 1024;
    static const QByteArray StoppedNotice;

    // The folder and the date are taken again for every entry.
    explicit Journal(FolderSource folder = &DataFolder::path, Clock clock = &QDateTime::currentDateTime);

    // Appends one entry; raises EJournalError when the file cannot be created,
    // opened or written.
    void WriteJournal(const QByteArray& text) const;
    // Appends entries received within a moment of each other, in one opening
    // of the file; the date is taken once for them all.
    void writeEntries(const QByteArrayList& texts) const;

    // The file that an entry written now would go to.
    QString currentFilePath() const;

private:
    FolderSource m_folder;
    Clock m_clock;
};
