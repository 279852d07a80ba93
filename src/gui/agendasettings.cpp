#include "gui/agendasettings.h"

#include "config/atomicfile.h"
#include "config/autostartentry.h"
#include "config/datafolder.h"
#include "gui/messagebox.h"
#include "gui/svgeditini.h"
#include "net/ehttpexception.h"
#include "net/httpcli.h"
#include "net/winsockerror.h"
#include "ui_agendasettings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

namespace {

// Loads one name list from the data folder when its file is there. The same
// message serves both files: the program has always shown it for either, and
// for a file too large to be a name list.
void reloadNameList(NameList& list, const QString& fileName)
{
    const QFileInfo file(DataFolder::filePath(fileName));
    if (!file.exists())
        return;
    if (file.size() > TForm3::MaxNameListSize || !list.loadFile(file.filePath()))
        showMessage(QCoreApplication::translate("TForm3", "Erreur de création de fichier sda.ini"));
}

// Why a list was not replaced, as the outcome line and the main window show it.
[[noreturn]] void refuseList(const QString& fileName, const QString& why, int code)
{
    throw EHttpException((QCoreApplication::translate("TForm3", "%1 non remplacé : %2").arg(fileName, why)).toUtf8(),
                         code);
}

// What keeps an answer from standing as a whole name list; empty when nothing does.
QString flawOfAnswer(const THttpCli& client, qsizetype received)
{
    if (client.DoneError() != 0)
        return QCoreApplication::translate("TForm3", "connexion interrompue (%1, erreur %2)")
            .arg(QString::fromLatin1(WinsockErrorText(client.DoneError())))
            .arg(client.DoneError());
    if (client.Status == 0)
        return QCoreApplication::translate("TForm3", "réponse sans ligne de statut");
    if (client.Status != 200)
        return QCoreApplication::translate("TForm3", "réponse de statut %1").arg(client.Status);
    if (client.DocLength >= 0 && received != client.DocLength)
        return QCoreApplication::translate("TForm3", "réponse incomplète (%1 octets sur %2)")
            .arg(received)
            .arg(client.DocLength);
    return QString();
}

// An address that names no server: nothing, or the scheme alone that the field is often left with.
bool namesNoServer(const QString& address)
{
    return address.isEmpty() || address == QStringLiteral("http://") || address == QStringLiteral("https://");
}

} // namespace

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TForm3>())
{
    ui->setupUi(this);
    adresse_ob = ui->adresse_ob;
    acces_auto = ui->acces_auto;
    sda_liaison = ui->sda_liaison;
    Check_masque = ui->Check_masque;
    edit_3651 = ui->edit_3651;
    Check_0 = ui->Check_0;
    edit_zero = ui->edit_zero;
    Check_codea = ui->Check_codea;
    num_app = ui->num_app;
    num_temps = ui->num_temps;
    notif_appel = ui->notif_appel;
    demarrage_session = ui->demarrage_session;

    // A settings window never ends the program, even when it is the last one
    // shown: the settings are written only by the main window's close.
    setAttribute(Qt::WA_QuitOnClose, false);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    // Edits, check boxes, radio buttons and spin edits: the component's defaults.
    SvgEditIni1 = new TSvgEditIni(this);
    // An installed program starts with the session only once the user has
    // asked for it: the form keeps demarrage_session off while its key is missing.
    SvgEditIni1->Loaded();

    connect(demarrage_session, &QCheckBox::clicked, this, &TForm3::demarrage_sessionClick);
    connect(ui->Button2, &QPushButton::clicked, this, &TForm3::refreshAtUsersRequest);
    connect(ui->Button3, &QPushButton::clicked, this, &TForm3::Button3Click);
    connect(ui->Button4, &QPushButton::clicked, this, &TForm3::Button4Click);
    connect(ui->Button5, &QPushButton::clicked, this, &TForm3::Button5Click);
}

TForm3::~TForm3() = default;

void TForm3::reloadNameLists()
{
    reloadNameList(ValueListEditor1, QStringLiteral("sda.ini"));
    reloadNameList(ValueListEditor2, QStringLiteral("tel.ini"));
}

void TForm3::Button2Click()
{
    const QString address = adresse_ob->text();
    if (namesNoServer(address))
        return;
    // A list that could not be downloaded is still there as it was: it is
    // loaded all the same, so that the names show with the server down.
    try {
        Button3Click();
        Button4Click();
    } catch (...) {
        reloadNameLists();
        throw;
    }
    reloadNameLists();
}

void TForm3::Button3Click()
{
    download("/cgi-bin/synchro/iccc.pl", QStringLiteral("sda.ini"));
}

void TForm3::Button4Click()
{
    download("/cgi-bin/synchro/iccctel.pl", QStringLiteral("tel.ini"));
}

void TForm3::download(const QByteArray& path, const QString& fileName)
{
    THttpCli client;
    client.URL = adresse_ob->text().toLatin1() + path;
    client.Proxy.clear();
    client.ProxyPort = "80";
    client.RequestTimeoutMs = NameListTimeoutMs;
    // The list is gathered in memory and replaces the old file only once the
    // whole answer is there: a failure leaves the old list in place.
    QByteArray list;
    client.OnDocData = [&](THttpCli* http, const char* piece, int length) {
        if (list.size() + length > MaxNameListSize) {
            http->Abort((tr("liste de plus de %1 Mio").arg(MaxNameListSize >> 20)).toUtf8());
            return;
        }
        list.append(piece, length);
    };
    try {
        client.Get();
    } catch (const EHttpException& error) {
        refuseList(fileName, QString::fromUtf8(error.Message()), error.ErrorCode());
    }
    const QString flaw = flawOfAnswer(client, list.size());
    if (!flaw.isEmpty())
        refuseList(fileName, flaw, client.Status);
    QString error;
    if (!writeFileAtomically(DataFolder::filePath(fileName), list, &error))
        refuseList(fileName, error, client.Status);
}

void TForm3::refreshAtUsersRequest()
{
    ui->etat_listes->setText(tr("Rafraichissement en cours..."));
    ui->Button2->setEnabled(false);
    QString outcome;
    try {
        Button2Click();
        outcome = namesNoServer(adresse_ob->text())
                      ? tr("Pas d'adresse d'Orbanel : rien à rafraichir")
                      : tr("SDA : %1, annuaire : %2").arg(ValueListEditor1.rowCount()).arg(ValueListEditor2.rowCount());
    } catch (const EHttpException& error) {
        outcome = tr("Erreur : ") + QString::fromUtf8(error.Message());
    }
    ui->Button2->setEnabled(true);
    ui->etat_listes->setText(outcome);
}

void TForm3::Button5Click()
{
    close();
}

void TForm3::demarrage_sessionClick(bool checked)
{
    const AutostartEntry entry;
    QString error;
    if (checked ? entry.write(QCoreApplication::applicationFilePath(), &error) : entry.remove(&error))
        return;
    demarrage_session->setChecked(entry.exists());
    showMessage(error);
}
