#include "config/inifile.h"
#include "tempdatafolder.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

int fileMode(const QString& path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

class IniFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString path() const { return folder.filePath(QStringLiteral("serie.ini")); }
    QByteArray content() const { return folder.read(QStringLiteral("serie.ini")); }
    void setContent(const QByteArray& text) const { ASSERT_TRUE(folder.write(QStringLiteral("serie.ini"), text)); }

    TempDataFolder folder;
};

} // namespace

TEST_F(IniFileTest, SectionAndKeyNames_MatchWithoutLetterCase)
{
    setContent(QByteArrayLiteral("[Form2]\nHostEdit_as=pbx.local\n[\xC9t\xE9]\nCl\xE9=1\n"));
    IniFile ini(path());
    EXPECT_EQ(ini.readString("FORM2", "hostedit_AS"), QByteArrayLiteral("pbx.local"));
    EXPECT_EQ(ini.readString("\xE9T\xC9", "CL\xC9"), QByteArrayLiteral("1"));
    ASSERT_TRUE(ini.writeString("form2", "HOSTEDIT_AS", "10.0.0.1"));
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(content(), QByteArrayLiteral("[Form2]\nHostEdit_as=10.0.0.1\n[\xC9t\xE9]\nCl\xE9=1\n"));
}

TEST_F(IniFileTest, Write_ReplacesThatOneLineAndKeepsEveryOtherLine)
{
    const QByteArray before = QByteArrayLiteral("; r\xE9glages\r\n"
                                                "[Outils]\r\n"
                                                "inconnu=garde\r\n"
                                                "\r\n"
                                                "[Form3]\r\n"
                                                "; l'adresse du serveur\r\n"
                                                "adresse_ob=http://old\r\n"
                                                "zz_autre = 12\r\n"
                                                "edit_zero=0\r\n");
    setContent(before);
    IniFile ini(path());
    ASSERT_TRUE(ini.writeString("Form3", "adresse_ob", "http://192.168.0.1"));
    ASSERT_TRUE(ini.flush());
    QByteArray expected = before;
    expected.replace("adresse_ob=http://old", "adresse_ob=http://192.168.0.1");
    EXPECT_EQ(content(), expected);
}

TEST_F(IniFileTest, NewKey_GoesAtTheEndOfItsSectionBeforeTheNextOne)
{
    setContent(QByteArrayLiteral("[Form2]\nPortEdit_as=5038\n\n; suite\n[Form3]\nacces_auto=1\n"));
    IniFile ini(path());
    ASSERT_TRUE(ini.writeString("Form2", "poste_as", "201"));
    ASSERT_TRUE(ini.writeString("Form3", "num_app", "0"));
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(content(), QByteArrayLiteral(
                             "[Form2]\nPortEdit_as=5038\nposte_as=201\n\n; suite\n[Form3]\nacces_auto=1\nnum_app=0\n"));
}

TEST_F(IniFileTest, NewSection_GoesAtTheEndOfTheFile)
{
    setContent(QByteArrayLiteral("[Form2]\nPortEdit_as=5038"));
    IniFile ini(path());
    ASSERT_TRUE(ini.writeString("Form3", "edit_zero", "0"));
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(content(), QByteArrayLiteral("[Form2]\nPortEdit_as=5038\n\n[Form3]\nedit_zero=0\n"));
}

TEST_F(IniFileTest, FirstWrite_CreatesTheFileReadableByItsOwnerOnly)
{
    IniFile ini(path());
    EXPECT_EQ(ini.readString("Form2", "secret_as", "absent"), QByteArrayLiteral("absent"));
    ASSERT_TRUE(ini.flush());
    EXPECT_FALSE(folder.exists(QStringLiteral("serie.ini"))) << "nothing written, nothing created";

    ASSERT_TRUE(ini.writeString("Form2", "secret_as", "s3cr3t"));
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(content(), QByteArrayLiteral("[Form2]\nsecret_as=s3cr3t\n"));
    EXPECT_EQ(fileMode(path()), 0600);
}

