#include "config/autostartentry.h"
#include "control.h"
#include "gui/agendasettings.h"
#include "gui/messagebox.h"
#include "gui/svgeditini.h"
#include "httpserverprocess.h"
#include "mountedtmpfs.h"
#include "net/ehttpexception.h"
#include "nginxprocess.h"
#include "tempdatafolder.h"
#include "temporaryconfighome.h"
#include "tlscertificates.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace {

class AgendaSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        TSvgEditIni::ResetForTests();
        setMessageSinkForTests([this](const QString& text) { messages.append(text); });
    }
    void TearDown() override
    {
        setMessageSinkForTests({});
        TSvgEditIni::ResetForTests();
    }

    QList<QCheckBox*> checkBoxes(const TForm3& form) const
    {
        return {form.acces_auto,  form.sda_liaison, form.Check_masque, form.Check_0,
                form.Check_codea, form.num_app,     form.num_temps,    control<QCheckBox>(&form, "exe_commande")};
    }

    // The key names of one section of "serie.ini", in file order.
    QList<QByteArray> keysOf(const QByteArray& section) const
    {
        QList<QByteArray> keys;
        bool inside = false;
        for (const QByteArray& line : folder.read(QStringLiteral("serie.ini")).split('\n')) {
            if (line.startsWith('['))
                inside = line == '[' + section + ']';
            else if (inside && line.contains('='))
                keys.append(line.left(line.indexOf('=')));
        }
        return keys;
    }

    TempDataFolder folder;
    QStringList messages;
};

} // namespace

