#include "supervision/callhistory.h"
#include "tempdatafolder.h"
#include "waitfor.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include <gtest/gtest.h>

// A program killed with SIGKILL while it writes its history must leave a file
// that reads whole: every call written before, none half written. The writing
// side runs in a child process, this same test executable started with a
// filter that selects only the disabled case below.

namespace {

const char* const FileVariable = "CORVALINE_HISTORY_CRASH_FILE";

CallRecord numbered(qsizetype index)
{
    return {QDateTime(QDate(2026, 12, 8), QTime(8, 0)).addSecs(index),
            CallRecord::Direction::Incoming,
            QByteArray::number(index),
            "Appelant " + QByteArray::number(index),
            "Accueil",
            index % 3 != 0,
            int(index % 600)};
}

// The number of calls in the file when every line is a call and the calls are
// the ones written, in order; -1 otherwise.
qsizetype wholeCalls(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.exists() ? -1 : 0;
    const QByteArray content = file.readAll();
    CallHistory history(path);
    if (!history.load() || content.count('\n') != history.records().size() ||
        (!content.isEmpty() && !content.endsWith('\n')))
        return -1;
    const qsizetype first = history.records().isEmpty() ? 0 : history.records().first().number.toLongLong();
    for (qsizetype i = 0; i < history.records().size(); ++i) {
        if (history.records().at(i) != numbered(first + i))
            return -1;
    }
    return first + history.records().size();
}

} // namespace

TEST(CallHistoryCrashChild, DISABLED_AddsCallsInALoop)
{
    const QString path = qEnvironmentVariable(FileVariable);
    ASSERT_FALSE(path.isEmpty()) << "run by CallHistoryCrash only";
    CallHistory history(path);
    ASSERT_TRUE(history.load());
    qsizetype next = history.records().isEmpty() ? 0 : history.records().last().number.toLongLong() + 1;
    // Bounded, in case the parent died before killing us.
    for (const QDeadlineTimer deadline(300000); !deadline.hasExpired(); ++next)
        ASSERT_TRUE(history.add(numbered(next))) << history.errorString().toStdString();
}

TEST(CallHistoryCrash, KilledWhileWriting_LeavesAWholeFileEachTime)
{
    TempDataFolder folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(CallHistory::FileName);
    auto* random = QRandomGenerator::global();

    qsizetype written = 0;
    for (int round = 0; round < 100; ++round) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(FileVariable), path);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(environment);
        child.setStandardOutputFile(QProcess::nullDevice());
        child.setStandardErrorFile(QProcess::nullDevice());
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=CallHistoryCrashChild.*"),
                                                              QStringLiteral("--gtest_also_run_disabled_tests")});
        ASSERT_TRUE(child.waitForStarted(60000));

        // One write of this child at least, then a kill at a random point of
        // the following ones.
        const qsizetype before = written;
        ASSERT_TRUE(testsupport::waitFor([&] { return wholeCalls(path) > before; }, 120000))
            << "round " << round << ": the child wrote nothing whole";
        testsupport::spinEventLoop(int(random->bounded(20)));
        child.kill();
        ASSERT_TRUE(child.waitForFinished(60000));
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

        written = wholeCalls(path);
        ASSERT_GT(written, before) << "round " << round << ": the file is not whole";
    }
}
