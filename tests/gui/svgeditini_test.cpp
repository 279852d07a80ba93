#include "gui/messagebox.h"
#include "gui/svgeditini.h"
#include "mountedtmpfs.h"
#include "tempdatafolder.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A window as the program builds them: named controls, some nested in a group
// box, and one settings component.
struct TestWindow
{
    explicit TestWindow(const QString& name) : window(std::make_unique<QWidget>())
    {
        window->setObjectName(name);
        auto* group = new QGroupBox(window.get());
        group->setObjectName(QStringLiteral("GroupBox1"));
        host = make<QLineEdit>(group, "HostEdit_as");
        port = make<QLineEdit>(window.get(), "PortEdit_as");
        port->setText(QStringLiteral("5038"));
        plain = make<QLineEdit>(window.get(), "Edit1");
        md5 = make<QCheckBox>(group, "md5_s");
        spin = make<QSpinBox>(window.get(), "Spin_Edit1");
        spin->setRange(1, 30);
        spin->setValue(7);
        radio = make<QRadioButton>(window.get(), "Radio_1");
    }

    template <typename Control> static Control* make(QWidget* parent, const char* name)
    {
        auto* control = new Control(parent);
        control->setObjectName(QString::fromLatin1(name));
        return control;
    }

    TSvgEditIni* addComponent()
    {
        auto* component = new TSvgEditIni(window.get());
        return component;
    }

    std::unique_ptr<QWidget> window;
    QLineEdit* host;
    QLineEdit* port;
    QLineEdit* plain;
    QCheckBox* md5;
    QSpinBox* spin;
    QRadioButton* radio;
};

class SvgEditIniTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        TSvgEditIni::ResetForTests();
    }
    void TearDown() override { TSvgEditIni::ResetForTests(); }

    QByteArray settings() const { return folder.read(QStringLiteral("serie.ini")); }
    void setSettings(const QByteArray& text) const { ASSERT_TRUE(folder.write(QStringLiteral("serie.ini"), text)); }

    TempDataFolder folder;
};

} // namespace

TEST_F(SvgEditIniTest, FirstRunWithoutFile_ChecksPersistedBoxesKeepsTextsAndClampsSpinToMinimum)
{
    TestWindow form(QStringLiteral("Form2"));
    form.addComponent()->Loaded();
    EXPECT_TRUE(form.md5->isChecked());
    EXPECT_TRUE(form.radio->isChecked());
    EXPECT_EQ(form.spin->value(), 1);
    EXPECT_EQ(form.port->text(), QStringLiteral("5038"));
    EXPECT_TRUE(form.host->text().isEmpty());
    EXPECT_FALSE(folder.exists(QStringLiteral("serie.ini"))) << "loading writes nothing";
}

TEST_F(SvgEditIniTest, StoredCheckValues_ZeroUncheckedAnyOtherIntegerOrNonIntegerChecked)
{
    const std::pair<QByteArray, bool> cases[] = {{"0", false},  {"1", true}, {"2", true},   {"-1", true},
                                                 {"yes", true}, {"", true},  {" 0 ", false}};
    for (const auto& [stored, checked] : cases) {
        TSvgEditIni::ResetForTests();
        setSettings("[Form2]\nmd5_s=" + stored + "\n");
        TestWindow form(QStringLiteral("Form2"));
        form.md5->setChecked(!checked);
        form.addComponent()->Loaded();
        EXPECT_EQ(form.md5->isChecked(), checked) << stored.constData();
    }
}

TEST_F(SvgEditIniTest, StoredEdits_EmptyComesBackEmptyAndTheSentinelKeepsTheDesignedText)
{
    setSettings("[Form2]\nPortEdit_as=\nHostEdit_as=" + TSvgEditIni::MissingValue + "\n");
    TestWindow form(QStringLiteral("Form2"));
    form.host->setText(QStringLiteral("designed"));
    form.addComponent()->Loaded();
    EXPECT_TRUE(form.port->text().isEmpty());
    EXPECT_EQ(form.host->text(), QStringLiteral("designed"));
}

