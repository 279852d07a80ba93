#include "supervision/journal.h"
#include "tempdatafolder.h"

#include <QDir>
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

} // namespace
