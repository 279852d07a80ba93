#include "config/autostartentry.h"
#include "temporaryconfighome.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

// The Exec line of an entry's text.
QByteArray execLine(const QByteArray& content)
{
    for (const QByteArray& line : content.split('\n')) {
        if (line.startsWith("Exec="))
            return line.mid(5);
    }
    return {};
}

TEST(AutostartEntry, Write_GivesADesktopEntryThatDesktopFileValidateAccepts)
{
    const TemporaryConfigHome home;
    ASSERT_TRUE(home.isValid());
    const AutostartEntry entry;
    ASSERT_EQ(entry.path(), home.filePath(QStringLiteral("autostart/corvaline.desktop")));
    ASSERT_FALSE(entry.exists());

    QString error;
    ASSERT_TRUE(entry.write(QStringLiteral("/opt/Corvaline 2/bin/corvaline"), &error)) << error.toStdString();
    QFile file(entry.path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_TRUE(content.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(content.contains("\nType=Application\n"));
    EXPECT_EQ(execLine(content), QByteArray("\"/opt/Corvaline 2/bin/corvaline\""));

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-utils is among the packages the tests need";
    QProcess validate;
    validate.start(validator, {entry.path()});
    ASSERT_TRUE(validate.waitForFinished(60000));
    const QByteArray said = validate.readAllStandardOutput() + validate.readAllStandardError();
    EXPECT_EQ(validate.exitCode(), 0) << said.constData();
    EXPECT_TRUE(said.isEmpty()) << "not even a hint: " << said.constData();
}

struct ExecCase
{
    const char* name;
    QString program;
    QByteArray exec;
};

class AutostartExec : public ::testing::TestWithParam<ExecCase>
{
};

TEST_P(AutostartExec, ProgramPath_IsQuotedAsTheDesktopEntryRulesAsk)
{
    EXPECT_EQ(execLine(AutostartEntry::content(GetParam().program)), GetParam().exec);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, AutostartExec,
    ::testing::Values(ExecCase{"Plain", QStringLiteral("/usr/bin/corvaline"), "/usr/bin/corvaline"},
                      ExecCase{"Blank", QStringLiteral("/home/a b/corvaline"), "\"/home/a b/corvaline\""},
                      // '$' and '"' escaped inside the quotes, the backslash doubled again as a string value.
                      ExecCase{"DollarAndQuote", QStringLiteral("/x/$HOME\"/c"), "\"/x/\\\\$HOME\\\\\"/c\""},
                      ExecCase{"Percent", QStringLiteral("/x/100%/c"), "/x/100%%/c"},
                      ExecCase{"Accents", QStringLiteral("/home/hélène/corvaline"),
                               QByteArrayLiteral("/home/h\xC3\xA9l\xC3\xA8ne/corvaline")}),
    [](const ::testing::TestParamInfo<ExecCase>& info) { return std::string(info.param.name); });

TEST(AutostartEntry, Remove_TakesTheEntryAwayAndLeavesTheFolder)
{
    const TemporaryConfigHome home;
    const AutostartEntry entry;
    ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("autostart"))));
    QFile other(home.filePath(QStringLiteral("autostart/other.desktop")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    ASSERT_TRUE(entry.write(QStringLiteral("/usr/bin/corvaline")));

    EXPECT_TRUE(entry.remove());
    EXPECT_FALSE(entry.exists());
    EXPECT_TRUE(other.exists());
    EXPECT_TRUE(entry.remove()) << "no entry is no error";
}

TEST(AutostartEntry, UserPath_WithoutAnAbsoluteXdgConfigHome_IsUnderTheHomeFolder)
{
    const TemporaryConfigHome home;
    const QString underHome = QDir::homePath() + QStringLiteral("/.config/autostart/corvaline.desktop");
    for (const char* value : {"", "relative/config"}) {
        qputenv("XDG_CONFIG_HOME", value);
        EXPECT_EQ(AutostartEntry::userPath(), underHome) << value;
    }
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(AutostartEntry::userPath(), underHome);
}

} // namespace
