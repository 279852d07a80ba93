#include "cardwindowsfixture.h"
#include "control.h"

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
    EXPECT_FALSE(control<QPushButton>(dial.get(), "Button3")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(dial.get(), "Button4")->isEnabled());
    dial->show();
    EXPECT_FALSE(control<QGroupBox>(dial.get(), "GroupBox2")->isVisible());
    EXPECT_TRUE(control<QGroupBox>(dial.get(), "GroupBox1")->isVisible());
    EXPECT_TRUE(control<QGroupBox>(dial.get(), "GroupBox3")->isVisible());
    EXPECT_FALSE(control<QLabel>(dial.get(), "Label1")->isVisible());
}

TEST_F(DialWindowTest, OneSelection_FillsTransferAndFirstSlotAndShowsTheWindow)
{
    dial->transfert(QStringLiteral("Dupont / Accueil"), QStringLiteral("100-1"));
    EXPECT_TRUE(dial->isVisible());
    EXPECT_EQ(control<QLabel>(dial.get(), "Label1")->text(), QStringLiteral("100-1"));
    EXPECT_EQ(control<QLabel>(dial.get(), "Label6")->text(), QStringLiteral("Dupont / Accueil"));
    EXPECT_EQ(control<QLabel>(dial.get(), "Label2")->text(), QStringLiteral("100-1"));
    EXPECT_EQ(control<QLabel>(dial.get(), "Label4")->text(), QStringLiteral("Dupont / Accueil"));
    EXPECT_TRUE(control<QLabel>(dial.get(), "Label3")->text().isEmpty());
    EXPECT_TRUE(control<QPushButton>(dial.get(), "Button3")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(dial.get(), "Button4")->isEnabled());
}

TEST_F(DialWindowTest, SelectionWhileTheWindowIsMinimized_BringsItBack)
{
    dial->transfert(QStringLiteral("A"), QStringLiteral("100-1"));
    dial->showMinimized();
    ASSERT_TRUE(dial->isMinimized());
    dial->transfert(QStringLiteral("B"), QStringLiteral("100-2"));
    EXPECT_TRUE(dial->isVisible());
    EXPECT_FALSE(dial->isMinimized());
    EXPECT_EQ(control<QLabel>(dial.get(), "Label6")->text(), QStringLiteral("B"));
}

TEST_F(DialWindowTest, SameCardTwice_FillsBothSlotsAndEnablesTheTwoCallTransfer)
{
    dial->transfert(QStringLiteral("A"), QStringLiteral("100-1"));
    dial->transfert(QStringLiteral("A"), QStringLiteral("100-1"));
    EXPECT_EQ(control<QLabel>(dial.get(), "Label2")->text(), QStringLiteral("100-1"));
    EXPECT_EQ(control<QLabel>(dial.get(), "Label3")->text(), QStringLiteral("100-1"));
    EXPECT_TRUE(control<QPushButton>(dial.get(), "Button4")->isEnabled());
}

TEST_F(DialWindowTest, ThirdSelection_ReplacesTheSecondSlotAndKeepsTheFirst)
{
    dial->transfert(QStringLiteral("A"), QStringLiteral("100-1"));
    dial->transfert(QStringLiteral("B"), QStringLiteral("100-2"));
    dial->transfert(QStringLiteral("C"), QStringLiteral("100-3"));
    EXPECT_EQ(control<QLabel>(dial.get(), "Label2")->text(), QStringLiteral("100-1"));
    EXPECT_EQ(control<QLabel>(dial.get(), "Label4")->text(), QStringLiteral("A"));
    EXPECT_EQ(control<QLabel>(dial.get(), "Label3")->text(), QStringLiteral("100-3"));
    EXPECT_EQ(control<QLabel>(dial.get(), "Label5")->text(), QStringLiteral("C"));
    EXPECT_EQ(control<QLabel>(dial.get(), "Label1")->text(), QStringLiteral("100-3"));
    EXPECT_EQ(control<QLabel>(dial.get(), "Label6")->text(), QStringLiteral("C"));
}

TEST_F(DialWindowTest, Reset_ClearsTheTwoSlotsOnly)
{
    dial->transfert(QStringLiteral("A"), QStringLiteral("100-1"));
    dial->transfert(QStringLiteral("B"), QStringLiteral("100-2"));
    control<QToolButton>(dial.get(), "SpeedButton5")->click();
    for (const QLabel* slot : {control<QLabel>(dial.get(), "Label2"), control<QLabel>(dial.get(), "Label3"),
                               control<QLabel>(dial.get(), "Label4"), control<QLabel>(dial.get(), "Label5")})
        EXPECT_TRUE(slot->text().isEmpty()) << slot->objectName().toStdString();
    EXPECT_FALSE(control<QPushButton>(dial.get(), "Button4")->isEnabled());
    EXPECT_EQ(control<QLabel>(dial.get(), "Label1")->text(), QStringLiteral("100-2"));
    EXPECT_TRUE(control<QPushButton>(dial.get(), "Button3")->isEnabled());
}

TEST_F(DialWindowTest, Close_ClearsTheSelectionKeepsTheNumbersAndOnlyHides)
{
    dial->Edit1->setText(QStringLiteral("0123456789"));
    dial->Edit2->setText(QStringLiteral("0987654321"));
    dial->transfert(QStringLiteral("A"), QStringLiteral("100-1"));
    dial->transfert(QStringLiteral("B"), QStringLiteral("100-2"));
    control<QPushButton>(dial.get(), "Button2")->click();
    EXPECT_FALSE(dial->isVisible());
    for (const QLabel* label : {control<QLabel>(dial.get(), "Label1"), control<QLabel>(dial.get(), "Label2"),
                                control<QLabel>(dial.get(), "Label3"), control<QLabel>(dial.get(), "Label4"),
                                control<QLabel>(dial.get(), "Label5"), control<QLabel>(dial.get(), "Label6")})
        EXPECT_TRUE(label->text().isEmpty()) << label->objectName().toStdString();
    EXPECT_FALSE(control<QPushButton>(dial.get(), "Button3")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(dial.get(), "Button4")->isEnabled());
    EXPECT_EQ(dial->Edit1->text(), QStringLiteral("0123456789"));
    EXPECT_EQ(dial->Edit2->text(), QStringLiteral("0987654321"));

    dial->transfert(QStringLiteral("C"), QStringLiteral("100-3"));
    EXPECT_EQ(control<QLabel>(dial.get(), "Label2")->text(), QStringLiteral("100-3"));
    EXPECT_TRUE(control<QLabel>(dial.get(), "Label3")->text().isEmpty());
    EXPECT_FALSE(control<QPushButton>(dial.get(), "Button4")->isEnabled());
}

} // namespace
