#include "app/mainwindow.h"

#include "app/dialstring.h"
#include "app/trimprocessmemory.h"
#include "config/agendasettings.h"
#include "config/cp1252.h"
#include "config/messagebox.h"
#include "config/svgeditini.h"
#include "supervision/browser.h"
#include "supervision/callcard.h"
#include "supervision/dialwindow.h"
#include "supervision/managerconsole.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

namespace {

constexpr int ClosedStripHeight = 25; // while the manager session is closed, with "Connexion"
constexpr int OpenStripHeight = 14;

void bringToFront(QWidget* window)
{
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::TForm1>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::Tool | Qt::WindowStaysOnTopHint);
    Label3 = ui->Label3;
    m_answeredStack = ui->AnsweredStack;
    m_ringingStack = ui->RingingStack;
    m_removedCards = new QWidget(this);
    m_removedCards->hide();
    m_moreCalls = new QLabel(ui->Panel3);
    m_moreCalls->setObjectName(QStringLiteral("MoreCallsLabel"));
    m_moreCalls->setFixedHeight(MoreCallsHeight);
    m_moreCalls->setIndent(4);
    m_moreCalls->setStyleSheet(QStringLiteral("color: grey;"));
    m_moreCalls->hide();
    ui->Panel3Layout->addWidget(m_moreCalls);

    // Nothing on this window is written (no control name holds an underscore),
    // but its component is the one that saves every window when it closes.
    // Edits, check boxes, radio buttons and spin edits: the component's defaults.
    SvgEditIni1 = new TSvgEditIni(this);
    SvgEditIni1->Loaded();
    connect(SvgEditIni1, &TSvgEditIni::SettingsNotSaved, Label3, &QLabel::setText);
    connect(SvgEditIni1, &TSvgEditIni::MainFormClosed, this, &TForm1::Closed);

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer1->start();

    ui->Image1->installEventFilter(this);
    connect(ui->Edit1, &QLineEdit::textChanged, this, &TForm1::Edit1Change);
    connect(ui->Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(ui->TrackBar1, &QSlider::valueChanged, this, &TForm1::TrackBar1Change);
    connect(ui->Orbanel1, &QAction::triggered, this, &TForm1::Orbanel1Click);
    connect(ui->Asterisk1, &QAction::triggered, this, &TForm1::Asterisk1Click);
    connect(ui->Quitter1, &QAction::triggered, this, &TForm1::Quitter1Click);
    connect(ui->Dmarrervotrenavigateur1, &QAction::triggered, this, &TForm1::Dmarrervotrenavigateur1Click);
    connect(ui->Simulerunappel1, &QAction::triggered, this, &TForm1::Simulerunappel1Click);
    connect(ui->Simulerunappel11, &QAction::triggered, this, &TForm1::Simulerunappel11Click);
    connect(ui->Afficher1, &QAction::triggered, this, &TForm1::Devant);
    connect(ui->Appeler1, &QAction::triggered, this, &TForm1::Appeler1Click);
    connect(ui->Historique1, &QAction::triggered, this, &TForm1::HistoryRequested);
}

TForm1::~TForm1() = default;

void TForm1::attachWindows(TForm2* console, TForm3* agenda, TForm5* dial)
{
    m_console = console;
    m_agenda = agenda;
    m_dial = dial;
    m_console->CallCards = this;
    m_dial->Console = m_console;
    connect(m_console, &TForm2::SessionShown, this, &TForm1::showSessionState);
    connect(m_agenda->adresse_ob, &QLineEdit::textChanged, this, [this] { m_agendaAddressAsked = false; });
    connect(m_console, &TForm2::ReceivedTextHandled, this, [this] {
        if (m_agendaAddressDue)
            showAgendaAddressNotice();
    });
    connect(ui->Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
}

void TForm1::AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                            const QByteArray& channel)
{
    addCallCard(number, sda, key, channel, false);
}

void TForm1::AddAnsweredCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                             const QByteArray& channel)
{
    addCallCard(number, sda, key, channel, true);
}

