#include "config/namelist.h"
#include "tempdatafolder.h"

#include <QDir>

#include <gtest/gtest.h>

TEST(NameList, LfOnlyAndCrOnlyLineEnds_LoadTheSameRowsAsCrLf)
{
    NameList crlf, lf, cr;
    crlf.load(QByteArrayLiteral("0123=Accueil\r\n0456=Standard\r\n"));
    lf.load(QByteArrayLiteral("0123=Accueil\n0456=Standard\n"));
    cr.load(QByteArrayLiteral("0123=Accueil\r0456=Standard"));
    for (const NameList* list : {&crlf, &lf, &cr}) {
        EXPECT_EQ(list->rowCount(), 2);
        EXPECT_EQ(list->value("0123"), QByteArrayLiteral("Accueil"));
        EXPECT_EQ(list->value("0456"), QByteArrayLiteral("Standard"));
    }
}

TEST(NameList, BlanksAroundTheEqualsSign_AreKeptSoTheBareNumberDoesNotMatch)
{
    NameList list;
    list.load(QByteArrayLiteral("0123 = Accueil\r\n"));
    EXPECT_TRUE(list.value("0123").isEmpty());
    EXPECT_EQ(list.value("0123 "), QByteArrayLiteral(" Accueil"));
}

TEST(NameList, DuplicateKeys_FirstRowWins)
{
    NameList list;
    list.load(QByteArrayLiteral("0123=Premier\r\n0124=Autre\r\n0123=Second\r\n"));
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_EQ(list.value("0123"), QByteArrayLiteral("Premier"));
}

TEST(NameList, Lookup_IgnoresLetterCaseIncludingAccents)
{
    NameList list;
    list.load(QByteArrayLiteral("Abc=Cabinet\r\n\xE9tude=Notaire\r\n"));
    EXPECT_EQ(list.value("aBC"), QByteArrayLiteral("Cabinet"));
    EXPECT_EQ(list.value("\xC9TUDE"), QByteArrayLiteral("Notaire"));
}

TEST(NameList, Nul_EndsTheList)
{
    NameList list;
    list.load(QByteArrayLiteral("0123=Accueil\r\n0456=Stan\0dard\r\n0789=Jamais\r\n"));
    EXPECT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.value("0456"), QByteArrayLiteral("Stan"));
    EXPECT_TRUE(list.value("0789").isEmpty());
}

TEST(NameList, Value_IsEverythingAfterTheFirstEqualsSign)
{
    NameList list;
    list.load(QByteArrayLiteral("0123=a=b \r\n=sans cl\xE9\r\n"));
    EXPECT_EQ(list.value("0123"), QByteArrayLiteral("a=b "));
    EXPECT_EQ(list.value(""), QByteArrayLiteral("sans cl\xE9"));
}

TEST(NameList, LineWithoutEqualsSign_IsARowNoLookupFinds)
{
    NameList list;
    list.load(QByteArrayLiteral("0123\r\n\r\n0456=Standard"));
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_FALSE(list.row(0).hasSeparator);
    EXPECT_TRUE(list.value("0123").isEmpty());
    EXPECT_EQ(list.value("0456"), QByteArrayLiteral("Standard"));
}

TEST(NameList, AbsentNumber_GivesEmptyText)
{
    NameList list;
    list.load(QByteArrayLiteral("0123=Accueil\r\n"));
    EXPECT_TRUE(list.value("0999").isEmpty());
    EXPECT_TRUE(NameList().value("0123").isEmpty());
}

TEST(NameList, Load_ReplacesEveryPreviousRow)
{
    NameList list;
    list.load(QByteArrayLiteral("0123=Accueil\r\n0456=Standard\r\n"));
    list.load(QByteArrayLiteral("0789=Compta\r\n"));
    EXPECT_EQ(list.rowCount(), 1);
    EXPECT_TRUE(list.value("0123").isEmpty());
    EXPECT_EQ(list.value("0789"), QByteArrayLiteral("Compta"));
}

TEST(NameList, LoadFile_ReadsTheFileByteForByte)
{
    TempDataFolder folder;
    ASSERT_TRUE(folder.write(QStringLiteral("tel.ini"), QByteArrayLiteral("0601020304=Soci\xE9t\xE9 Martin\r\n")));
    NameList list;
    ASSERT_TRUE(list.loadFile(folder.filePath(QStringLiteral("tel.ini"))));
    EXPECT_EQ(list.value("0601020304"), QByteArrayLiteral("Soci\xE9t\xE9 Martin"));
}

TEST(NameList, LoadFileThatCannotBeRead_ReturnsFalseAndKeepsRows)
{
    TempDataFolder folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("sda.ini"))); // exists, but is no readable file
    NameList list;
    list.load(QByteArrayLiteral("0123=Accueil\r\n"));
    EXPECT_FALSE(list.loadFile(folder.filePath(QStringLiteral("sda.ini"))));
    EXPECT_FALSE(list.loadFile(folder.filePath(QStringLiteral("absent.ini"))));
    EXPECT_EQ(list.rowCount(), 1);
    EXPECT_EQ(list.value("0123"), QByteArrayLiteral("Accueil"));
}
