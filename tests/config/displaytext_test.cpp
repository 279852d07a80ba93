#include "config/displaytext.h"

#include <gtest/gtest.h>

namespace {

using DisplayText::Decoding;

struct DisplayCase
{
    const char* name;
    QByteArray bytes;
    Decoding decoding;
    QString shown;
};

class ManagerTextDisplay : public ::testing::TestWithParam<DisplayCase>
{
};

TEST_P(ManagerTextDisplay, ShowsTheTextAsTheModeReadsIt)
{
    EXPECT_EQ(DisplayText::toDisplay(GetParam().bytes, GetParam().decoding), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ManagerTextDisplay,
    ::testing::Values(
        DisplayCase{"Utf8Name", QByteArrayLiteral("H\xC3\xA9l\xC3\xA8ne"), Decoding::Utf8WhenValid,
                    QStringLiteral("Hélène")},
        DisplayCase{"Utf8OutsideTheCodePage", QByteArrayLiteral("\xE6\xBC\xA2 \xF0\x9F\x98\x80"),
                    Decoding::Utf8WhenValid, QStringLiteral("\u6F22 \U0001F600")},
        DisplayCase{"Cp1252Name", QByteArrayLiteral("H\xE9l\xE8ne"), Decoding::Utf8WhenValid, QStringLiteral("Hélène")},
        // A lead byte without the rest of its sequence, at the end of the text.
        DisplayCase{"CutSequence", QByteArrayLiteral("Caf\xC3"), Decoding::Utf8WhenValid, QStringLiteral("CafÃ")},
        // Overlong encodings are not UTF-8.
        DisplayCase{"Overlong", QByteArrayLiteral("\xC0\xAF"), Decoding::Utf8WhenValid, QStringLiteral("À¯")},
        DisplayCase{"Ascii", QByteArrayLiteral("0491234500"), Decoding::Utf8WhenValid, QStringLiteral("0491234500")},
        DisplayCase{"AsciiClassic", QByteArrayLiteral("0491234500"), Decoding::Cp1252, QStringLiteral("0491234500")},
        DisplayCase{"Utf8InClassicMode", QByteArrayLiteral("H\xC3\xA9l\xC3\xA8ne"), Decoding::Cp1252,
                    QStringLiteral("HÃ©lÃ¨ne")},
        DisplayCase{"Empty", QByteArray(), Decoding::Utf8WhenValid, QString()}),
    [](const ::testing::TestParamInfo<DisplayCase>& info) { return std::string(info.param.name); });

TEST(DisplayText, CurrentDecoding_IsTheOneLastSet)
{
    const Decoding before = DisplayText::decoding();
    DisplayText::setDecoding(Decoding::Utf8WhenValid);
    EXPECT_EQ(DisplayText::toDisplay(QByteArrayLiteral("H\xC3\xA9l\xC3\xA8ne")), QStringLiteral("Hélène"));
    DisplayText::setDecoding(Decoding::Cp1252);
    EXPECT_EQ(DisplayText::toDisplay(QByteArrayLiteral("H\xC3\xA9l\xC3\xA8ne")), QStringLiteral("HÃ©lÃ¨ne"));
    DisplayText::setDecoding(before);
}

} // namespace
