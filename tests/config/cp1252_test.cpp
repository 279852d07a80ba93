#include "config/cp1252.h"

#include <gtest/gtest.h>

TEST(Cp1252, EveryByte_SurvivesARoundTrip)
{
    QByteArray all;
    for (int byte = 0; byte < 256; ++byte)
        all.append(char(byte));
    const QString text = Cp1252::toUnicode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(Cp1252::fromUnicode(text), all);
}

TEST(Cp1252, AccentedLetterAndEuro_MapToTheirWindowsBytes)
{
    EXPECT_EQ(Cp1252::toUnicode(QByteArrayLiteral("\xE9")), QStringLiteral("é"));
    EXPECT_EQ(Cp1252::fromUnicode(QStringLiteral("é")), QByteArrayLiteral("\xE9"));
    EXPECT_EQ(Cp1252::toUnicode(QByteArrayLiteral("\x80")), QStringLiteral("€"));
    EXPECT_EQ(Cp1252::fromUnicode(QStringLiteral("€")), QByteArrayLiteral("\x80"));
}

TEST(Cp1252, HighRange_FollowsTheWindowsTable)
{
    EXPECT_EQ(Cp1252::toUnicode(QByteArrayLiteral("\x8C\x9C\x9F\x85\x92\x99")), QStringLiteral("ŒœŸ…’™"));
    EXPECT_EQ(Cp1252::fromUnicode(QStringLiteral("Accès à l’agenda")), QByteArrayLiteral("Acc\xE8s \xE0 l\x92"
                                                                                         "agenda"));
}

TEST(Cp1252, UndefinedBytes_MapToTheControlOfTheSameValueAndBack)
{
    for (const char byte : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'}) {
        const QString text = Cp1252::toUnicode(QByteArray(1, byte));
        ASSERT_EQ(text.size(), 1);
        EXPECT_EQ(text.at(0).unicode(), char16_t(static_cast<unsigned char>(byte)));
        EXPECT_EQ(Cp1252::fromUnicode(text), QByteArray(1, byte));
    }
}

TEST(Cp1252, CharactersOutsideTheCodePage_BecomeQuestionMarks)
{
    EXPECT_EQ(Cp1252::fromUnicode(QStringLiteral("a\u6F22b")), QByteArrayLiteral("a?b"));
    // A character outside the basic plane is one question mark, not two.
    EXPECT_EQ(Cp1252::fromUnicode(QStringLiteral("x\U0001F600y")), QByteArrayLiteral("x?y"));
    // C1 controls that Windows-1252 fills with letters are not in the code page.
    EXPECT_EQ(Cp1252::fromUnicode(QString(QChar(0x80))), QByteArrayLiteral("?"));
    EXPECT_EQ(Cp1252::fromUnicode(QString(QChar(0x9F))), QByteArrayLiteral("?"));
}

TEST(Cp1252, EmptyText_StaysEmpty)
{
    EXPECT_TRUE(Cp1252::toUnicode(QByteArray()).isEmpty());
    EXPECT_TRUE(Cp1252::fromUnicode(QString()).isEmpty());
}
