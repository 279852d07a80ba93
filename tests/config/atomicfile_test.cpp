#include "config/atomicfile.h"
#include "tempdatafolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

TEST(AtomicFile, LinkedFile_TheLinkStaysAndItsTargetGetsTheNewContent)
{
    const TempDataFolder folder;
    ASSERT_TRUE(folder.write(QStringLiteral("shared.ini"), "old\n"));
    ASSERT_TRUE(
        QFile::link(folder.filePath(QStringLiteral("shared.ini")), folder.filePath(QStringLiteral("serie.ini"))));

    ASSERT_TRUE(writeFileAtomically(folder.filePath(QStringLiteral("serie.ini")), "new\n"));
    EXPECT_TRUE(QFileInfo(folder.filePath(QStringLiteral("serie.ini"))).isSymLink());
    EXPECT_EQ(folder.read(QStringLiteral("shared.ini")), QByteArrayLiteral("new\n"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2)
        << "no temporary file left";
}

TEST(AtomicFile, MissingFolder_FailsWithTheReasonAndWritesNothing)
{
    const TempDataFolder folder;
    QString error;
    EXPECT_FALSE(writeFileAtomically(folder.filePath(QStringLiteral("absent/serie.ini")), "x", &error));
    EXPECT_TRUE(error.contains(folder.filePath(QStringLiteral("absent/serie.ini")))) << error.toStdString();
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
}
