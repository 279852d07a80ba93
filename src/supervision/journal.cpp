#include "supervision/journal.h"

#include <QDir>
#include <QFile>

#include <sys/statvfs.h>
#include <utility>

const QByteArray Journal::StoppedNotice = QByteArrayLiteral("*** Journal interrompu jusqu'au lendemain : ");

namespace {

// The last line of the file starts with the notice: the day's journal has
// stopped (in this run or an earlier one).
bool hasStopped(QFile& file)
{
    const qint64 tailSize = qMin(file.size(), qint64(512));
    if (!file.seek(file.size() - tailSize))
        return false;
    QByteArray tail = file.read(tailSize);
    if (!tail.endsWith("\r\n"))
        return false;
    tail.chop(2);
    return tail.sliced(tail.lastIndexOf('\n') + 1).startsWith(Journal::StoppedNotice);
}

// Free space for the user; an unknown amount does not stop the journal.
qint64 freeBytesBeside(const QFile& file)
{
    struct statvfs disk;
    if (::fstatvfs(file.handle(), &disk) != 0)
        return Journal::MinFreeBytes;
    return qint64(disk.f_bavail) * qint64(disk.f_frsize);
}

} // namespace

Journal::Journal(FolderSource folder, Clock clock) : m_folder(std::move(folder)), m_clock(std::move(clock)) {}

QString Journal::currentFilePath() const
{
    return QDir(m_folder()).filePath(m_clock().date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".log"));
}

void Journal::WriteJournal(const QByteArray& text) const
{
    writeEntries({text});
}

void Journal::writeEntries(const QByteArrayList& texts) const
{
    const QString path = currentFilePath();
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw EJournalError("cannot open journal " + path.toStdString() + ": " + file.errorString().toStdString());
    if (hasStopped(file))
        return;
    // One write for the entries and their line breaks keeps each in one piece.
    QByteArray entries;
    for (const QByteArray& text : texts)
        entries += text + QByteArrayLiteral("\r\n");
    if (file.size() + entries.size() > MaxDailyBytes)
        entries = StoppedNotice + "taille maximale de " + QByteArray::number(MaxDailyBytes / (1024 * 1024)) +
                  " Mio atteinte\r\n";
    else if (freeBytesBeside(file) - entries.size() < MinFreeBytes)
        entries = StoppedNotice + QByteArrayLiteral("le disque est presque plein\r\n");
    const bool written = file.write(entries) == entries.size();
    const QString error = file.errorString();
    file.close();
    if (!written)
        throw EJournalError("cannot write journal " + path.toStdString() + ": " + error.toStdString());
}