TEST_F(IniFileTest, Rewrite_TightensAnOpenFileToOwnerOnly)
{
    setContent(QByteArrayLiteral("[Form2]\nsecret_as=old\n"));
    ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadGroup | QFileDevice::ReadOther));
    IniFile ini(path());
    ASSERT_TRUE(ini.writeString("Form2", "secret_as", "new"));
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(fileMode(path()), 0600);
}

TEST_F(IniFileTest, ReadInteger_TakesLeadingDigitsWithSignElseTheDefault)
{
    setContent(QByteArrayLiteral("[S]\nzero=0\none=1\ntwo=2\nminus=-1\nplus=+7\nword=yes\nempty=\n"
                                 "blanks=  42  \ntail=12abc\nhuge=99999999999\nsign=-\nlow=-2147483648\n"));
    const IniFile ini(path());
    EXPECT_EQ(ini.readInteger("S", "zero", 5), 0);
    EXPECT_EQ(ini.readInteger("S", "one", 5), 1);
    EXPECT_EQ(ini.readInteger("S", "two", 5), 2);
    EXPECT_EQ(ini.readInteger("S", "minus", 5), -1);
    EXPECT_EQ(ini.readInteger("S", "plus", 5), 7);
    EXPECT_EQ(ini.readInteger("S", "word", 5), 5);
    EXPECT_EQ(ini.readInteger("S", "empty", 5), 5);
    EXPECT_EQ(ini.readInteger("S", "blanks", 5), 42);
    EXPECT_EQ(ini.readInteger("S", "tail", 5), 12);
    EXPECT_EQ(ini.readInteger("S", "huge", 5), 5);
    EXPECT_EQ(ini.readInteger("S", "sign", 5), 5);
    EXPECT_EQ(ini.readInteger("S", "low", 5), std::numeric_limits<int>::min());
    EXPECT_EQ(ini.readInteger("S", "missing", 5), 5);
    EXPECT_EQ(ini.readInteger("Absent", "zero", 5), 5);
}

TEST_F(IniFileTest, KeyWithEmptyValue_ReadsEmptyNotTheDefault)
{
    setContent(QByteArrayLiteral("[Form3]\nadresse_ob=\n"));
    const IniFile ini(path());
    EXPECT_TRUE(ini.hasKey("Form3", "adresse_ob"));
    EXPECT_EQ(ini.readString("Form3", "adresse_ob", "defaut"), QByteArray(""));
    EXPECT_EQ(ini.readString("Form3", "edit_zero", "defaut"), QByteArrayLiteral("defaut"));
}

TEST_F(IniFileTest, HandWrittenBlanksAndQuotes_AreReadLikeWindowsDoes)
{
    setContent(QByteArrayLiteral("  [ Form1 ]  \n  Edit1 =  201  \nq=\"entre guillemets\"\ns=' simple '\n"));
    const IniFile ini(path());
    EXPECT_EQ(ini.readString("form1", "edit1"), QByteArrayLiteral("201"));
    EXPECT_EQ(ini.readString("Form1", "q"), QByteArrayLiteral("entre guillemets"));
    EXPECT_EQ(ini.readString("Form1", "s"), QByteArrayLiteral(" simple "));
}

TEST_F(IniFileTest, AnyValue_ReadsBackExactlyAsWritten)
{
    const QList<QByteArray> values = {
        QByteArrayLiteral("  mot de passe "), QByteArrayLiteral("\"cit\xE9\""), QByteArrayLiteral("'x'"),
        QByteArrayLiteral("a=b;c[d]"),        QByteArrayLiteral("\t"),          QByteArrayLiteral("\x80\x81\xFF")};
    {
        IniFile ini(path());
        for (qsizetype i = 0; i < values.size(); ++i)
            ASSERT_TRUE(ini.writeString("Form2", "k" + QByteArray::number(i), values.at(i)));
    }
    const IniFile reread(path());
    for (qsizetype i = 0; i < values.size(); ++i)
        EXPECT_EQ(reread.readString("Form2", "k" + QByteArray::number(i)), values.at(i)) << i;
    EXPECT_TRUE(content().contains("\nk3=a=b;c[d]\n")) << "plain values are stored unchanged";
}

