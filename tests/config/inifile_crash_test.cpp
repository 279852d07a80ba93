#include "config/inifile.h"
#include "tempdatafolder.h"
#include "waitfor.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRandomGenerator>

#include <gtest/gtest.h>

// A save interrupted by SIGKILL, at random moments, must leave either the old
// or the new settings file, complete, never a mixture or a truncated one. The
// saving side runs in a child process: this same test executable, started with
// a filter that selects only the disabled case below.

namespace {

constexpr int kKeyCount = 300;
const char* const kFileVariable = "CORVALINE_INI_CRASH_FILE";

QByteArray keyName(int index)
{
    return "key" + QByteArray::number(index);
}

QByteArray valueFor(int version, int index)
{
    return "v" + QByteArray::number(version) + '-' + QByteArray::number(index) + '-' +
           QByteArray(900, char('a' + version % 26));
}

// The version the file holds, or -1 when it is not one complete version.
int completeVersion(const QString& path)
{
    const IniFile ini(path);
    const int version = ini.readInteger("Data", "version", -1);
    if (version < 0 || ini.readString("Data", "end") != QByteArray::number(version))
        return -1;
    for (int index = 0; index < kKeyCount; ++index) {
        if (ini.readString("Data", keyName(index)) != valueFor(version, index))
            return -1;
    }
    return version;
}

} // namespace

TEST(IniFileCrashChild, DISABLED_SavesALargeFileInALoop)
{
    const QString path = qEnvironmentVariable(kFileVariable);
    ASSERT_FALSE(path.isEmpty()) << "run by IniFileCrash only";
    // Bounded, in case the parent died before killing us.
    const QDeadlineTimer deadline(300000);
    for (int version = IniFile(path).readInteger("Data", "version", 0) + 1; !deadline.hasExpired(); ++version) {
        IniFile ini(path);
        ASSERT_TRUE(ini.writeInteger("Data", "version", version));
        for (int index = 0; index < kKeyCount; ++index)
            ASSERT_TRUE(ini.writeString("Data", keyName(index), valueFor(version, index)));
        ASSERT_TRUE(ini.writeInteger("Data", "end", version));
        ASSERT_TRUE(ini.flush()) << ini.errorString().toStdString();
    }
}

TEST(IniFileCrash, KilledWhileSaving_LeavesOneCompleteVersion)
{
    TempDataFolder folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("serie.ini"));
    auto* random = QRandomGenerator::global();

    int lastVersion = 0;
    for (int round = 0; round < 10; ++round) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kFileVariable), path);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(environment);
        child.setStandardOutputFile(QProcess::nullDevice());
        child.setStandardErrorFile(QProcess::nullDevice());
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=IniFileCrashChild.*"),
                                                              QStringLiteral("--gtest_also_run_disabled_tests")});
        ASSERT_TRUE(child.waitForStarted(60000));

        // Let the child finish at least one save of its own, then kill it at a
        // random point of the following ones.
        const int before = lastVersion;
        ASSERT_TRUE(testsupport::waitFor([&] { return completeVersion(path) > before; }, 120000))
            << "round " << round << ": the child saved nothing";
        testsupport::spinEventLoop(int(random->bounded(40)));
        child.kill();
        ASSERT_TRUE(child.waitForFinished(60000));
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

        const int version = completeVersion(path);
        EXPECT_GT(version, before) << "round " << round << ": the file is not one complete version";
        lastVersion = std::max(version, before + 1);
    }
}
