#include "config/datafolder.h"
#include "tempdatafolder.h"
#include "temporaryconfighome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(DataFolder, EnvironmentVariable_NamesTheFolderAndItIsCreated)
{
    TempDataFolder base;
    const QString wanted = base.filePath(QStringLiteral("nested/data"));
    qputenv("CORVALINE_DATA_DIR", QFile::encodeName(wanted));
    EXPECT_EQ(DataFolder::path(), wanted + u'/');
    EXPECT_TRUE(QFileInfo(wanted).isDir());
    EXPECT_EQ(DataFolder::filePath(QStringLiteral("serie.ini")), wanted + QStringLiteral("/serie.ini"));
}

TEST(DataFolder, TrailingSlashInTheVariable_IsNotDoubled)
{
    TempDataFolder base;
    qputenv("CORVALINE_DATA_DIR", QFile::encodeName(base.path() + u'/'));
    EXPECT_EQ(DataFolder::filePath(QStringLiteral("sda.ini")), base.path() + QStringLiteral("/sda.ini"));
}

TEST(DataFolder, EmptyVariable_FallsBackToTheWritableProgramFolder)
{
    TempDataFolder base;
    qputenv("CORVALINE_DATA_DIR", QByteArray());
    ASSERT_TRUE(QFileInfo(QCoreApplication::applicationDirPath()).isWritable());
    EXPECT_EQ(DataFolder::path(), QCoreApplication::applicationDirPath() + u'/');
}

namespace {

// The program's folder inside the user configuration folder.
QString userFolderIn(const TemporaryConfigHome& config)
{
    return config.path() + QStringLiteral("/corvaline/");
}

} // namespace

TEST(DataFolder, InstalledProgram_KeepsToTheUserFolderWhateverItMayWrite)
{
    const TemporaryConfigHome config;
    QTemporaryDir prefix;
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    EXPECT_EQ(DataFolder::pathForProgramIn(bin), bin + u'/');

    // What an installation puts beside the program makes it an installed one.
    ASSERT_TRUE(QDir().mkpath(prefix.filePath(QStringLiteral("share/applications"))));
    QFile entry(prefix.filePath(QStringLiteral("share/applications/corvaline.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.close();
    ASSERT_TRUE(QFileInfo(bin).isWritable());
    EXPECT_EQ(DataFolder::pathForProgramIn(bin), userFolderIn(config));
    EXPECT_EQ(DataFolder::pathForProgramIn(bin), userFolderIn(config));
}

TEST(DataFolder, UserFolder_IsCreatedForItsUserOnly)
{
    const TemporaryConfigHome config;
    EXPECT_EQ(DataFolder::userFolder(), userFolderIn(config));
    ASSERT_TRUE(QFileInfo(userFolderIn(config)).isDir());
    EXPECT_EQ(QFile::permissions(userFolderIn(config)) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
              QFileDevice::Permissions());
}
