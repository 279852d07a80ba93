#include "mountedtmpfs.h"
#include "supervision/callhistory.h"
#include "supervision/calltracker.h"
#include "tempdatafolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const QDateTime Noon(QDate(2026, 12, 8), QTime(12, 0, 0));

CallRecord record(int index, bool answered = true)
{
    return {Noon.addSecs(index),
            CallRecord::Direction::Incoming,
            "06" + QByteArray::number(index),
            "Dupont\xe9",
            "Accueil",
            answered,
            answered ? index : 0};
}

TEST(CallHistoryFile, EveryFieldReadsBackAsWritten_SeparatorsInTextsBecomeBlanks)
{
    CallRecord placed{Noon, CallRecord::Direction::Placed, "0612", "A\tB\r\nC", "Ligne", true, 75};
    const QByteArray line = CallHistory::lineOf(placed);
    EXPECT_EQ(line, QByteArrayLiteral("2026-12-08T12:00:00\tsortant\t0612\tA B  C\tLigne\trepondu\t75"));
    placed.name = "A B  C";
    EXPECT_EQ(CallHistory::recordOf(line), placed);
    EXPECT_EQ(CallHistory::recordOf(CallHistory::lineOf(record(3, false))), record(3, false));
}

TEST(CallHistoryFile, LinesThatCannotBeRead_AreSkipped)
{
    for (const char* line :
         {"", "2026-12-08T12:00:00\tentrant\t06\tn\tl\trepondu", "hier\tentrant\t06\tn\tl\trepondu\t3",
          "2026-12-08T12:00:00\tautre\t06\tn\tl\trepondu\t3", "2026-12-08T12:00:00\tentrant\t06\tn\tl\tpeut-etre\t3",
          "2026-12-08T12:00:00\tentrant\t06\tn\tl\trepondu\t-3", "2026-12-08T12:00:00\tentrant\t06\tn\tl\trepondu\tx"})
        EXPECT_FALSE(CallHistory::recordOf(line).has_value()) << line;
}

TEST(CallHistoryFile, KeepsTheLastThousandCalls_AcrossAReload)
{
    TempDataFolder folder;
    QByteArray content;
    for (int index = 0; index < CallHistory::MaxRecords + 5; ++index)
        content += CallHistory::lineOf(record(index)) + (index == 7 ? "\nnot a call\n" : "\n");
    ASSERT_TRUE(folder.write(CallHistory::FileName, content));

    CallHistory history(folder.filePath(CallHistory::FileName));
    ASSERT_TRUE(history.load());
    ASSERT_EQ(history.records().size(), CallHistory::MaxRecords);
    EXPECT_EQ(history.records().first(), record(5));
    ASSERT_TRUE(history.add(record(CallHistory::MaxRecords + 5))) << history.errorString().toStdString();

    CallHistory reloaded(folder.filePath(CallHistory::FileName));
    ASSERT_TRUE(reloaded.load());
    ASSERT_EQ(reloaded.records().size(), CallHistory::MaxRecords);
    EXPECT_EQ(reloaded.records().first(), record(6));
    EXPECT_EQ(reloaded.records().last(), record(CallHistory::MaxRecords + 5));
}

TEST(CallHistoryFile, AnUnreadableFile_IsNeverReplaced)
{
    // A folder in the file's place cannot be read, whoever runs the test.
    TempDataFolder folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(CallHistory::FileName));
    CallHistory history(folder.filePath(CallHistory::FileName));
    EXPECT_FALSE(history.load());
    EXPECT_FALSE(history.add(record(2)));
    EXPECT_EQ(history.records(), QList<CallRecord>{record(2)});
    EXPECT_TRUE(QFileInfo(folder.filePath(CallHistory::FileName)).isDir());
}