TEST_F(AgendaSettingsTest, Window_CarriesItsNameCaptionSizeAndFrenchTexts)
{
    TForm3 form;
    EXPECT_EQ(form.objectName(), QStringLiteral("Form3"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Orbanel"));
    EXPECT_EQ(form.size(), QSize(377, 454));
    EXPECT_TRUE(form.isWindow());
    EXPECT_EQ(control<QLabel>(&form, "Label1")->text(),
              QStringLiteral("Adresse IP Orbanel (exemple :  http://192.168.0.1)"));
    EXPECT_EQ(control<QGroupBox>(&form, "GroupBox1")->title(), QStringLiteral("Agenda"));
    EXPECT_EQ(control<QGroupBox>(&form, "GroupBox2")->title(), QStringLiteral("Appel sortant"));
    EXPECT_EQ(control<QGroupBox>(&form, "GroupBox3")->title(), QStringLiteral("Appel entrant"));
    EXPECT_EQ(control<QGroupBox>(&form, "GroupBox4")->title(), QStringLiteral("Commandes"));
    EXPECT_EQ(form.acces_auto->text(), QStringLiteral("Accès automatique à l'agenda client"));
    EXPECT_EQ(form.sda_liaison->text(), QStringLiteral("Liaison sur SDA"));
    EXPECT_EQ(form.Check_masque->text(), QStringLiteral("Masquer le numéro (appel patient)"));
    EXPECT_EQ(form.Check_masque->toolTip(),
              QStringLiteral("Votre numéro sera caché lors d'un appel numéroté à partir de l'agenda "));
    EXPECT_EQ(form.Check_0->text(), QStringLiteral("Ajout du zéro ou autre pour sortir"));
    EXPECT_EQ(form.Check_codea->text(), QStringLiteral("Ajout du code affaire"));
    EXPECT_EQ(form.num_app->text(), QStringLiteral("Afficher le numéro de l'appelant"));
    EXPECT_EQ(form.num_temps->text(), QStringLiteral("Afficher le temps de communication"));
    EXPECT_EQ(form.notif_appel->text(), QStringLiteral("Notifier les appels entrants"));
    EXPECT_EQ(control<QCheckBox>(&form, "exe_commande")->text(), QStringLiteral("Exécuter les commandes"));
    EXPECT_EQ(control<QPushButton>(&form, "Button2")->text(), QStringLiteral("Rafraichir SDA"));
    EXPECT_EQ(control<QPushButton>(&form, "Button2")->toolTip(),
              QStringLiteral("Charger les Noms depuis le fichier sda.ini"));
    EXPECT_EQ(control<QPushButton>(&form, "Button5")->text(), QStringLiteral("Fermer"));
}

TEST_F(AgendaSettingsTest, Controls_SitInTheirGroupsAndTheCommandsAndDownloadButtonsAreHidden)
{
    TForm3 form;
    EXPECT_EQ(form.acces_auto->parentWidget(), control<QGroupBox>(&form, "GroupBox1"));
    EXPECT_EQ(form.sda_liaison->parentWidget(), control<QGroupBox>(&form, "GroupBox1"));
    for (QWidget* widget : {static_cast<QWidget*>(form.Check_masque), static_cast<QWidget*>(form.edit_3651),
                            static_cast<QWidget*>(form.Check_0), static_cast<QWidget*>(form.edit_zero),
                            static_cast<QWidget*>(form.Check_codea)})
        EXPECT_EQ(widget->parentWidget(), control<QGroupBox>(&form, "GroupBox2")) << widget->objectName().toStdString();
    EXPECT_EQ(form.num_app->parentWidget(), control<QGroupBox>(&form, "GroupBox3"));
    EXPECT_EQ(form.num_temps->parentWidget(), control<QGroupBox>(&form, "GroupBox3"));
    EXPECT_EQ(form.notif_appel->parentWidget(), control<QGroupBox>(&form, "GroupBox3"));
    EXPECT_EQ(control<QCheckBox>(&form, "exe_commande")->parentWidget(), control<QGroupBox>(&form, "GroupBox4"));
    EXPECT_TRUE(control<QGroupBox>(&form, "GroupBox4")->isHidden());
    EXPECT_TRUE(control<QPushButton>(&form, "Button3")->isHidden());
    EXPECT_TRUE(control<QPushButton>(&form, "Button4")->isHidden());
    EXPECT_FALSE(control<QPushButton>(&form, "Button2")->isHidden());
    EXPECT_FALSE(control<QPushButton>(&form, "Button5")->isHidden());
}

TEST_F(AgendaSettingsTest, FirstRun_EveryCheckBoxCheckedAndEditsKeepTheirDesignedTexts)
{
    TForm3 form;
    for (QCheckBox* box : checkBoxes(form))
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    EXPECT_TRUE(form.adresse_ob->text().isEmpty());
    EXPECT_EQ(form.edit_zero->text(), QStringLiteral("0"));
    EXPECT_EQ(form.edit_3651->text(), QStringLiteral("3651"));
}

TEST_F(AgendaSettingsTest, Save_WritesTheSectionForm3WithExactlyItsSettingsAndTheyComeBack)
{
    {
        TForm3 form;
        form.adresse_ob->setText(QStringLiteral("http://192.168.0.1"));
        form.edit_zero->setText(QStringLiteral("9"));
        form.num_temps->setChecked(false);
        form.Check_codea->setChecked(false);
        form.notif_appel->setChecked(false);
        form.SvgEditIni1->SaveForms();
    }
    QList<QByteArray> keys = keysOf("Form3");
    std::sort(keys.begin(), keys.end());
    QList<QByteArray> expected = {"adresse_ob",   "acces_auto",  "sda_liaison",      "Check_masque", "edit_3651",
                                  "Check_0",      "edit_zero",   "Check_codea",      "num_app",      "num_temps",
                                  "exe_commande", "notif_appel", "demarrage_session"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(keys, expected);

    TSvgEditIni::ResetForTests();
    TForm3 again;
    EXPECT_EQ(again.adresse_ob->text(), QStringLiteral("http://192.168.0.1"));
    EXPECT_EQ(again.edit_zero->text(), QStringLiteral("9"));
    EXPECT_FALSE(again.num_temps->isChecked());
    EXPECT_FALSE(again.Check_codea->isChecked());
    EXPECT_FALSE(again.notif_appel->isChecked());
    EXPECT_TRUE(again.num_app->isChecked());
}

TEST_F(AgendaSettingsTest, FermerButton_HidesTheWindowWithoutEndingTheProgram)
{
    // As in the program, the main window carries the first settings component.
    QWidget main;
    main.setObjectName(QStringLiteral("Form1"));
    new TSvgEditIni(&main);
    TForm3 form;
    form.show();
    ASSERT_TRUE(form.isVisible());
    control<QPushButton>(&form, "Button5")->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_FALSE(form.testAttribute(Qt::WA_QuitOnClose));
    EXPECT_FALSE(folder.exists(QStringLiteral("serie.ini"))) << "closing this window writes no settings";
    form.show();
    EXPECT_TRUE(form.isVisible());
}

TEST_F(AgendaSettingsTest, Window_OpensCentredOnTheScreen)
{
    TForm3 form;
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QPoint offset = form.geometry().center() - screen->availableGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);
}

TEST_F(AgendaSettingsTest, ReloadNameLists_LoadsBothFilesFromTheDataFolder)
{
    ASSERT_TRUE(folder.write(QStringLiteral("sda.ini"), QByteArrayLiteral("0123=Accueil\r\n0456=Standard\r\n")));
    ASSERT_TRUE(folder.write(QStringLiteral("tel.ini"), QByteArrayLiteral("0601020304=Martin\n")));
    TForm3 form;
    form.reloadNameLists();
    EXPECT_EQ(form.ValueListEditor1.rowCount(), 2);
    EXPECT_EQ(form.ValueListEditor1.value("0456"), QByteArrayLiteral("Standard"));
    EXPECT_EQ(form.ValueListEditor2.value("0601020304"), QByteArrayLiteral("Martin"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(AgendaSettingsTest, RafraichirButton_DownloadsBothListsFromTheAgendaAndTellsHowManyEntries)
{
    HttpServerProcess agenda;
    const QByteArray sda = "0123=Accueil\r\n0456=Standard\r\n";
    ASSERT_TRUE(agenda.serve(QStringLiteral("cgi-bin/synchro/iccc.pl"), sda));
    ASSERT_TRUE(agenda.serve(QStringLiteral("cgi-bin/synchro/iccctel.pl"), "0601020304=Martin\r\n"));
    ASSERT_TRUE(agenda.start());
    TForm3 form;
    form.adresse_ob->setText(QString::fromLatin1(agenda.url()));
    control<QPushButton>(&form, "Button2")->click();
    EXPECT_EQ(folder.read(QStringLiteral("sda.ini")), sda) << "the answer byte for byte";
    EXPECT_EQ(form.ValueListEditor1.value("0456"), QByteArrayLiteral("Standard"));
    EXPECT_EQ(form.ValueListEditor2.value("0601020304"), QByteArrayLiteral("Martin"));
    EXPECT_EQ(control<QLabel>(&form, "etat_listes")->text(), QStringLiteral("SDA : 2, annuaire : 1"));
    EXPECT_TRUE(messages.isEmpty());
    // The callers' numbers are for the user alone.
    for (const QString& name : {QStringLiteral("sda.ini"), QStringLiteral("tel.ini")})
        EXPECT_EQ(QFileInfo(folder.filePath(name)).permissions() & QFileDevice::ReadOther, 0) << name.toStdString();
    EXPECT_EQ(QFileInfo(folder.filePath(QStringLiteral("sda.ini"))).permissions(),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
}

TEST_F(AgendaSettingsTest, Refresh_FromAnHttpsAgenda_WritesBothListsByteForByte)
{
    TlsCertificates certificates;
    ASSERT_EQ(certificates.CreateServer(QStringLiteral("agenda")), QString());
    // The refresh trusts the system's store: the test's authority stands for it.
    qputenv("SSL_CERT_FILE", certificates.AuthorityPath().toLocal8Bit());
    NginxProcess agenda;
    const QByteArray sda = "0123=Accueil\r\n0456=Standard\r\n";
    const QByteArray tel = "0601020304=Martin\r\n";
    ASSERT_TRUE(agenda.serve(QStringLiteral("cgi-bin/synchro/iccc.pl"), sda));
    ASSERT_TRUE(agenda.serve(QStringLiteral("cgi-bin/synchro/iccctel.pl"), tel));
    agenda.enableTls(certificates.CertificatePath(QStringLiteral("agenda")),
                     certificates.KeyPath(QStringLiteral("agenda")));
    ASSERT_EQ(agenda.start(), QString());
    TForm3 form;
    form.adresse_ob->setText(QString::fromLatin1(agenda.secureUrl()));
    control<QPushButton>(&form, "Button2")->click();
    qunsetenv("SSL_CERT_FILE");
    EXPECT_EQ(folder.read(QStringLiteral("sda.ini")), sda);
    EXPECT_EQ(folder.read(QStringLiteral("tel.ini")), tel);
    EXPECT_EQ(control<QLabel>(&form, "etat_listes")->text(), QStringLiteral("SDA : 2, annuaire : 1"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(AgendaSettingsTest, Refresh_AFailedDownloadEndsWithItsErrorAndKeepsThatList)
{
    HttpServerProcess agenda;
    ASSERT_TRUE(agenda.serve(QStringLiteral("cgi-bin/synchro/iccc.pl"), "0123=Accueil\r\n"));
    ASSERT_TRUE(agenda.start());
    ASSERT_TRUE(folder.write(QStringLiteral("tel.ini"), QByteArrayLiteral("0601020304=Martin\r\n")));
    TForm3 form;
    form.adresse_ob->setText(QString::fromLatin1(agenda.url()));
    try {
        form.Button2Click();
        ADD_FAILURE() << "the refresh of a missing list succeeded";
    } catch (const EHttpException& error) {
        EXPECT_EQ(error.ErrorCode(), 404);
    }
    // The list that came whole replaced its file; the one that failed kept its
    // own, and both are loaded from their files.
    EXPECT_EQ(folder.read(QStringLiteral("sda.ini")), QByteArrayLiteral("0123=Accueil\r\n"));
    EXPECT_EQ(folder.read(QStringLiteral("tel.ini")), QByteArrayLiteral("0601020304=Martin\r\n"));
    EXPECT_EQ(form.ValueListEditor1.value("0123"), QByteArrayLiteral("Accueil"));
    EXPECT_EQ(form.ValueListEditor2.value("0601020304"), QByteArrayLiteral("Martin"));

    control<QPushButton>(&form, "Button2")->click();
    EXPECT_EQ(control<QLabel>(&form, "etat_listes")->text(),
              QStringLiteral("Erreur : tel.ini non remplacé : File not found"));
    EXPECT_TRUE(control<QPushButton>(&form, "Button2")->isEnabled());
}

// An agenda server that is down or answers badly: the lists already there stay
// as they were, on disk and in the window, and the outcome line says why.
struct BadAgendaCase
{
    const char* name;
    QByteArray prefix; // before the lists' paths; empty: no server listens
    QString outcome;   // the start of the outcome line
};

class AgendaSettingsBadServer : public AgendaSettingsTest, public ::testing::WithParamInterface<BadAgendaCase>
{
};

TEST_P(AgendaSettingsBadServer, RefreshKeepsTheListsAndTellsWhy)
{
    const BadAgendaCase& c = GetParam();
    const QByteArray sda = "0123=Accueil\r\n";
    const QByteArray tel = "0601020304=Martin\r\n";
    ASSERT_TRUE(folder.write(QStringLiteral("sda.ini"), sda));
    ASSERT_TRUE(folder.write(QStringLiteral("tel.ini"), tel));
    HttpServerProcess agenda;
    ASSERT_TRUE(agenda.start());
    QByteArray address = agenda.url(c.prefix);
    if (c.prefix.isEmpty()) {
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
        address = "http://127.0.0.1:" + QByteArray::number(closed.serverPort());
    }
    TForm3 form;
    form.adresse_ob->setText(QString::fromLatin1(address));
    control<QPushButton>(&form, "Button2")->click();
    EXPECT_EQ(folder.read(QStringLiteral("sda.ini")), sda);
    EXPECT_EQ(folder.read(QStringLiteral("tel.ini")), tel);
    EXPECT_EQ(form.ValueListEditor1.value("0123"), QByteArrayLiteral("Accueil"));
    EXPECT_EQ(form.ValueListEditor2.value("0601020304"), QByteArrayLiteral("Martin"));
    const QString outcome = control<QLabel>(&form, "etat_listes")->text();
    EXPECT_TRUE(outcome.startsWith(c.outcome)) << outcome.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AgendaSettingsBadServer,
    ::testing::Values(
        BadAgendaCase{"ServerDown", "", QStringLiteral("Erreur : sda.ini non remplacé : ")},
        BadAgendaCase{"ErrorPage", "/error-page",
                      QStringLiteral("Erreur : sda.ini non remplacé : Internal Server Error")},
        BadAgendaCase{"BodyCutShort", "/short",
                      QStringLiteral("Erreur : sda.ini non remplacé : réponse incomplète (10 octets sur 1000)")},
        BadAgendaCase{
            "ConnectionReset", "/reset",
            QStringLiteral("Erreur : sda.ini non remplacé : connexion interrompue (Connection reset by peer")},
        BadAgendaCase{"NoStatusLine", "/no-status",
                      QStringLiteral("Erreur : sda.ini non remplacé : réponse sans ligne de statut")},
        BadAgendaCase{"ListTooLarge", "/huge",
                      QStringLiteral("Erreur : sda.ini non remplacé : liste de plus de 32 Mio")}),
    [](const ::testing::TestParamInfo<BadAgendaCase>& info) { return std::string(info.param.name); });

TEST_F(AgendaSettingsTest, ReloadNameLists_AFileTooLargeForANameListIsNotLoaded)
{
    ASSERT_TRUE(folder.write(QStringLiteral("sda.ini"), QByteArray(TForm3::MaxNameListSize + 1, '0')));
    TForm3 form;
    form.ValueListEditor1.load(QByteArrayLiteral("0123=Accueil\r\n"));
    form.reloadNameLists();
    EXPECT_EQ(messages, QStringList{QStringLiteral("Erreur de création de fichier sda.ini")});
    EXPECT_EQ(form.ValueListEditor1.value("0123"), QByteArrayLiteral("Accueil"));
}

TEST_F(AgendaSettingsTest, Refresh_WithoutAnAgendaAddressDoesNothing)
{
    ASSERT_TRUE(folder.write(QStringLiteral("sda.ini"), QByteArrayLiteral("0123=Accueil\r\n")));
    TForm3 form;
    for (const QString& address : {QString(), QStringLiteral("http://"), QStringLiteral("https://")}) {
        form.adresse_ob->setText(address);
        form.Button2Click();
        EXPECT_EQ(form.ValueListEditor1.rowCount(), 0);
        EXPECT_EQ(folder.read(QStringLiteral("sda.ini")), QByteArrayLiteral("0123=Accueil\r\n"));
    }
}

TEST_F(AgendaSettingsTest, ReloadNameLists_MissingFilesLeaveTheListsAsTheyWere)
{
    TForm3 form;
    form.ValueListEditor1.load(QByteArrayLiteral("0123=Accueil\r\n"));
    form.reloadNameLists();
    EXPECT_EQ(form.ValueListEditor1.value("0123"), QByteArrayLiteral("Accueil"));
    EXPECT_EQ(form.ValueListEditor2.rowCount(), 0);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(AgendaSettingsTest, ReloadNameLists_UnreadableFileShowsTheMessageKeepsItsRowsAndGoesOn)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("sda.ini")));
    ASSERT_TRUE(folder.write(QStringLiteral("tel.ini"), QByteArrayLiteral("0601020304=Martin\r\n")));
    TForm3 form;
    form.ValueListEditor1.load(QByteArrayLiteral("0123=Accueil\r\n"));
    form.reloadNameLists();
    EXPECT_EQ(messages, QStringList{QStringLiteral("Erreur de création de fichier sda.ini")});
    EXPECT_EQ(form.ValueListEditor1.value("0123"), QByteArrayLiteral("Accueil"));
    EXPECT_EQ(form.ValueListEditor2.value("0601020304"), QByteArrayLiteral("Martin"));
}

TEST_F(AgendaSettingsTest, ReloadNameLists_UnreadableDirectoryFileShowsTheSameMessage)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("tel.ini")));
    TForm3 form;
    form.reloadNameLists();
    EXPECT_EQ(messages, QStringList{QStringLiteral("Erreur de création de fichier sda.ini")});
}

TEST_F(AgendaSettingsTest, MainWindowClose_WritesForm3ButNoSectionForAMainWindowWithoutUnderscoreNames)
{
    QWidget main;
    main.setObjectName(QStringLiteral("Form1"));
    auto* extension = new QLineEdit(&main);
    extension->setObjectName(QStringLiteral("Edit1"));
    new TSvgEditIni(&main);
    TForm3 form;
    form.adresse_ob->setText(QStringLiteral("http://agenda.local"));
    main.show();
    ASSERT_TRUE(main.close());
    EXPECT_FALSE(folder.read(QStringLiteral("serie.ini")).contains("[Form1]"));
    EXPECT_TRUE(folder.read(QStringLiteral("serie.ini")).startsWith("[Form3]\nadresse_ob=http://agenda.local\n"));
}

TEST_F(AgendaSettingsTest,
       StartWithTheSession_OffAtFirstRun_ACheckWritesTheEntryThatSurvivesARestart_AnUncheckRemovesIt)
{
    const TemporaryConfigHome home;
    ASSERT_TRUE(home.isValid());
    const AutostartEntry entry;
    {
        TForm3 form;
        EXPECT_EQ(form.demarrage_session->text(), QStringLiteral("Démarrer avec la session"));
        EXPECT_FALSE(form.demarrage_session->isChecked()) << "an installed program does not start by itself";
        EXPECT_FALSE(entry.exists());

        form.demarrage_session->click();
        ASSERT_TRUE(entry.exists());
        QFile written(entry.path());
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll(), AutostartEntry::content(QCoreApplication::applicationFilePath()));
        form.SvgEditIni1->SaveForms();
    }
    EXPECT_TRUE(folder.read(QStringLiteral("serie.ini")).contains("\ndemarrage_session=1\n"));

    TSvgEditIni::ResetForTests();
    TForm3 again;
    EXPECT_TRUE(again.demarrage_session->isChecked());
    again.demarrage_session->click();
    EXPECT_FALSE(entry.exists());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(AgendaSettingsTest, StartWithTheSession_ReadOnlyAutostartFolder_TellsTheUserAndStaysUnchecked)
{
    const TemporaryConfigHome home;
    const QString autostart = home.filePath(QStringLiteral("autostart"));
    ASSERT_TRUE(QDir().mkpath(autostart));
    const MountedTmpfs disk(autostart, 64 * 1024);
    if (!disk.isMounted())
        GTEST_SKIP() << disk.whyNotMounted().toStdString();
    ASSERT_TRUE(disk.remountReadOnly());
    TForm3 form;

    form.demarrage_session->click();
    EXPECT_FALSE(form.demarrage_session->isChecked());
    EXPECT_FALSE(AutostartEntry().exists());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.front().startsWith(QStringLiteral("Impossible d'écrire le démarrage avec la session dans ") +
                                            autostart + QStringLiteral("/corvaline.desktop (")))
        << messages.front().toStdString();
}
