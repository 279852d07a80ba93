#include "gui/callcard.h"

#include "config/cp1252.h"
#include "config/displaytext.h"
#include "gui/agendasettings.h"
#include "gui/browser.h"
#include "gui/dialwindow.h"
#include "gui/messagebox.h"
#include "supervision/callcardoperations.h"
#include "ui_callcard.h"

#include <QCheckBox>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include <algorithm>

const QByteArray& TFrame4::DisconnectionKey = CallCardList::DisconnectionKey;

namespace {

QString text(const QByteArray& bytes)
{
    return Cp1252::toUnicode(bytes);
}

} // namespace

TFrame4::TFrame4(TForm3* agenda, TForm5* dial, CallCardOperations* list, QWidget* parent)
    : QFrame(parent), ui(std::make_unique<Ui::TFrame4>()), m_agenda(agenda), m_dial(dial), m_list(list)
{
    ui->setupUi(this);
    // Cards carry no object name, so that any number of them can sit side by side.
    setObjectName(QString());

    QIcon state;
    state.addFile(QStringLiteral(":/icons/ringing.png"), QSize(), QIcon::Normal);
    state.addFile(QStringLiteral(":/icons/answered.png"), QSize(), QIcon::Disabled);
    ui->SpeedButton1->setIcon(state);

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);

    PopupMenu1 = new QMenu(this);
    Raccrocher1 = PopupMenu1->addAction(QIcon(QStringLiteral(":/icons/hangup.png")), tr("Raccrocher"));
    N1 = PopupMenu1->addSeparator();
    Supprimercetappeldelaliste1 =
        PopupMenu1->addAction(QIcon(QStringLiteral(":/icons/remove.png")), tr("Supprimer cet appel de la liste"));
    N2 = PopupMenu1->addSeparator();
    N3 = PopupMenu1->addAction(QStringLiteral("*"));
    N4 = PopupMenu1->addAction(QStringLiteral("*"));
    Raccrocher1->setObjectName(QStringLiteral("Raccrocher1"));
    N1->setObjectName(QStringLiteral("N1"));
    Supprimercetappeldelaliste1->setObjectName(QStringLiteral("Supprimercetappeldelaliste1"));
    N2->setObjectName(QStringLiteral("N2"));
    N3->setObjectName(QStringLiteral("N3"));
    N4->setObjectName(QStringLiteral("N4"));

    for (QToolButton* button : {ui->SpeedButton3, ui->SpeedButton5}) {
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QToolButton::customContextMenuRequested, this,
                [this, button](const QPoint& position) { showPopupMenu(button, position); });
    }
    connect(ui->SpeedButton3, &QToolButton::clicked, this, &TFrame4::SpeedButton3Click);
    connect(ui->SpeedButton4, &QPushButton::clicked, this, &TFrame4::SpeedButton4Click);
    connect(ui->SpeedButton5, &QToolButton::clicked, this, &TFrame4::SpeedButton5Click);
    connect(Supprimercetappeldelaliste1, &QAction::triggered, this, &TFrame4::Supprimercetappeldelaliste1Click);
    connect(Raccrocher1, &QAction::triggered, this, &TFrame4::Raccrocher1Click);
    connect(Timer1, &QTimer::timeout, this, &TFrame4::Timer1Timer);
}

TFrame4::~TFrame4() = default;

void TFrame4::prepare(const QByteArray& numberText, const QByteArray& sdaText, const QByteArray& key,
                      const QByteArray& channelText, bool answered)
{
    CallCard call{key, numberText, sdaText, channelText, {}, {}, answered, answered, QDateTime::currentDateTime()};
    call.takeNamesFrom(m_agenda->ValueListEditor1, m_agenda->ValueListEditor2);
    draw(call);
}

