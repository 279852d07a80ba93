#include "config/datafolder.h"
#include "tempdatafolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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