TEST_F(IniFileTest, ValuesAndNamesThatWouldBreakTheLineStructure_AreRefused)
{
    setContent(QByteArrayLiteral("[Form2]\nsecret_as=s\n"));
    IniFile ini(path());
    EXPECT_FALSE(ini.writeString("Form2", "HostEdit_as", "x\n[Form2]\nsecret_as=vol\xE9"));
    EXPECT_FALSE(ini.writeString("Form2", "HostEdit_as", "x\ry"));
    EXPECT_FALSE(ini.writeString("Form2", "HostEdit_as", QByteArray("x\0y", 3)));
    EXPECT_FALSE(ini.writeString("Form2", "a=b", "v"));
    EXPECT_FALSE(ini.writeString("Form2", "", "v"));
    EXPECT_FALSE(ini.writeString("Fo]rm", "k", "v"));
    EXPECT_FALSE(ini.writeString("", "k", "v"));
    EXPECT_FALSE(ini.isModified());
    EXPECT_EQ(ini.readString("Form2", "secret_as"), QByteArrayLiteral("s"));
}

TEST_F(IniFileTest, CrLfFile_StaysCrLf)
{
    setContent(QByteArrayLiteral("[Form2]\r\nPortEdit_as=5038\r\n"));
    IniFile ini(path());
    ASSERT_TRUE(ini.writeInteger("Form2", "Spin_Edit1", 3));
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(content(), QByteArrayLiteral("[Form2]\r\nPortEdit_as=5038\r\nSpin_Edit1=3\r\n"));
}

TEST_F(IniFileTest, DuplicateSections_OnlyTheFirstIsReadAndWritten)
{
    setContent(QByteArrayLiteral("[Form2]\na=1\n[form2]\na=2\nb=3\n"));
    IniFile ini(path());
    EXPECT_EQ(ini.readString("Form2", "a"), QByteArrayLiteral("1"));
    EXPECT_FALSE(ini.hasKey("Form2", "b"));
    ASSERT_TRUE(ini.writeString("Form2", "b", "4"));
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(content(), QByteArrayLiteral("[Form2]\na=1\nb=4\n[form2]\na=2\nb=3\n"));
}

TEST_F(IniFileTest, DestructionWithUnsavedChanges_WritesThem)
{
    {
        IniFile ini(path());
        ASSERT_TRUE(ini.writeString("Form3", "edit_3651", "3651"));
    }
    EXPECT_EQ(content(), QByteArrayLiteral("[Form3]\nedit_3651=3651\n"));
}

TEST_F(IniFileTest, FolderThatCannotBeWritten_FlushFailsAndReportsWhy)
{
    ASSERT_TRUE(folder.write(QStringLiteral("plainfile"), "x"));
    IniFile ini(folder.filePath(QStringLiteral("plainfile/serie.ini")));
    ASSERT_TRUE(ini.writeString("Form2", "k", "v"));
    EXPECT_FALSE(ini.flush());
    EXPECT_FALSE(ini.errorString().isEmpty());
    EXPECT_TRUE(ini.isModified()) << "the change stays in memory";
    EXPECT_EQ(ini.readString("Form2", "k"), QByteArrayLiteral("v"));
}

TEST_F(IniFileTest, ExistingFileThatCannotBeRead_IsNeverOverwritten)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("serie.ini")));
    ASSERT_TRUE(folder.write(QStringLiteral("serie.ini/inside"), "keep"));
    IniFile ini(path());
    ASSERT_TRUE(ini.writeString("Form2", "k", "v"));
    EXPECT_FALSE(ini.flush());
    EXPECT_FALSE(ini.errorString().isEmpty());
    EXPECT_TRUE(QFileInfo(path()).isDir());
    EXPECT_EQ(folder.read(QStringLiteral("serie.ini/inside")), QByteArrayLiteral("keep"));
}

TEST_F(IniFileTest, EmptyExistingFile_GetsItsFirstSectionOnTheFirstLine)
{
    setContent(QByteArray());
    IniFile ini(path());
    ASSERT_TRUE(ini.writeString("Form1", "poste_as", "201"));
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(content(), QByteArrayLiteral("[Form1]\nposte_as=201\n"));
}
