#include "config/datafolder.h"
#include "tempdatafolder.h"

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

// A user configuration folder of the test's own for the life of the object.
class TempConfigHome
{
public:
    TempConfigHome()
        : m_previous(qgetenv("XDG_CONFIG_HOME")), m_hadPrevious(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
    }
    ~TempConfigHome()
    {
        if (m_hadPrevious)
            qputenv("XDG_CONFIG_HOME", m_previous);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    QString userFolder() const { return m_dir.path() + QStringLiteral("/corvaline/"); }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious;
};

TEST(DataFolder, InstalledProgram_KeepsToTheUserFolderWhateverItMayWrite)
{
    TempConfigHome config;
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
    EXPECT_EQ(DataFolder::pathForProgramIn(bin), config.userFolder());
    EXPECT_EQ(DataFolder::pathForProgramIn(bin), config.userFolder());
}

TEST(DataFolder, UserFolder_IsCreatedForItsUserOnly)
{
    TempConfigHome config;
    EXPECT_EQ(DataFolder::userFolder(), config.userFolder());
    ASSERT_TRUE(QFileInfo(config.userFolder()).isDir());
    EXPECT_EQ(QFile::permissions(config.userFolder()) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
              QFileDevice::Permissions());
}
