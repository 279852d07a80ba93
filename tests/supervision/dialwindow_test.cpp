#include "cardwindowsfixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

using DialWindowTest = CardWindowsFixture;

TEST_F(DialWindowTest, StartsHiddenWithNothingSelectedAndNoTwoCallGroup)
{
    EXPECT_FALSE(dial->isVisible());
    EXPECT_EQ(dial->windowTitle(), QStringLiteral("Appel"));
    EXPECT_EQ(dial->objectName(), QStringLiteral("Form5"));
    EXPECT_FALSE(dial->Button3->isEnabled());
    EXPECT_FALSE(dial->Button4->isEnabled());
    dial->show();
    EXPECT_FALSE(dial->GroupBox2->isVisible());
    EXPECT_TRUE(dial->GroupBox1->isVisible());
    EXPECT_TRUE(dial->GroupBox3->isVisible());
    EXPECT_FALSE(dial->Label1->isVisible());
}

TEST_F(DialWindowTest, OneSelection_FillsTransferAndFirstSlotAndShowsTheWindow)
{
    dial->transfert(QStringLiteral("Dupont / Accueil"), QStringLiteral("100-1"));
    EXPECT_TRUE(dial->isVisible());
    EXPECT_EQ(dial->Label1->text(), QStringLiteral("100-1"));
    EXPECT_EQ(dial->Label6->text(), QStringLiteral("Dupont / Accueil"));
    EXPECT_EQ(dial->Label2->text(), QStringLiteral("100-1"));
    EXPECT_EQ(dial->Label4->text(), QStringLiteral("Dupont / Accueil"));
    EXPECT_TRUE(dial->Label3->text().isEmpty());
    EXPECT_TRUE(dial->Button3->isEnabled());
    EXPECT_FALSE(dial->Button4->isEnabled());
}

TEST_F(DialWindowTest, SelectionWhileTheWindowIsMinimized_BringsItBack)
{
    dial->transfert(QStringLiteral("A"), QStringLiteral("100-1"));
    dial->showMinimized();
    ASSERT_TRUE(dial->isMinimized());
    dial->transfert(QStringLiteral("B"), QStringLiteral("100-2"));
    EXPECT_TRUE(dial->isVisible());
    EXPECT_FALSE(dial->isMinimized());
    EXPECT_EQ(dial->Label6->text(), QStringLiteral("B"));
}

TEST_F(DialWindowTest, SameCardTwice_FillsBothSlotsAndEnablesTheTwoCallTransfer)
{
    dial->transfert(QStringLiteral("A"), QStringLiteral("100-1"));
    dial->transfert(QStringLiteral("A"), QStringLiteral("100-1"));
    EXPECT_EQ(dial->Label2->text(), QStringLiteral("100-1"));
    EXPECT_EQ(dial->Label3->text(), QStringLiteral("100-1"));
    EXPECT_TRUE(dial->Button4->isEnabled());
}

TEST_F(DialWindowTest, ThirdSelection_ReplacesTheSecondSlotAndKeepsTheFirst)
{
    dial->transfert(QStringLiteral("A"), QStringLiteral("100-1"));
    dial->transfert(QStringLiteral("B"), QStringLiteral("100-2"));
    dial->transfert(QStringLiteral("C"), QStringLiteral("100-3"));
    EXPECT_EQ(dial->Label2->text(), QStringLiteral("100-1"));
    EXPECT_EQ(dial->Label4->text(), QStringLiteral("A"));
    EXPECT_EQ(dial->Label3->text(), QStringLiteral("100-3"));
    EXPECT_EQ(dial->Label5->text(), QStringLiteral("C"));
    EXPECT_EQ(dial->Label1->text(), QStringLiteral("100-3"));
    EXPECT_EQ(dial->Label6->text(), QStringLiteral("C"));
}

TEST_F(DialWindowTest, Reset_ClearsTheTwoSlotsOnly)
{
    dial->transfert(QStringLiteral("A"), QStringLiteral("100-1"));
    dial->transfert(QStringLiteral("B"), QStringLiteral("100-2"));
    dial->SpeedButton5->click();
    for (const QLabel* slot : {dial->Label2, dial->Label3, dial->Label4, dial->Label5})
        EXPECT_TRUE(slot->text().isEmpty()) << slot->objectName().toStdString();
    EXPECT_FALSE(dial->Button4->isEnabled());
    EXPECT_EQ(dial->Label1->text(), QStringLiteral("100-2"));
    EXPECT_TRUE(dial->Button3->isEnabled());
}

TEST_F(DialWindowTest, Close_ClearsTheSelectionKeepsTheNumbersAndOnlyHides)
{
    dial->Edit1->setText(QStringLiteral("0123456789"));
    dial->Edit2->setText(QStringLiteral("0987654321"));
    dial->transfert(QStringLiteral("A"), QStringLiteral("100-1"));
    dial->transfert(QStringLiteral("B"), QStringLiteral("100-2"));
    dial->Button2->click();
    EXPECT_FALSE(dial->isVisible());
    for (const QLabel* label : {dial->Label1, dial->Label2, dial->Label3, dial->Label4, dial->Label5, dial->Label6})
        EXPECT_TRUE(label->text().isEmpty()) << label->objectName().toStdString();
    EXPECT_FALSE(dial->Button3->isEnabled());
    EXPECT_FALSE(dial->Button4->isEnabled());
    EXPECT_EQ(dial->Edit1->text(), QStringLiteral("0123456789"));
    EXPECT_EQ(dial->Edit2->text(), QStringLiteral("0987654321"));

    dial->transfert(QStringLiteral("C"), QStringLiteral("100-3"));
    EXPECT_EQ(dial->Label2->text(), QStringLiteral("100-3"));
    EXPECT_TRUE(dial->Label3->text().isEmpty());
    EXPECT_FALSE(dial->Button4->isEnabled());
}

} // namespace