TEST(CallTracking, PartyNamedAnew_TheRecordKeepsTheLastParty)
{
    CallTracker tracker;
    tracker.cardAdded({"k", "201", "", "", "", false}, Noon);
    tracker.cardUpdated({"other", "0699", "", "", "", false});
    tracker.cardUpdated({"k", "0612", "0491", "Dupont", "Accueil", false});
    const std::optional<CallRecord> ended = tracker.cardRemoved("k", Noon.addSecs(10));
    ASSERT_TRUE(ended.has_value());
    EXPECT_EQ(ended->number, "0612");
    EXPECT_EQ(ended->name, "Dupont");
    EXPECT_EQ(ended->line, "Accueil");
}

struct TrackedCall
{
    const char* name;
    bool appearedAnswered;
    bool placed;       // the phone rang first for a call it places
    int answeredAfter; // seconds after the card appeared, -1 for never
    int removedAfter;
    CallRecord::Direction direction;
    bool answered;
    int talkSeconds;
};

class CallTracking : public ::testing::TestWithParam<TrackedCall>
{
};

TEST_P(CallTracking, TheRecordOfTheCallWhenItsCardGoes)
{
    const TrackedCall& call = GetParam();
    CallTracker tracker;
    tracker.cardAdded({"k", "0612", "0491", "Dupont", "Accueil", call.appearedAnswered, call.placed}, Noon);
    if (call.answeredAfter >= 0) {
        tracker.cardAnswered("k", Noon.addSecs(call.answeredAfter));
        tracker.cardAnswered("k", Noon.addSecs(call.answeredAfter + 30)); // repeated lines of the answer
    }
    EXPECT_FALSE(tracker.cardRemoved("other", Noon).has_value());
    const std::optional<CallRecord> ended = tracker.cardRemoved("k", Noon.addSecs(call.removedAfter));
    ASSERT_TRUE(ended.has_value());
    EXPECT_EQ(*ended, (CallRecord{Noon, call.direction, "0612", "Dupont", "Accueil", call.answered, call.talkSeconds}));
    EXPECT_FALSE(tracker.cardRemoved("k", Noon).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Calls, CallTracking,
    ::testing::Values(TrackedCall{"Missed", false, false, -1, 20, CallRecord::Direction::Incoming, false, 0},
                      TrackedCall{"Answered", false, false, 5, 65, CallRecord::Direction::Incoming, true, 60},
                      TrackedCall{"Placed", true, true, -1, 42, CallRecord::Direction::Placed, true, 42},
                      TrackedCall{"PlacedRingingThePhoneFirst_NeverAnswered_IsNoMissedCall", false, true, -1, 30,
                                  CallRecord::Direction::Placed, false, 0}),
    [](const ::testing::TestParamInfo<TrackedCall>& info) { return std::string(info.param.name); });

TEST(CallHistoryFile, FullDisk_KeepsTheFileWholeAndTheCallGoesWithTheNextWrite)
{
    TempDataFolder folder;
    const MountedTmpfs disk(folder.path(), 256 * 1024);
    if (!disk.isMounted())
        GTEST_SKIP() << disk.whyNotMounted().toStdString();
    const QByteArray saved = CallHistory::lineOf(record(0)) + '\n' + CallHistory::lineOf(record(1, false)) + '\n';
    ASSERT_TRUE(folder.write(CallHistory::FileName, saved));
    CallHistory history(folder.filePath(CallHistory::FileName));
    ASSERT_TRUE(history.load());
    ASSERT_TRUE(disk.fill());

    EXPECT_FALSE(history.add(record(2)));
    EXPECT_EQ(folder.read(CallHistory::FileName), saved) << "the old file byte for byte";
    EXPECT_TRUE(history.errorString().contains(folder.filePath(CallHistory::FileName)));

    ASSERT_TRUE(QFile::remove(folder.filePath(QStringLiteral("filler"))));
    ASSERT_TRUE(history.add(record(3))) << history.errorString().toStdString();
    EXPECT_EQ(folder.read(CallHistory::FileName),
              saved + CallHistory::lineOf(record(2)) + '\n' + CallHistory::lineOf(record(3)) + '\n');
}

} // namespace
