#include "supervision/dialstring.h"
#include "supervision/extractfield.h"
#include "appwindowsfixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace {

QByteArray field(const QByteArray& text, int n, const QByteArray& initial = "unchanged")
{
    QByteArray result = initial;
    ExtractField(text, '|', n, result);
    return result;
}

TEST(ExtractFieldTest, IndexCountsSeparators)
{
    EXPECT_EQ(field("a|b|", 2), QByteArray("a"));
    EXPECT_EQ(field("a|b|", 3), QByteArray("b"));
    EXPECT_EQ(field("a||c|", 3), QByteArray(""));
}

TEST(ExtractFieldTest, FieldWithoutFollowingSeparatorOrIndexBelowTwo_LeavesResult)
{
    EXPECT_EQ(field("a|b", 3), QByteArray("unchanged"));
    EXPECT_EQ(field("a|b|", 1), QByteArray("unchanged"));
    EXPECT_EQ(field("a|b|", 0), QByteArray("unchanged"));
    EXPECT_EQ(field("", 2), QByteArray("unchanged"));
}

DialOptions options(bool code, bool zero, bool hide)
{
    DialOptions result;
    result.businessCode = code;
    result.outsideLine = zero;
    result.outsidePrefix = "0";
    result.hideNumber = hide;
    result.hidePrefix = "3651";
    return result;
}

TEST(DialStringTest, PlainLink_GivesTheNumber)
{
    EXPECT_EQ(dialStringFromLink("numero:0123456789", options(false, false, false)), QByteArray("0123456789"));
}

TEST(DialStringTest, FullStopsBlanksAndEncodedBlanks_AreRemoved)
{
    const DialOptions none = options(false, false, false);
    EXPECT_EQ(dialStringFromLink("numero:01.23.45.67.89", none), QByteArray("0123456789"));
    EXPECT_EQ(dialStringFromLink("numero:01%2023%2045%2067%2089", none), QByteArray("0123456789"));
    EXPECT_EQ(dialStringFromLink("numero:01 23 45 67 89", none), QByteArray("0123456789"));
}

TEST(DialStringTest, BusinessCodeAndOutsidePrefix_ComeFirstInThatOrder)
{
    EXPECT_EQ(dialStringFromLink("numero:0123456789|77", options(true, true, false)), QByteArray("7700123456789"));
    EXPECT_EQ(dialStringFromLink("numero:0123456789|77", options(false, true, false)), QByteArray("00123456789"));
}

TEST(DialStringTest, PatientLink_TakesCodeFromThirdFieldAndHidesTheNumber)
{
    EXPECT_EQ(dialStringFromLink("numero:p:0123456789|x|77", options(false, true, true)),
              QByteArray("036510123456789"));
    EXPECT_EQ(dialStringFromLink("numero:p:0123456789|x|77", options(true, true, true)),
              QByteArray("77036510123456789"));
    EXPECT_EQ(dialStringFromLink("numero:p:0123456789|x|77", options(false, true, false)), QByteArray("00123456789"));
    EXPECT_EQ(dialStringFromLink("numero:pP:0123", options(false, false, false)), QByteArray("p0123"));
}

TEST(DialStringTest, HidePrefix_NeverAppliesToOtherLinks)
{
    EXPECT_EQ(dialStringFromLink("numero:0123456789", options(false, false, true)), QByteArray("0123456789"));
    EXPECT_EQ(dialStringFromLink("numero:P:0123456789", options(false, false, true)), QByteArray("P:0123456789"));
}

TEST(DialStringTest, PrefixAloneOrShortText_GivesNothing)
{
    EXPECT_TRUE(dialStringFromLink("numero:", options(true, true, true)).isEmpty());
    EXPECT_TRUE(dialStringFromLink("numero: . %20", options(true, true, true)).isEmpty());
    EXPECT_TRUE(dialStringFromLink("abc", options(true, true, true)).isEmpty());
}

TEST(DialStringTest, FirstSevenCharactersAreDroppedWhateverTheyAre)
{
    EXPECT_EQ(dialStringFromLink("tel:0000123456", options(false, false, false)), QByteArray("0123456"));
}

using ForwardedLinkTest = AppWindowsFixture;

TEST_F(ForwardedLinkTest, Link_FillsBothNumberFieldsAndShowsTheDialWindow)
{
    form3->Check_codea->setChecked(false);
    form3->Check_0->setChecked(false);
    form3->Check_masque->setChecked(false);
    form1->receiveForwardedText("numero:01.23.45.67.89");
    EXPECT_EQ(form5->Edit1->text(), QStringLiteral("0123456789"));
    EXPECT_EQ(form5->Edit2->text(), QStringLiteral("0123456789"));
    EXPECT_TRUE(form5->isVisible());
    EXPECT_TRUE(form1->isVisible());
    EXPECT_EQ(form1->Label3->text(), QStringLiteral("numero:01.23.45.67.89"));
}

TEST_F(ForwardedLinkTest, Link_UsesTheOutgoingCallOptionsOfTheAgendaSettings)
{
    form3->Check_codea->setChecked(false);
    form3->Check_0->setChecked(true);
    form3->edit_zero->setText(QStringLiteral("0"));
    form3->Check_masque->setChecked(true);
    form3->edit_3651->setText(QStringLiteral("3651"));
    form1->receiveForwardedText("numero:p:0123456789|x|77");
    EXPECT_EQ(form5->Edit1->text(), QStringLiteral("036510123456789"));

    form3->Check_codea->setChecked(true);
    form3->Check_masque->setChecked(false);
    form1->receiveForwardedText("numero:0123456789|77");
    EXPECT_EQ(form5->Edit2->text(), QStringLiteral("7700123456789"));
}

TEST_F(ForwardedLinkTest, PrefixAlone_BringsTheMainWindowForwardOnly)
{
    form1->receiveForwardedText("numero:");
    EXPECT_TRUE(form1->isVisible());
    EXPECT_FALSE(form5->isVisible());
    EXPECT_TRUE(form5->Edit1->text().isEmpty());
}

TEST_F(ForwardedLinkTest, UnreadableText_LeavesTheErrorInTheStatusLabel)
{
    form1->forwardedTextFailed();
    EXPECT_EQ(form1->Label3->text(), QStringLiteral("Erreur ReceptionParametre"));
    EXPECT_FALSE(form5->isVisible());
}

} // namespace
