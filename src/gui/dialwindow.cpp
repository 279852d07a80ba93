#include "gui/dialwindow.h"

#include "config/cp1252.h"
#include "gui/managerconsole.h"
#include "gui/messagebox.h"
#include "supervision/manageraction.h"
#include "ui_dialwindow.h"

#include <QCloseEvent>

namespace {

QByteArray bytes(const QLineEdit* edit)
{
    return Cp1252::fromUnicode(edit->text());
}

QByteArray bytes(const QLabel* label)
{
    return Cp1252::fromUnicode(label->text());
}

// The extension that takes the calls of the two-call transfer in the dial plan.
const QByteArray TwoCallTarget = QByteArrayLiteral("680");

} // namespace

TForm5::TForm5(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TForm5>())
{
    ui->setupUi(this);
    Edit1 = ui->Edit1;
    Edit2 = ui->Edit2;

    connect(ui->Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
    connect(ui->Button3, &QPushButton::clicked, this, &TForm5::Button3Click);
    connect(ui->Button4, &QPushButton::clicked, this, &TForm5::Button4Click);
    connect(ui->SpeedButton5, &QToolButton::clicked, this, &TForm5::SpeedButton5Click);
    connect(ui->Button2, &QPushButton::clicked, this, &TForm5::Button2Click);
}

TForm5::~TForm5() = default;

void TForm5::transfert(const QString& display, const QString& channel)
{
    ui->Label1->setText(channel);
    ui->Label6->setText(display);
    ui->Button3->setEnabled(true);
    if (ui->Label2->text().isEmpty()) {
        ui->Label2->setText(channel);
        ui->Label4->setText(display);
    } else {
        ui->Label3->setText(channel);
        ui->Label5->setText(display);
    }
    if (!ui->Label2->text().isEmpty() && !ui->Label3->text().isEmpty())
        ui->Button4->setEnabled(true);
    // The user has just pressed a card's transfer button: the window comes
    // forward even when it was already open behind others or minimized.
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TForm5::Button1Click()
{
    if (!Console)
        return;
    const QByteArray extension = bytes(Console->poste_as);
    const QByteArray action = ManagerAction("Originate")
                                  .header("Channel", Console->session().phoneChannel())
                                  .header("Context", bytes(Console->code_soc))
                                  .header("Exten", bytes(Edit1))
                                  .header("Priority", "1")
                                  .header("Timeout", "30000")
                                  .header("CallerId", extension)
                                  .header("Async", "yes")
                                  .text();
    if (!Console->session().send(action, ManagerSession::Needs::Login)) {
        showMessage(tr("Erreur sur appel ") + Edit1->text());
        return;
    }
    // The PBX rings the phone with its own number: the card shows the number
    // called until the far end is named.
    Console->session().callPlaced(bytes(Edit1));
}

void TForm5::Button3Click()
{
    if (ui->Label1->text().isEmpty()) {
        showMessage(tr("Cliquer sur l'appel a transférer"));
        return;
    }
    if (!Console)
        return;
    // Redirecting the user's own phone would leave the caller alone in the
    // bridge, and the exchange would hang up on them; a manager that has
    // BlindTransfer moves the caller instead and frees the phone.
    const QByteArray channel = Console->session().managerChannel(bytes(ui->Label1));
    const QByteArray context = bytes(Console->code_soc);
    const QByteArray action = Console->session().blindTransferAvailable() ? ManagerAction("BlindTransfer")
                                                                                .header("Channel", channel)
                                                                                .header("Context", context)
                                                                                .header("Exten", bytes(Edit2))
                                                                                .text()
                                                                          : ManagerAction("Redirect")
                                                                                .header("Channel", channel)
                                                                                .header("Context", context)
                                                                                .header("Exten", bytes(Edit2))
                                                                                .header("Priority", "1")
                                                                                .text();
    // The message names the number the call was to go to.
    if (!Console->session().send(action, ManagerSession::Needs::Login)) {
        showMessage(tr("Erreur sur transfert ") + Edit2->text());
        return;
    }
    clearSelectedChannels();
}

void TForm5::Button4Click()
{
    if (ui->Label2->text().isEmpty() || ui->Label3->text().isEmpty()) {
        showMessage(tr("Cliquer sur les appels a transférer"));
        return;
    }
    if (!Console)
        return;
    // Both callers are moved, not the phone's legs: they meet at the
    // extension and the phone is freed.
    const QByteArray context = bytes(Console->code_soc);
    const QByteArray action = ManagerAction("Redirect")
                                  .header("Channel", Console->session().redirectedChannel(bytes(ui->Label2)))
                                  .header("Context", context)
                                  .header("Exten", TwoCallTarget)
                                  .header("Priority", "1")
                                  .header("ExtraChannel", Console->session().redirectedChannel(bytes(ui->Label3)))
                                  .header("ExtraContext", context)
                                  .header("ExtraExten", TwoCallTarget)
                                  .header("ExtraPriority", "1")
                                  .text();
    if (!Console->session().send(action, ManagerSession::Needs::Login)) {
        showMessage(tr("Erreur sur transfert ") + Cp1252::toUnicode(TwoCallTarget));
        return;
    }
    clearSelectedChannels();
}

void TForm5::clearSelectedChannels()
{
    ui->Label1->clear();
    ui->Label2->clear();
    ui->Label3->clear();
}

void TForm5::SpeedButton5Click()
{
    ui->Label2->clear();
    ui->Label3->clear();
    ui->Label4->clear();
    ui->Label5->clear();
    ui->Button4->setEnabled(false);
}

void TForm5::Button2Click()
{
    close();
}

void TForm5::closeEvent(QCloseEvent* event)
{
    FormCloseQuery();
    event->accept();
}

void TForm5::FormCloseQuery()
{
    for (QLabel* label : {ui->Label1, ui->Label2, ui->Label3, ui->Label4, ui->Label5, ui->Label6})
        label->clear();
    ui->Button3->setEnabled(false);
    ui->Button4->setEnabled(false);
}