void TFrame4::draw(const CallCard& call)
{
    m_call = call;
    const bool known = !call.callerName.isEmpty();
    const QByteArray caller = known ? call.callerName : call.number;

    Hint = call.key;
    ui->id->setText(text(call.key));
    ui->sda->setText(text(call.sda));
    ui->number->setText(text(call.number));
    ui->channel->setText(text(call.channel));
    // The blank after the colon differs between ringing and answered cards; both
    // spellings are what users have always seen.
    N3->setText((call.createdAnswered ? tr("Poste : ") : tr("Poste :")) + text(call.channel));
    N4->setText(tr("Appel : ") + text(call.key));
    StartTime = call.arrived;
    if (m_agenda->num_temps->isChecked()) {
        Timer1Timer();
        ui->Label1->show();
        Timer1->start();
    }
    if (call.key == DisconnectionKey) {
        ui->SpeedButton1->hide();
        ui->SpeedButton4->setEnabled(false);
    }
    ui->SpeedButton2->setVisible(known);
    if (known)
        ui->SpeedButton2->setToolTip(DisplayText::toDisplay(caller));
    if (m_agenda->num_app->isChecked())
        ui->SpeedButton4->setText(DisplayText::toDisplay(caller) + QStringLiteral(" / ") +
                                  DisplayText::toDisplay(call.lineLabel));
    else
        ui->SpeedButton4->setText(DisplayText::toDisplay(call.lineLabel));
    if (call.answered)
        markAnswered();
    ui->SpeedButton1->setToolTip(text(call.channel));
}

void TFrame4::markAnswered()
{
    m_call.answered = true;
    ui->SpeedButton1->setEnabled(false);
}

void TFrame4::SpeedButton3Click()
{
    m_dial->transfert(ui->SpeedButton4->text(), text(m_call.channel));
}

void TFrame4::SpeedButton4Click()
{
    openAgendaPage(m_agenda, sdaValue(), numberValue());
}

void TFrame4::SpeedButton5Click()
{
    m_list->RemoveCallCard(m_call.key);
}

void TFrame4::Supprimercetappeldelaliste1Click()
{
    m_list->RemoveCallCard(m_call.key);
}

void TFrame4::Raccrocher1Click()
{
    emit hangupRequested(channelValue());
}

void TFrame4::Timer1Timer()
{
    ui->Label1->setText(talkTimeText(StartTime.msecsTo(QDateTime::currentDateTime())));
}

QString TFrame4::talkTimeText(qint64 elapsedMs)
{
    // A system clock set back since the card was created would give negative
    // digits; the counter stays at zero until the clock has caught up.
    const qint64 seconds = std::max<qint64>(0, elapsedMs) / 1000;
    return QStringLiteral("%1:%2")
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString TFrame4::agendaPageAddress(const QString& base, bool keyedBySda, const QByteArray& sdaValue,
                                   const QByteArray& numberValue)
{
    // toPercentEncoding() leaves exactly the unreserved set (letters, digits,
    // '-', '.', '_', '~') and writes every other byte as %XX of its CP1252 value.
    return base + QStringLiteral("/cgi-bin/agenda/frame.pl?") +
           (keyedBySda ? QStringLiteral("sda") : QStringLiteral("base")) + QLatin1Char('=') +
           QString::fromLatin1(sdaValue.toPercentEncoding()) + QStringLiteral("&number=") +
           QString::fromLatin1(numberValue.toPercentEncoding());
}

void TFrame4::openAgendaPage(TForm3* agenda, const QByteArray& sdaValue, const QByteArray& numberValue)
{
    const QString base = agenda->adresse_ob->text();
    if (base.isEmpty()) {
        showMessage(tr("Indiquer l'adresse d'Orbanel"));
        return;
    }
    openInBrowser(agendaPageAddress(base, agenda->sda_liaison->isChecked(), sdaValue, numberValue));
}

void TFrame4::showPopupMenu(QToolButton* button, const QPoint& position)
{
    PopupMenu1->popup(button->mapToGlobal(position));
}