TEST_F(SvgEditIniTest, StoredSpinValue_IsRestoredAndClampedIntoTheRange)
{
    setSettings(QByteArrayLiteral("[Form2]\nSpin_Edit1=12\n"));
    {
        TestWindow form(QStringLiteral("Form2"));
        form.addComponent()->Loaded();
        EXPECT_EQ(form.spin->value(), 12);
    }
    TSvgEditIni::ResetForTests();
    setSettings(QByteArrayLiteral("[Form2]\nSpin_Edit1=45\n"));
    TestWindow form(QStringLiteral("Form2"));
    form.addComponent()->Loaded();
    EXPECT_EQ(form.spin->value(), 30);
}

TEST_F(SvgEditIniTest, Restore_FiresChangeSignalsLikeAUserEdit)
{
    setSettings(QByteArrayLiteral("[Form2]\nHostEdit_as=pbx\nmd5_s=1\nSpin_Edit1=4\n"));
    TestWindow form(QStringLiteral("Form2"));
    int texts = 0, toggles = 0, values = 0;
    QObject::connect(form.host, &QLineEdit::textChanged, [&] { ++texts; });
    QObject::connect(form.md5, &QCheckBox::toggled, [&] { ++toggles; });
    QObject::connect(form.spin, &QSpinBox::valueChanged, [&](int value) { values = value; });
    form.addComponent()->Loaded();
    EXPECT_EQ(texts, 1);
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(values, 4);
}

TEST_F(SvgEditIniTest, Save_WritesOnlyUnderscoreNamesAndOnlyWindowsThatHaveSome)
{
    TestWindow main(QStringLiteral("Form1"));
    for (QWidget* control : std::initializer_list<QWidget*>{main.host, main.port, main.md5, main.spin, main.radio})
        delete control;
    main.addComponent()->Loaded();
    TestWindow console(QStringLiteral("Form2"));
    auto* component = console.addComponent();
    component->Loaded();
    console.host->setText(QStringLiteral("pbx.local"));
    console.md5->setChecked(false);
    console.spin->setValue(3);
    console.plain->setText(QStringLiteral("201"));
    component->SaveForms();
    EXPECT_EQ(settings(), QByteArrayLiteral("[Form2]\nHostEdit_as=pbx.local\nmd5_s=0\nPortEdit_as=5038\n"
                                            "Spin_Edit1=3\nRadio_1=1\n"));
}

TEST_F(SvgEditIniTest, EditTexts_AreStoredAsCp1252Bytes)
{
    TestWindow form(QStringLiteral("Form2"));
    auto* component = form.addComponent();
    component->Loaded();
    form.host->setText(QStringLiteral("café €"));
    component->SaveForms();
    EXPECT_TRUE(settings().contains(QByteArrayLiteral("HostEdit_as=caf\xE9 \x80\n")));

    TSvgEditIni::ResetForTests();
    TestWindow again(QStringLiteral("Form2"));
    again.addComponent()->Loaded();
    EXPECT_EQ(again.host->text(), QStringLiteral("café €"));
}

TEST_F(SvgEditIniTest, HandAddedKeyWithoutUnderscore_IsAppliedButNeverRewritten)
{
    setSettings(QByteArrayLiteral("[Form1]\nEdit1=201\n"));
    TestWindow form(QStringLiteral("Form1"));
    auto* component = form.addComponent();
    component->Loaded();
    EXPECT_EQ(form.plain->text(), QStringLiteral("201"));
    form.plain->setText(QStringLiteral("999"));
    component->SaveForms();
    EXPECT_TRUE(settings().startsWith(QByteArrayLiteral("[Form1]\nEdit1=201\n")));
}

TEST_F(SvgEditIniTest, CommentsUnknownSectionsAndKeys_SurviveASave)
{
    setSettings(QByteArrayLiteral("; fichier de r\xE9glages\n[Outils]\nchemin=/opt\n\n[Form2]\nzz_inconnu=garde\n"
                                  "HostEdit_as=ancien\n"));
    TestWindow form(QStringLiteral("Form2"));
    auto* component = form.addComponent();
    component->Loaded();
    form.host->setText(QStringLiteral("nouveau"));
    component->SaveForms();
    EXPECT_EQ(settings(),
              QByteArrayLiteral("; fichier de r\xE9glages\n[Outils]\nchemin=/opt\n\n[Form2]\nzz_inconnu=garde\n"
                                "HostEdit_as=nouveau\nmd5_s=1\nPortEdit_as=5038\nSpin_Edit1=1\nRadio_1=1\n"));
}

