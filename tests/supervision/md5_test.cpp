#include "supervision/md5.h"

#include <gtest/gtest.h>

namespace {

QByteArray hexOf(const QByteArray& text)
{
    return DigestHex(TextDigest(text));
}

} // namespace

// The seven test vectors of RFC 1321, appendix A.5.
TEST(Md5Digest, EmptyText_GivesRfcVector)
{
    EXPECT_EQ(hexOf(QByteArray()), QByteArrayLiteral("d41d8cd98f00b204e9800998ecf8427e"));
}

TEST(Md5Digest, SingleLetter_GivesRfcVector)
{
    EXPECT_EQ(hexOf(QByteArrayLiteral("a")), QByteArrayLiteral("0cc175b9c0f1b6a831c399e269772661"));
}

TEST(Md5Digest, Abc_GivesRfcVector)
{
    EXPECT_EQ(hexOf(QByteArrayLiteral("abc")), QByteArrayLiteral("900150983cd24fb0d6963f7d28e17f72"));
}

TEST(Md5Digest, MessageDigest_GivesRfcVector)
{
    EXPECT_EQ(hexOf(QByteArrayLiteral("message digest")), QByteArrayLiteral("f96b697d7cb7938d525a2f31aaf161d0"));
}

TEST(Md5Digest, Alphabet_GivesRfcVector)
{
    EXPECT_EQ(hexOf(QByteArrayLiteral("abcdefghijklmnopqrstuvwxyz")),
              QByteArrayLiteral("c3fcd3d76192e4007dfb496cca67e13b"));
}

TEST(Md5Digest, LettersAndDigits_GivesRfcVector)
{
    EXPECT_EQ(hexOf(QByteArrayLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")),
              QByteArrayLiteral("d174ab98d277d9f5a5611c2c9f419d9f"));
}

TEST(Md5Digest, EightyDigits_SpanningTwoBlocks_GivesRfcVector)
{
    EXPECT_EQ(hexOf(QByteArrayLiteral("1234567890123456789012345678901234567890"
                                      "1234567890123456789012345678901234567890")),
              QByteArrayLiteral("57edf4a22be3c955ac49da2e2107b67a"));
}

TEST(Md5Digest, Digest_IsSixteenBytes)
{
    EXPECT_EQ(TextDigest(QByteArrayLiteral("abc")).size(), 16);
}

// Bytes above 127 (code page 1252 letters) are digested as they are, not as UTF-8.
TEST(Md5Digest, HighBytes_AreDigestedAsBytes)
{
    const QByteArray latin("\xe9t\xe9", 3);
    EXPECT_EQ(hexOf(latin), QByteArrayLiteral("70b06e3087350c8c4fc3f13e741879f3"));
    EXPECT_NE(hexOf(latin), hexOf(QByteArrayLiteral("\xc3\xa9t\xc3\xa9")));
}

TEST(Md5Digest, HexWriting_PutsHighHalfFirstInLowercase)
{
    EXPECT_EQ(DigestHex(QByteArray("\x00\x0f\xf0\xab", 4)), QByteArrayLiteral("000ff0ab"));
}

// The manager login key: digest of the challenge directly followed by the secret.
TEST(Md5Digest, ChallengeKey_IsDigestOfChallengeThenSecret)
{
    EXPECT_EQ(hexOf(QByteArrayLiteral("123456789") + QByteArrayLiteral("secret")),
              QByteArrayLiteral("7ccde16e862dfe7681297713e9e9cadb"));
}
