#include "supervision/callcard.h"

#include "config/agendasettings.h"
#include "config/cp1252.h"
#include "config/messagebox.h"
#include "supervision/browser.h"
#include "supervision/callcardoperations.h"
#include "supervision/dialwindow.h"
#include "ui_callcard.h"

#include <QCheckBox>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include <algorithm>

const QByteArray TFrame4::DisconnectionKey = QByteArrayLiteral("100.cvl");

namespace {

QString text(const QByteArray& bytes)
{
    return Cp1252::toUnicode(bytes);
}

QByteArray bytes(const QLabel* label)
{
    return Cp1252::fromUnicode(label->text());
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
    Raccrocher1 = PopupMenu1->addAction(QIcon(QStringLiteral(":/icons/hangup.png")), QStringLiteral("Raccrocher"));
    N1 = PopupMenu1->addSeparator();
    Supprimercetappeldelaliste1 = PopupMenu1->addAction(QIcon(QStringLiteral(":/icons/remove.png")),
                                                        QStringLiteral("Supprimer cet appel de la liste"));
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
    Hint = key;
    ui->id->setText(text(key));
    m_createdAnswered = answered;
    N4->setText(QStringLiteral("Appel : ") + text(key));
    StartTime = QDateTime::currentDateTime();
    if (m_agenda->num_temps->isChecked()) {
        ui->Label1->setText(talkTimeText(0));
        ui->Label1->show();
        Timer1->start();
    }
    if (key == DisconnectionKey) {
        ui->SpeedButton1->hide();
        ui->SpeedButton4->setEnabled(false);
    }
    showParty(numberText, sdaText, channelText);
    if (answered)
        markAnswered();
}

void TFrame4::showParty(const QByteArray& numberText, const QByteArray& sdaText, const QByteArray& channelText)
{
    const CallCardInfo call = describe(m_agenda, numberText, sdaText, Hint, m_createdAnswered);
    const bool known = !call.callerName.isEmpty();
    const QByteArray caller = known ? call.callerName : numberText;
    m_callerName = call.callerName;
    m_lineLabel = call.lineLabel;

    ui->sda->setText(text(sdaText));
    ui->number->setText(text(numberText));
    ui->channel->setText(text(channelText));
    // The blank after the colon differs between ringing and answered cards; both
    // spellings are what users have always seen.
    N3->setText((m_createdAnswered ? QStringLiteral("Poste : ") : QStringLiteral("Poste :")) + text(channelText));
    ui->SpeedButton2->setVisible(known);
    if (known)
        ui->SpeedButton2->setToolTip(text(caller));
    if (m_agenda->num_app->isChecked())
        ui->SpeedButton4->setText(text(caller) + QStringLiteral(" / ") + text(m_lineLabel));
    else
        ui->SpeedButton4->setText(text(m_lineLabel));
    ui->SpeedButton1->setToolTip(text(channelText));
}

void TFrame4::countFrom(const QDateTime& start)
{
    StartTime = start;
    if (Timer1->isActive())
        Timer1Timer();
}

void TFrame4::markAnswered()
{
    ui->SpeedButton1->setEnabled(false);
}

bool TFrame4::isAnswered() const
{
    return !ui->SpeedButton1->isEnabled();
}

QByteArray TFrame4::sdaValue() const
{
    return bytes(ui->sda);
}

QByteArray TFrame4::numberValue() const
{
    return bytes(ui->number);
}

QByteArray TFrame4::channelValue() const
{
    return bytes(ui->channel);
}

CallCardInfo TFrame4::info() const
{
    return {Hint, numberValue(), sdaValue(), m_callerName, m_lineLabel, isAnswered()};
}

CallCardInfo TFrame4::describe(const TForm3* agenda, const QByteArray& numberText, const QByteArray& sdaText,
                               const QByteArray& key, bool answered)
{
    CallCardInfo call{key, numberText, sdaText, agenda->ValueListEditor2.value(numberText), sdaText, answered};
    if (const QByteArray label = agenda->ValueListEditor1.value(sdaText); !label.isEmpty())
        call.lineLabel = label;
    return call;
}

void TFrame4::SpeedButton3Click()
{
    m_dial->transfert(ui->SpeedButton4->text(), ui->channel->text());
}

void TFrame4::SpeedButton4Click()
{
    openAgendaPage(m_agenda, sdaValue(), numberValue());
}

void TFrame4::SpeedButton5Click()
{
    m_list->RemoveCallCard(bytes(ui->id));
}

void TFrame4::Supprimercetappeldelaliste1Click()
{
    m_list->RemoveCallCard(bytes(ui->id));
}

void TFrame4::Raccrocher1Click()
{
    emit HangupRequested(channelValue());
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
        ShowMessage(QStringLiteral("Indiquer l'adresse d'Orbanel"));
        return;
    }
    OpenInBrowser(agendaPageAddress(base, agenda->sda_liaison->isChecked(), sdaValue, numberValue));
}

void TFrame4::showPopupMenu(QToolButton* button, const QPoint& position)
{
    PopupMenu1->popup(button->mapToGlobal(position));
}