TEST_F(SvgEditIniTest, TwoComponentsOnOneWindow_TheLaterOnesFlagsApply)
{
    TestWindow form(QStringLiteral("Form2"));
    form.addComponent();
    auto* later = form.addComponent();
    later->SauveCheckBox = false;
    later->SauveSpinEdit = false;
    later->SauveRadioButton = false;
    EXPECT_EQ(TSvgEditIni::FindSvgEditIni(form.window.get()), later);
    later->SaveForms();
    EXPECT_EQ(settings(), QByteArrayLiteral("[Form2]\nHostEdit_as=\nPortEdit_as=5038\n"));

    setSettings(QByteArrayLiteral("[Form2]\nmd5_s=1\nHostEdit_as=pbx\n"));
    later->SauveEdit = false;
    later->SauveCheckBox = true;
    form.md5->setChecked(false);
    later->LoadForms();
    EXPECT_TRUE(form.md5->isChecked());
    EXPECT_TRUE(form.host->text().isEmpty());
}

TEST_F(SvgEditIniTest, SpinBoxInnerEdit_IsNeitherAnEditNorAKey)
{
    TestWindow form(QStringLiteral("Form2"));
    auto* component = form.addComponent();
    component->SaveForms();
    EXPECT_FALSE(settings().contains("qt_"));
    EXPECT_EQ(settings().count("Spin_Edit1="), 1);
}

TEST_F(SvgEditIniTest, EveryPassWalksEveryWindowThatCarriesAComponent)
{
    setSettings(QByteArrayLiteral("[Form1]\nEdit1=201\n"));
    TestWindow main(QStringLiteral("Form1"));
    main.addComponent()->Loaded();
    ASSERT_EQ(main.plain->text(), QStringLiteral("201"));

    setSettings(QByteArrayLiteral("[Form1]\nEdit1=202\n[Form2]\nHostEdit_as=pbx\n"));
    TestWindow console(QStringLiteral("Form2"));
    console.addComponent()->Loaded();
    EXPECT_EQ(main.plain->text(), QStringLiteral("202")) << "the second window's pass covers the first window too";
    EXPECT_EQ(console.host->text(), QStringLiteral("pbx"));

    TestWindow without(QStringLiteral("Form5"));
    without.host->setText(QStringLiteral("not kept"));
    TSvgEditIni::FindSvgEditIni(console.window.get())->SaveForms();
    EXPECT_FALSE(settings().contains("[Form5]")) << "a window without a component is not walked";
}

TEST_F(SvgEditIniTest, DestroyedWindow_LeavesTheWalk)
{
    auto gone = std::make_unique<TestWindow>(QStringLiteral("Form9"));
    gone->addComponent();
    TestWindow kept(QStringLiteral("Form2"));
    auto* component = kept.addComponent();
    gone.reset();
    component->SaveForms();
    EXPECT_FALSE(settings().contains("[Form9]"));
    EXPECT_TRUE(settings().contains("[Form2]"));
}

TEST_F(SvgEditIniTest, OnlyTheFirstComponentOfTheProcessChainsItsWindowsClose)
{
    TestWindow main(QStringLiteral("Form1"));
    auto* first = main.addComponent();
    TestWindow console(QStringLiteral("Form2"));
    auto* second = console.addComponent();
    EXPECT_EQ(first->HookedForm(), main.window.get());
    EXPECT_EQ(second->HookedForm(), nullptr);

    console.window->show();
    console.window->close();
    EXPECT_FALSE(folder.exists(QStringLiteral("serie.ini")));

    main.window->show();
    console.host->setText(QStringLiteral("pbx.local"));
    EXPECT_TRUE(main.window->close());
    EXPECT_TRUE(settings().contains("[Form2]\nHostEdit_as=pbx.local\n"));
}

