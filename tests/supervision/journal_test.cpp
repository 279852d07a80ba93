#include "config/inifile.h"
#include "mountedtmpfs.h"
#include "supervision/journal.h"
#include "tempdatafolder.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

class DailyJournal : public ::testing::Test
{
protected:
    QByteArray journalOf(const char* date) const
    {
        return dir.read(QString::fromLatin1(date) + QStringLiteral(".log"));
    }

    TempDataFolder dir;
    QDateTime now{QDate(2026, 12, 7), QTime(23, 59, 58)};
    Journal journal{[this] { return dir.path(); }, [this] { return now; }};
};

TEST_F(DailyJournal, EntriesOnTwoLocalDays_GoToTwoFiles)
{
    ASSERT_TRUE(dir.isValid());
    journal.WriteJournal(QByteArrayLiteral("before midnight"));
    now = now.addSecs(4);
    journal.WriteJournal(QByteArrayLiteral("after midnight"));

    EXPECT_EQ(journalOf("2026-12-07"), QByteArrayLiteral("before midnight\r\n"));
    EXPECT_EQ(journalOf("2026-12-08"), QByteArrayLiteral("after midnight\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(DailyJournal, EntriesAreAppendedToTheDaysFile_ExistingTextKept)
{
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(dir.write(QStringLiteral("2026-12-07.log"), "earlier run\r\n"));

    journal.WriteJournal(QByteArrayLiteral("one"));
    journal.WriteJournal(QByteArrayLiteral("two\r\n"));

    EXPECT_EQ(journalOf("2026-12-07"), QByteArrayLiteral("earlier run\r\none\r\ntwo\r\n\r\n"));
}

TEST_F(DailyJournal, BytesAreWrittenUnchanged)
{
    ASSERT_TRUE(dir.isValid());
    // CP1252 accents, the euro sign, bare LF and CR, a NUL: none is translated.
    const QByteArray text("Appel de M. L\xe9on \x80\n\rfin\0reste", 25);
    journal.WriteJournal(text);
    EXPECT_EQ(journalOf("2026-12-07"), text + "\r\n");
}

TEST_F(DailyJournal, FileNameFollowsTheLocalDate)
{
    now = QDateTime(QDate(2027, 1, 5), QTime(8, 0));
    EXPECT_EQ(journal.currentFilePath(), QDir(dir.path()).filePath(QStringLiteral("2027-01-05.log")));
}

TEST_F(DailyJournal, UnwritableJournal_Raises_AndTheNextEntryTriesAgain)
{
    ASSERT_TRUE(dir.isValid());
    QString folder = dir.filePath(QStringLiteral("not-yet"));
    const Journal elsewhere([&folder] { return folder; }, [this] { return now; });

    EXPECT_THROW(elsewhere.WriteJournal(QByteArrayLiteral("lost")), EJournalError);
    ASSERT_TRUE(QDir().mkpath(folder));
    elsewhere.WriteJournal(QByteArrayLiteral("kept"));
    EXPECT_EQ(dir.read(QStringLiteral("not-yet/2026-12-07.log")), QByteArrayLiteral("kept\r\n"));
}

TEST_F(DailyJournal, JournalNameTakenByAFolder_Raises)
{
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("2026-12-07.log")));
    EXPECT_THROW(journal.WriteJournal(QByteArrayLiteral("x")), EJournalError);
}

bool endsWithTheStopLine(const QByteArray& journal)
{
    const qsizetype lastLine = journal.lastIndexOf('\n', journal.size() - 2) + 1;
    return journal.endsWith("\r\n") && journal.sliced(lastLine).startsWith(Journal::StoppedNotice);
}

TEST_F(DailyJournal, DayAtItsSizeLimit_EndsWithOneStopLineAndTheNextDayStartsAfresh)
{
    ASSERT_TRUE(dir.isValid());
    {
        // A sparse file: the limit without the disk space.
        QFile full(journal.currentFilePath());
        ASSERT_TRUE(full.open(QIODevice::WriteOnly) && full.resize(Journal::MaxDailyBytes - 12) &&
                    full.seek(full.size()) && full.write("\r\n") == 2);
    }
    journal.WriteJournal(QByteArrayLiteral("Event: Newchannel, too long for the day"));
    journal.writeEntries({QByteArrayLiteral("a"), QByteArrayLiteral("b")});

    QFile today(journal.currentFilePath());
    ASSERT_TRUE(today.open(QIODevice::ReadOnly) && today.seek(Journal::MaxDailyBytes - 10));
    const QByteArray tail = today.readAll();
    EXPECT_EQ(tail, Journal::StoppedNotice + "taille maximale de 256 Mio atteinte\r\n");

    now = now.addSecs(4);
    journal.WriteJournal(QByteArrayLiteral("next day"));
    EXPECT_EQ(journalOf("2026-12-08"), QByteArrayLiteral("next day\r\n"));
}

TEST_F(DailyJournal, DiskFillingUp_TheJournalStopsWhileTheSettingsCanStillBeSaved)
{
    ASSERT_TRUE(dir.isValid());
    const MountedTmpfs disk(dir.path(), Journal::MinFreeBytes + 4 * 1024 * 1024);
    if (!disk.isMounted())
        GTEST_SKIP() << disk.whyNotMounted().toStdString();
    const QByteArray entry(64 * 1024, 'e');
    QString journalError;
    // More entries than the whole disk holds.
    for (int i = 0; i < 2 * (Journal::MinFreeBytes / entry.size()); ++i) {
        try {
            journal.WriteJournal(entry);
        } catch (const EJournalError& error) {
            journalError = QString::fromStdString(error.what());
            break;
        }
    }
    EXPECT_TRUE(journalError.isEmpty()) << journalError.toStdString();
    EXPECT_TRUE(endsWithTheStopLine(journalOf("2026-12-07")));

    IniFile settings(dir.filePath(QStringLiteral("serie.ini")));
    settings.writeString("Form2", "poste_as", "6001");
    EXPECT_TRUE(settings.flush()) << settings.errorString().toStdString();
    EXPECT_EQ(dir.read(QStringLiteral("serie.ini")), QByteArrayLiteral("[Form2]\nposte_as=6001\n"));
}

} // namespace