void TForm1::addCallCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                         const QByteArray& channel, bool answered)
{
    if (!m_cardList.addCard(number, sda, key, channel, answered))
        return;
    // The session's card always comes on screen: it tells why no call shows.
    if (key == TFrame4::DisconnectionKey || roomOnScreen())
        showCard(*m_cardList.find(key));
    else
        showMoreCallsLine();
    if (key != TFrame4::DisconnectionKey)
        emit CallCardAdded(TFrame4::describe(m_agenda, number, sda, key, answered));
    // Pending events run here, so a manager block may change the list before
    // this returns; the card and the height are complete by now.
    QCoreApplication::processEvents();
}

void TForm1::showCard(const CallCard& call)
{
    auto* card = new TFrame4(m_agenda, m_dial, this, ui->Panel3);
    card->prepare(call.number, call.sda, call.key, call.channel, call.createdAnswered);
    card->countFrom(call.arrived);
    if (call.answered)
        card->markAnswered();
    connect(card, &TFrame4::HangupRequested, m_console, &TForm2::HangupRequested);
    // The window grows before the card joins the layout: the other way round the
    // layout would first stretch the window to its new minimum height, and the
    // window would end a pixel or so taller than its mode's height for n cards.
    setHeight(height() + CardHeight);
    (call.answered ? m_answeredStack : m_ringingStack)->addWidget(card);
    card->show();
    m_shownCards.insert(call.key, card);
}

bool TForm1::roomOnScreen() const
{
    return shownCallCardCount() - int(m_shownCards.contains(TFrame4::DisconnectionKey)) < MaxShownCards;
}

void TForm1::showFirstWaitingCard()
{
    // The shown calls are the oldest ones, so the first waiting card is at
    // most MaxShownCards + 1 steps into the list.
    for (const CallCard& call : m_cardList.cards()) {
        if (!m_shownCards.contains(call.key)) {
            showCard(call);
            return;
        }
    }
}

void TForm1::showMoreCallsLine()
{
    const int waiting = CallCardCount() - shownCallCardCount();
    if (waiting > 0)
        m_moreCalls->setText(waiting == 1 ? QStringLiteral("+ 1 autre appel")
                                          : QStringLiteral("+ %1 autres appels").arg(waiting));
    if ((waiting > 0) == m_moreCalls->isVisibleTo(ui->Panel3))
        return;
    setHeight(height() + (waiting > 0 ? MoreCallsHeight : -MoreCallsHeight));
    m_moreCalls->setVisible(waiting > 0);
}

void TForm1::ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                               const QByteArray& channel)
{
    if (HasCallCard(key))
        MarkCardAnswered(key);
    else
        AddAnsweredCard(number, sda, key, channel);
    openAgendaAutomatically(key, sda, number);
}

void TForm1::MarkCardAnswered(const QByteArray& key)
{
    if (!m_cardList.HasCallCard(key))
        return;
    const bool answeredNow = m_cardList.markAnswered(key);
    if (TFrame4* card = findCallCard(key)) {
        card->markAnswered();
        m_ringingStack->removeWidget(card);
        m_answeredStack->removeWidget(card);
        m_answeredStack->addWidget(card);
    }
    if (answeredNow)
        emit CallCardAnswered(key);
}

void TForm1::OpenCallerAgenda(const QByteArray& key)
{
    QByteArray sda;
    QByteArray number;
    if (const CallCard* call = m_cardList.find(key)) {
        sda = call->sda;
        number = call->number;
        MarkCardAnswered(key);
    }
    openAgendaAutomatically(key, sda, number);
}