namespace {

// A main window with close handling of its own, which runs before the save.
class ClosingWindow : public QWidget
{
public:
    bool refuseClose = false;
    QLineEdit* edit = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        edit->setText(QStringLiteral("set while closing"));
        if (refuseClose)
            event->ignore();
    }
};

} // namespace

TEST_F(SvgEditIniTest, MainWindowClose_RunsTheWindowsOwnHandlingThenSavesAndKeepsItsDecision)
{
    ClosingWindow main;
    main.setObjectName(QStringLiteral("Form1"));
    main.edit = TestWindow::make<QLineEdit>(&main, "poste_as");
    new TSvgEditIni(&main);
    main.show();

    main.refuseClose = true;
    EXPECT_FALSE(main.close());
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(settings(), QByteArrayLiteral("[Form1]\nposte_as=set while closing\n"));

    main.edit->setText(QStringLiteral("second"));
    main.refuseClose = false;
    ASSERT_TRUE(folder.write(QStringLiteral("serie.ini"), QByteArray()));
    EXPECT_TRUE(main.close());
    EXPECT_FALSE(main.isVisible());
    EXPECT_EQ(settings(), QByteArrayLiteral("[Form1]\nposte_as=set while closing\n"));
}

TEST_F(SvgEditIniTest, RadioButtons_FollowTheirFlag)
{
    setSettings(QByteArrayLiteral("[Form2]\nRadio_1=0\n"));
    TestWindow form(QStringLiteral("Form2"));
    auto* component = form.addComponent();
    component->SauveRadioButton = false;
    form.radio->setChecked(true);
    component->Loaded();
    EXPECT_TRUE(form.radio->isChecked());
    component->SauveRadioButton = true;
    component->LoadForms();
    EXPECT_FALSE(form.radio->isChecked());
}

TEST_F(SvgEditIniTest, SettingsFolderThatCannotBeWritten_SaveFailsSilently)
{
    ASSERT_TRUE(folder.write(QStringLiteral("plainfile"), "x"));
    qputenv("CORVALINE_DATA_DIR", QFile::encodeName(folder.filePath(QStringLiteral("plainfile/sub"))));
    TestWindow form(QStringLiteral("Form2"));
    auto* component = form.addComponent();
    component->Loaded();
    form.host->setText(QStringLiteral("pbx"));
    component->SaveForms();
    EXPECT_EQ(form.host->text(), QStringLiteral("pbx"));
    EXPECT_EQ(folder.read(QStringLiteral("plainfile")), QByteArrayLiteral("x"));
}

TEST_F(SvgEditIniTest, ChangeHandlerThatDestroysALaterControl_DoesNotBreakTheWalk)
{
    setSettings(QByteArrayLiteral("[Form2]\nHostEdit_as=pbx\nPortEdit_as=1\nmd5_s=0\n"));
    TestWindow form(QStringLiteral("Form2"));
    QObject::connect(form.host, &QLineEdit::textChanged, [&] { delete form.port; });
    form.addComponent()->Loaded();
    EXPECT_EQ(form.host->text(), QStringLiteral("pbx"));
    EXPECT_FALSE(form.md5->isChecked());
}

TEST_F(SvgEditIniTest, ChangeHandlerThatDestroysTheComponent_EndsThatWindowsWalkSafely)
{
    setSettings(QByteArrayLiteral("[Form2]\nHostEdit_as=pbx\nmd5_s=0\n"));
    TestWindow form(QStringLiteral("Form2"));
    form.md5->setChecked(true);
    auto* component = form.addComponent();
    QObject::connect(form.host, &QLineEdit::textChanged, [&] { delete component; });
    component->LoadForms();
    EXPECT_EQ(form.host->text(), QStringLiteral("pbx"));
    EXPECT_TRUE(form.md5->isChecked()) << "controls after the component went are left alone";
    EXPECT_FALSE(TSvgEditIni::HasSvgEditIni(form.window.get()));
}

