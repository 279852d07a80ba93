#include "appwindowsfixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>

#include "control.h"
#include "waitfor.h"

namespace {

using WindowSettingsTest = AppWindowsFixture;

TEST_F(WindowSettingsTest, FirstRun_ShowsEveryKeptCheckBoxCheckedAndDesignedDefaults)
{
    ASSERT_FALSE(QFile::exists(settingsPath()));
    for (const QCheckBox* box :
         {control<QCheckBox>(form2, "md5_s"), control<QCheckBox>(form2, "journal_enre"), form3->Check_codea,
          form3->Check_masque, form3->Check_0, form3->acces_auto, form3->sda_liaison, form3->num_app, form3->num_temps,
          control<QCheckBox>(form3, "exe_commande")})
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    EXPECT_EQ(control<QSpinBox>(form2, "Spin_Edit1")->value(), 1);
    EXPECT_EQ(control<QLineEdit>(form2, "PortEdit_as")->text(), QStringLiteral("5038"));
}

TEST_F(WindowSettingsTest, ClosingTheMainWindow_WritesConsoleAndAgendaSectionsOnly)
{
    control<QLineEdit>(form2, "HostEdit_as")->setText(QStringLiteral("127.0.0.1"));
    form3->adresse_ob->setText(QStringLiteral("http://agenda"));
    control<QLineEdit>(form1, "Edit1")->setText(QStringLiteral("104"));
    form1->show();
    form1->close();
    QFile file(settingsPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_TRUE(content.contains("[Form2]"));
    EXPECT_TRUE(content.contains("[Form3]"));
    EXPECT_FALSE(content.contains("[Form1]"));
    EXPECT_TRUE(content.contains("HostEdit_as=127.0.0.1"));
    EXPECT_TRUE(content.contains("poste_as=104"));
    EXPECT_TRUE(content.contains("adresse_ob=http://agenda"));
    EXPECT_FALSE(content.contains("RadioButton"));
    EXPECT_FALSE(content.contains("\nEdit1=")) << content.toStdString();
}

TEST_F(WindowSettingsTest, SettingsWrittenOnClose_ComeBackAtTheNextStart)
{
    control<QLineEdit>(form2, "HostEdit_as")->setText(QStringLiteral("pbx.example"));
    control<QCheckBox>(form2, "md5_s")->setChecked(false);
    control<QSpinBox>(form2, "Spin_Edit1")->setValue(7);
    form3->num_app->setChecked(false);
    form1->close();

    windows.reset();
    TSvgEditIni::ResetForTests();
    windows = std::make_unique<ApplicationWindows>();
    windows->form1()->Timer1->stop();
    EXPECT_EQ(control<QLineEdit>(windows->form2(), "HostEdit_as")->text(), QStringLiteral("pbx.example"));
    EXPECT_FALSE(control<QCheckBox>(windows->form2(), "md5_s")->isChecked());
    EXPECT_EQ(control<QSpinBox>(windows->form2(), "Spin_Edit1")->value(), 7);
    EXPECT_FALSE(windows->form3()->num_app->isChecked());
}

} // namespace