void TForm1::openAgendaAutomatically(const QByteArray& key, const QByteArray& sda, const QByteArray& number)
{
    if (!m_agenda->acces_auto->isChecked())
        return;
    // The interpretation repeats the operation for every further line of the
    // event that answered the call: the caller's page (or the request for the
    // agenda address) comes once per call, not once per line. A call without
    // a card (its card was removed before it was answered) is remembered by key.
    if (HasCallCard(key)) {
        if (m_agendaOpened.contains(key))
            return;
        m_agendaOpened.insert(key);
    } else {
        if (key == m_agendaOpenedWithoutCard)
            return;
        m_agendaOpenedWithoutCard = key;
    }
    if (m_agenda->adresse_ob->text().isEmpty()) {
        askForAgendaAddress();
        return;
    }
    if (m_automaticPages.allow(AutomaticPageLimit::Clock::now()))
        TFrame4::openAgendaPage(m_agenda, sda, number);
}

void TForm1::askForAgendaAddress()
{
    // This runs inside the reception of manager text: a modal box here would
    // hold the rest of the text (a hang-up after the answer would leave its
    // card) and stack a box per call. It comes once the text is handled, and
    // once until the address is set or asked for again.
    if (m_agendaAddressAsked)
        return;
    m_agendaAddressAsked = true;
    if (m_console && m_console->isHandlingReceivedText())
        m_agendaAddressDue = true;
    else
        QMetaObject::invokeMethod(this, &TForm1::showAgendaAddressNotice, Qt::QueuedConnection);
}

void TForm1::showAgendaAddressNotice()
{
    m_agendaAddressDue = false;
    ShowMessage(QStringLiteral("Indiquer l'adresse d'Orbanel"));
}

void TForm1::RemoveCallCard(const QByteArray& key)
{
    if (!m_cardList.removeCard(key))
        return;
    m_agendaOpened.remove(key);
    if (TFrame4* card = m_shownCards.take(key)) {
        // Out of the list at once, freed later: this may run inside the card's
        // own click, and nested event processing below must not free it either.
        card->Timer1->stop();
        card->hide();
        card->setParent(m_removedCards);
        card->deleteLater();
        setHeight(height() - CardHeight);
        if (roomOnScreen())
            showFirstWaitingCard();
    }
    showMoreCallsLine();
    if (key != TFrame4::DisconnectionKey)
        emit CallCardRemoved(key);
    QCoreApplication::processEvents();
    TrimProcessMemory();
}

void TForm1::UpdateCallCard(const QByteArray& key, const QByteArray& number, const QByteArray& sda,
                            const QByteArray& channel)
{
    if (!m_cardList.updateCard(key, number, sda, channel))
        return;
    if (TFrame4* card = findCallCard(key))
        card->showParty(number, sda, channel);
    if (key != TFrame4::DisconnectionKey)
        emit CallCardUpdated(TFrame4::describe(m_agenda, number, sda, key, m_cardList.find(key)->createdAnswered));
}

bool TForm1::HasCallCard(const QByteArray& key) const
{
    return m_cardList.HasCallCard(key);
}

QByteArray TForm1::callCardKeyForChannel(const QByteArray& channel) const
{
    return m_cardList.callCardKeyForChannel(channel);
}

QByteArrayList TForm1::callCardKeys() const
{
    return m_cardList.callCardKeys();
}

int TForm1::CallCardCount() const
{
    return int(m_cardList.cards().size());
}

TFrame4* TForm1::findCallCard(const QByteArray& key) const
{
    return m_shownCards.value(key);
}

void TForm1::receiveForwardedText(const QByteArray& text)
{
    Devant();
    Label3->setText(Cp1252::toUnicode(text));
    DialOptions options;
    options.businessCode = m_agenda->Check_codea->isChecked();
    options.outsideLine = m_agenda->Check_0->isChecked();
    options.outsidePrefix = Cp1252::fromUnicode(m_agenda->edit_zero->text());
    options.hideNumber = m_agenda->Check_masque->isChecked();
    options.hidePrefix = Cp1252::fromUnicode(m_agenda->edit_3651->text());
    const QByteArray dialString = dialStringFromLink(text, options);
    if (dialString.isEmpty())
        return;
    m_dial->Edit1->setText(Cp1252::toUnicode(dialString));
    m_dial->Edit2->setText(Cp1252::toUnicode(dialString));
    bringToFront(m_dial);
}

