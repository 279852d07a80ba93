#include "config/atomicfile.h"
#include "config/datafolder.h"
#include "config/inifile.h"
#include "supervision/callhistory.h"
#include "supervision/journal.h"
#include "tempdatafolder.h"

#include <QDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Something the program writes in its data folder; returns the paths it made.
struct WrittenByTheProgram
{
    const char* name;
    QStringList (*write)();
    mode_t mode;
};

void PrintTo(const WrittenByTheProgram& item, std::ostream* out)
{
    *out << item.name;
}

QStringList nameList(const QString& name)
{
    const QString path = DataFolder::filePath(name);
    return writeFileAtomically(path, "0561000000=Accueil\n") ? QStringList{path} : QStringList{};
}

const WrittenByTheProgram writtenByTheProgram[] = {
    {"Settings",
     [] {
         IniFile settings(DataFolder::filePath(QStringLiteral("serie.ini")));
         settings.writeString("Form2", "poste_as", "6001");
         return settings.flush() ? QStringList{settings.path()} : QStringList{};
     },
     0600},
    {"LineNames", [] { return nameList(QStringLiteral("sda.ini")); }, 0600},
    {"CallerNames", [] { return nameList(QStringLiteral("tel.ini")); }, 0600},
    {"CallHistory",
     [] {
         CallHistory history(DataFolder::filePath(CallHistory::FileName));
         CallRecord call;
         call.start = QDateTime(QDate(2026, 12, 8), QTime(10, 21, 47));
         call.number = "0561000000";
         return history.add(call) ? QStringList{history.path()} : QStringList{};
     },
     0600},
    {"Journal",
     [] {
         const Journal journal;
         journal.WriteJournal("Event: Newchannel");
         return QStringList{journal.currentFilePath()};
     },
     0600},
    {"DataFolderAndItsParents",
     [] {
         const QString folder = qEnvironmentVariable("CORVALINE_DATA_DIR") + QStringLiteral("/made/by/program");
         qputenv("CORVALINE_DATA_DIR", QFile::encodeName(folder));
         DataFolder::path();
         return QStringList{QFileInfo(folder).path(), folder};
     },
     0700},
};

class DataFileModes : public ::testing::TestWithParam<WrittenByTheProgram>
{
protected:
    // The common umask, which would leave others able to read.
    void SetUp() override { m_umask = ::umask(022); }
    void TearDown() override { ::umask(m_umask); }

private:
    mode_t m_umask = 0;
};

} // namespace

TEST_P(DataFileModes, WhatTheProgramCreates_IsTheUsersOnly)
{
    const TempDataFolder folder;
    ASSERT_TRUE(folder.isValid());
    const QStringList paths = GetParam().write();
    ASSERT_FALSE(paths.isEmpty());
    for (const QString& path : paths) {
        struct stat status;
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0) << path.toStdString();
        EXPECT_EQ(status.st_mode & 07777, GetParam().mode) << path.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, DataFileModes, ::testing::ValuesIn(writtenByTheProgram),
                         [](const auto& info) { return std::string(info.param.name); });