TEST_F(SvgEditIniTest, LineBreaksInAnEdit_AreStoredAsTheBlanksTheEditShowsAndCannotAddKeys)
{
    setSettings(QByteArrayLiteral("[Form2]\nsecret_as=garde\n"));
    TestWindow form(QStringLiteral("Form2"));
    auto* secret = TestWindow::make<QLineEdit>(form.window.get(), "secret_as");
    auto* component = form.addComponent();
    component->Loaded();
    form.host->setText(QStringLiteral("pbx\r\n[Form2]\nsecret_as=vol"));
    component->SaveForms();
    EXPECT_TRUE(settings().contains("\nHostEdit_as=pbx  [Form2] secret_as=vol\n"));
    EXPECT_EQ(settings().count("secret_as="), 2) << "the edit's own key and the text inside the host value";
    EXPECT_EQ(secret->text(), QStringLiteral("garde"));

    TSvgEditIni::ResetForTests();
    TestWindow again(QStringLiteral("Form2"));
    auto* secretAgain = TestWindow::make<QLineEdit>(again.window.get(), "secret_as");
    again.addComponent()->Loaded();
    EXPECT_EQ(secretAgain->text(), QStringLiteral("garde"));
    EXPECT_EQ(again.host->text(), QStringLiteral("pbx  [Form2] secret_as=vol"));
}

namespace {

// A data folder on a disk that refuses the next save of the settings.
struct UnwritableDisk
{
    const char* name;
    bool (*refuseWrites)(const MountedTmpfs& disk);
};

void PrintTo(const UnwritableDisk& disk, std::ostream* out)
{
    *out << disk.name;
}

class SettingsOnAnUnwritableDisk : public SvgEditIniTest, public ::testing::WithParamInterface<UnwritableDisk>
{
};

const UnwritableDisk unwritableDisks[] = {
    {"FullDisk", [](const MountedTmpfs& disk) { return disk.fill(); }},
    {"ReadOnlyDisk", [](const MountedTmpfs& disk) { return disk.remountReadOnly(); }},
};

} // namespace

TEST_P(SettingsOnAnUnwritableDisk, MainWindowClose_KeepsTheOldFileWholeAndTellsTheUserBeforeTheCloseEnds)
{
    const MountedTmpfs disk(folder.path(), 256 * 1024);
    if (!disk.isMounted())
        GTEST_SKIP() << disk.whyNotMounted().toStdString();
    const QByteArray saved = QByteArrayLiteral("; kept by hand\r\n[Form1]\r\nposte_as=6001\r\n[Autre]\r\nx=1\r\n");
    setSettings(saved);
    TestWindow main(QStringLiteral("Form1"));
    auto* component = main.addComponent();
    component->Loaded();
    main.host->setText(QStringLiteral("changed this run"));
    ASSERT_TRUE(GetParam().refuseWrites(disk));

    QStringList told;
    setMessageSinkForTests([&told](const QString& text) { told << text; });
    QStringList statusTexts;
    QObject::connect(component, &TSvgEditIni::settingsNotSaved, [&](const QString& text) { statusTexts << text; });
    int messagesWhenClosed = -1;
    QObject::connect(component, &TSvgEditIni::mainFormClosed, [&] { messagesWhenClosed = int(told.size()); });
    main.window->close();
    setMessageSinkForTests({});

    EXPECT_EQ(settings(), saved) << "the old file byte for byte";
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.front().startsWith(QStringLiteral("Impossible d'enregistrer les réglages dans ")))
        << told.front().toStdString();
    EXPECT_TRUE(told.front().contains(folder.filePath(QStringLiteral("serie.ini"))));
    EXPECT_EQ(statusTexts, told);
    EXPECT_EQ(messagesWhenClosed, 1) << "the close ends after the user was told";
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("serie")),
              QStringList{QStringLiteral("serie.ini")})
        << "no temporary file left";
}

INSTANTIATE_TEST_SUITE_P(Disks, SettingsOnAnUnwritableDisk, ::testing::ValuesIn(unwritableDisks),
                         [](const auto& info) { return std::string(info.param.name); });