void TForm1::forwardedTextFailed()
{
    Devant();
    Label3->setText(QStringLiteral("Erreur ReceptionParametre"));
}

void TForm1::ApplicationEvents1Exception(const QString& message)
{
    Label3->setText(message);
}

void TForm1::Devant()
{
    bringToFront(this);
}

void TForm1::Timer1Timer()
{
    Timer1->stop();
    ui->Edit1->setText(m_console->poste_as->text());
    // The connection cannot be up yet, so this login only notes that it is
    // not; the real one follows when the connection completes.
    m_console->ConnectButtonClick();
    m_console->SendButtonClick();
    // The name lists come from the agenda server; a failed download goes to
    // the program's error handler and skips the rest of this start-up.
    m_agenda->Button2Click();
    setModeHeight();
}

void TForm1::Button1Click()
{
    m_console->ConnectButtonClick();
    m_console->SendButtonClick();
}

void TForm1::Edit1Change()
{
    if (m_console)
        m_console->poste_as->setText(ui->Edit1->text());
}

void TForm1::Button3Click()
{
    m_compact = true;
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    ui->Configuration1->menuAction()->setVisible(false);
    ui->N1->menuAction()->setVisible(false);
    ui->MainMenu1->hide();
    ui->Panel3->show();
    ui->Panel2->hide();
    ui->Panel1->show();
    setModeHeight();
}

void TForm1::Image1Click()
{
    m_compact = false;
    setPalette(QPalette());
    ui->Configuration1->menuAction()->setVisible(true);
    ui->N1->menuAction()->setVisible(true);
    ui->MainMenu1->show();
    ui->Panel2->show();
    ui->Panel1->hide();
    setModeHeight();
}

void TForm1::TrackBar1Change()
{
    setWindowOpacity(ui->TrackBar1->value() / 255.0);
}

void TForm1::Orbanel1Click()
{
    bringToFront(m_agenda);
}

void TForm1::Asterisk1Click()
{
    bringToFront(m_console);
}

void TForm1::Quitter1Click()
{
    close();
}

void TForm1::Dmarrervotrenavigateur1Click()
{
    m_agendaAddressAsked = false;
    const QString base = m_agenda->adresse_ob->text();
    if (base.isEmpty()) {
        ShowMessage(QStringLiteral("Indiquer l'adresse d'Orbanel"));
        return;
    }
    OpenInBrowser(base + QStringLiteral("/cgi-bin/agenda/bon.pl"));
}

void TForm1::Simulerunappel1Click()
{
    AddAnsweredCard(QByteArrayLiteral("0606060608"), QByteArrayLiteral("Orbanel"), QByteArrayLiteral("d717"),
                    QByteArrayLiteral("d1d"));
}

void TForm1::Simulerunappel11Click()
{
    AddRingingCard(QByteArrayLiteral("0511223344"), QByteArrayLiteral("Essai"), QByteArrayLiteral("d77"),
                   QByteArrayLiteral("dd"));
}

void TForm1::Appeler1Click()
{
    bringToFront(m_dial);
}

QList<QAction*> TForm1::trayActions() const
{
    return {ui->Afficher1, ui->Appeler1, ui->Historique1, ui->Quitter1};
}

void TForm1::closeEvent(QCloseEvent* event)
{
    event->accept();
    // The settings component saves every window after this and ends the close
    // itself, once a failed save has been told: the program must not end first.
    if (SvgEditIni1->HookedForm() != this)
        emit Closed();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->Image1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Image1Click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::showSessionState(bool connected)
{
    ui->Panel1->setFixedHeight(connected ? OpenStripHeight : ClosedStripHeight);
    ui->Button1->setVisible(!connected);
}

void TForm1::setModeHeight()
{
    setHeight((m_compact ? CompactHeight : OptionsHeight) + CardHeight * shownCallCardCount() +
              (m_moreCalls->isVisibleTo(ui->Panel3) ? MoreCallsHeight : 0));
}

void TForm1::setHeight(int height)
{
    resize(width(), height);
}
