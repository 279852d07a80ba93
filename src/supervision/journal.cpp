#include "supervision/journal.h"

#include <QDir>
#include <QFile>

#include <utility>

Journal::Journal(FolderSource folder, Clock clock) : m_folder(std::move(folder)), m_clock(std::move(clock)) {}

QString Journal::currentFilePath() const
{
    return QDir(m_folder()).filePath(m_clock().date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".log"));
}

void Journal::WriteJournal(const QByteArray& text) const
{
    WriteEntries({text});
}

void Journal::WriteEntries(const QByteArrayList& texts) const
{
    const QString path = currentFilePath();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw EJournalError("cannot open journal " + path.toStdString() + ": " + file.errorString().toStdString());
    // One write for the entries and their line breaks keeps each in one piece.
    QByteArray entries;
    for (const QByteArray& text : texts)
        entries += text + QByteArrayLiteral("\r\n");
    const bool written = file.write(entries) == entries.size() && file.flush();
    const QString error = file.errorString();
    file.close();
    if (!written)
        throw EJournalError("cannot write journal " + path.toStdString() + ": " + error.toStdString());
}
