#include "gui/managerconsole.h"

#include "gui/callcard.h"

#include "control.h"
#include "gui/svgeditini.h"
#include "tempdatafolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <gtest/gtest.h>

namespace {

class ConsoleWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dataDir.isValid());
        TSvgEditIni::ResetForTests();
    }
    void TearDown() override { TSvgEditIni::ResetForTests(); }
    void writeSettings(const QByteArray& content) { ASSERT_TRUE(dataDir.write(QStringLiteral("serie.ini"), content)); }

    TempDataFolder dataDir;
};

TEST(ConsoleSession, TheSessionsCardIsTheCardTheMainWindowDrawsAsTheDisconnectionCard)
{
    EXPECT_EQ(ManagerSession::DisconnectionKey, TFrame4::DisconnectionKey);
}

TEST_F(ConsoleWindowTest, FirstRun_ChecksEveryKeptCheckBoxAndKeepsDesignedTexts)
{
    TForm2 console;
    EXPECT_EQ(console.objectName(), QStringLiteral("Form2"));
    EXPECT_EQ(console.windowTitle(), QStringLiteral("Manager"));
    console.show();
    EXPECT_EQ(console.size(), QSize(545, 480)) << "every control fits the designed size";
    EXPECT_TRUE(control<QCheckBox>(&console, "md5_s")->isChecked());
    EXPECT_TRUE(control<QCheckBox>(&console, "journal_enre")->isChecked());
    EXPECT_FALSE(control<QCheckBox>(&console, "tls_as")->isChecked()) << "TLS is turned on by the user only";
    EXPECT_EQ(control<QSpinBox>(&console, "Spin_Edit1")->value(), 1);
    EXPECT_EQ(control<QLineEdit>(&console, "PortEdit_as")->text(), QStringLiteral("5038"));
    EXPECT_EQ(console.code_soc->text(), QStringLiteral("from-internal"));
    EXPECT_EQ(control<QLineEdit>(&console, "action_as")->text(), QStringLiteral("Login"));
    EXPECT_EQ(control<QLineEdit>(&console, "events_as")->text(), QStringLiteral("On"));
    EXPECT_EQ(control<QLineEdit>(&console, "caction_m")->text(), QStringLiteral("Ping"));
    EXPECT_EQ(control<QLineEdit>(&console, "cpara_m")->text(), QStringLiteral("None"));
    EXPECT_TRUE(control<QLineEdit>(&console, "HostEdit_as")->text().isEmpty());
    EXPECT_TRUE(control<QPushButton>(&console, "ConnectButton")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(&console, "DisconnectButton")->isEnabled());
    EXPECT_TRUE(control<QPlainTextEdit>(&console, "DisplayMemo")->toPlainText().isEmpty());
    EXPECT_EQ(control<QComboBox>(&console, "mode_as")->currentText(), QStringLiteral("Moderne"));
    EXPECT_EQ(control<QComboBox>(&console, "techno_as")->currentText(), QStringLiteral("SIP"));
}

TEST_F(ConsoleWindowTest, StoredValues_ComeBackButRadioButtonsAreNotRead)
{
    writeSettings("[Form2]\r\nHostEdit_as=pbx.local\r\nmd5_s=0\r\nSpin_Edit1=45\r\n"
                  "RadioButton1=1\r\nRadioButton3=1\r\nsecret_as=s\xe9\r\nmode_as=Classique\r\ntechno_as=pjsip\r\n");
    TForm2 console;
    EXPECT_EQ(control<QComboBox>(&console, "mode_as")->currentText(), QStringLiteral("Classique"));
    EXPECT_EQ(control<QComboBox>(&console, "techno_as")->currentText(), QStringLiteral("SIP"))
        << "a value that names no choice is not taken";
    EXPECT_EQ(control<QLineEdit>(&console, "HostEdit_as")->text(), QStringLiteral("pbx.local"));
    EXPECT_FALSE(control<QCheckBox>(&console, "md5_s")->isChecked());
    EXPECT_EQ(control<QSpinBox>(&console, "Spin_Edit1")->value(), 30);
    EXPECT_EQ(control<QLineEdit>(&console, "secret_as")->text(), QStringLiteral("sé"));
    EXPECT_FALSE(control<QRadioButton>(&console, "RadioButton1")->isChecked());
    EXPECT_FALSE(control<QRadioButton>(&console, "RadioButton3")->isChecked());
    EXPECT_FALSE(control<QCheckBox>(&console, "tls_as")->isChecked()) << "a file older than the TLS box keeps it off";
}

TEST_F(ConsoleWindowTest, StoredTls_ComesBackOnWithTheStoredPort)
{
    writeSettings("[Form2]\r\ntls_as=1\r\nPortEdit_as=5038\r\n");
    TForm2 console;
    EXPECT_TRUE(control<QCheckBox>(&console, "tls_as")->isChecked());
    EXPECT_EQ(control<QLineEdit>(&console, "PortEdit_as")->text(), QStringLiteral("5038"))
        << "the port is proposed when the user checks the box, not when it is restored";
}

TEST_F(ConsoleWindowTest, RadioButtons_WriteTheDialContext)
{
    TForm2 console;
    control<QRadioButton>(&console, "RadioButton1")->click();
    EXPECT_EQ(console.code_soc->text(), QStringLiteral("internal"));
    control<QRadioButton>(&console, "RadioButton3")->click();
    EXPECT_EQ(console.code_soc->text(), QStringLiteral("default"));
    control<QRadioButton>(&console, "RadioButton2")->click();
    EXPECT_EQ(console.code_soc->text(), QStringLiteral("from-internal"));
}

TEST_F(ConsoleWindowTest, CloseButton_OnlyHidesTheWindow)
{
    TForm2 console;
    console.show();
    control<QPushButton>(&console, "Button1")->click();
    EXPECT_FALSE(console.isVisible());
    console.show();
    EXPECT_TRUE(console.isVisible());
}

} // namespace
