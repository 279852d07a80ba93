#include "gui/mainwindow.h"

#include "config/cp1252.h"
#include "gui/agendasettings.h"
#include "gui/browser.h"
#include "gui/callcard.h"
#include "gui/dialwindow.h"
#include "gui/managerconsole.h"
#include "gui/messagebox.h"
#include "gui/svgeditini.h"
#include "supervision/dialstring.h"
#include "supervision/trimprocessmemory.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

#include <utility>

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
    connect(&m_cardList, &CallCardList::cardAdded, this, &TForm1::cardAdded);
    connect(&m_cardList, &CallCardList::cardAnswered, this, &TForm1::cardAnswered);
    connect(&m_cardList, &CallCardList::cardRemoved, this, &TForm1::cardRemoved);
    connect(&m_cardList, &CallCardList::cardUpdated, this, &TForm1::cardUpdated);

    // Nothing on this window is written (no control name holds an underscore),
    // but its component is the one that saves every window when it closes.
    // Edits, check boxes, radio buttons and spin edits: the component's defaults.
    SvgEditIni1 = new TSvgEditIni(this);
    SvgEditIni1->Loaded();
    connect(SvgEditIni1, &TSvgEditIni::settingsNotSaved, Label3, &QLabel::setText);
    connect(SvgEditIni1, &TSvgEditIni::mainFormClosed, this, &TForm1::closed);

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
    connect(ui->Historique1, &QAction::triggered, this, &TForm1::historyRequested);
}

TForm1::~TForm1() = default;

void TForm1::attachWindows(TForm2* console, TForm3* agenda, TForm5* dial)
{
    m_console = console;
    m_agenda = agenda;
    m_dial = dial;
    m_console->callCards = this;
    m_dial->Console = m_console;
    connect(m_console, &TForm2::sessionShown, this, &TForm1::showSessionState);
    connect(m_agenda->adresse_ob, &QLineEdit::textChanged, this, [this] { m_agendaAddressAsked = false; });
    m_cardList.setNameLists(&m_agenda->ValueListEditor1, &m_agenda->ValueListEditor2);
    connect(ui->Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
}

void TForm1::AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                            const QByteArray& channel)
{
    m_cardList.AddRingingCard(number, sda, key, channel);
}

void TForm1::AddAnsweredCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                             const QByteArray& channel)
{
    m_cardList.addCard(number, sda, key, channel, true, true);
}

void TForm1::AddPlacedCallCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                               const QByteArray& channel)
{
    m_cardList.AddPlacedCallCard(number, sda, key, channel);
}

void TForm1::ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                               const QByteArray& channel)
{
    m_cardList.ShowConnectedCall(number, sda, key, channel);
    openAgendaAutomatically(key, sda, number);
}

void TForm1::MarkCardAnswered(const QByteArray& key)
{
    m_cardList.markAnswered(key);
}

void TForm1::OpenCallerAgenda(const QByteArray& key)
{
    const CallCard* call = m_cardList.find(key);
    const QByteArray sda = call ? call->sda : QByteArray();
    const QByteArray number = call ? call->number : QByteArray();
    m_cardList.OpenCallerAgenda(key);
    openAgendaAutomatically(key, sda, number);
}

void TForm1::RemoveCallCard(const QByteArray& key)
{
    m_cardList.RemoveCallCard(key);
}

void TForm1::UpdateCallCard(const QByteArray& key, const QByteArray& number, const QByteArray& sda,
                            const QByteArray& channel)
{
    m_cardList.UpdateCallCard(key, number, sda, channel);
}

void TForm1::cardAdded(const CallCard& call)
{
    // The session's card always comes on screen: it tells why no call shows.
    if (!call.isCall() || roomOnScreen())
        drawCard(call);
    else
        showMoreCallsLine();
}

void TForm1::cardAnswered(const QByteArray& key)
{
    if (TFrame4* card = m_shownCards.value(key)) {
        card->markAnswered();
        m_ringingStack->removeWidget(card);
        m_answeredStack->addWidget(card);
    }
}

void TForm1::cardRemoved(const QByteArray& key)
{
    m_agendaOpened.remove(key);
    if (TFrame4* card = m_shownCards.take(key)) {
        // Out of the panel at once, freed once back in the event loop: this may
        // run inside the card's own click.
        card->Timer1->stop();
        card->hide();
        card->setParent(m_removedCards);
        card->deleteLater();
        setHeight(height() - CardHeight);
        if (roomOnScreen())
            showFirstWaitingCard();
    }
    showMoreCallsLine();
    TrimProcessMemory();
}

void TForm1::cardUpdated(const CallCard& call)
{
    if (TFrame4* card = m_shownCards.value(call.key))
        card->draw(call);
}

void TForm1::drawCard(const CallCard& call)
{
    auto* card = new TFrame4(m_agenda, m_dial, this, ui->Panel3);
    card->draw(call);
    connect(card, &TFrame4::hangupRequested, m_console, &TForm2::hangupRequested);
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
    return shownCallCardCount() - int(m_shownCards.contains(CallCardList::DisconnectionKey)) < MaxShownCards;
}

void TForm1::showFirstWaitingCard()
{
    // The shown calls are the oldest ones, so the first waiting card is at
    // most MaxShownCards + 1 steps into the list.
    for (const CallCard& call : m_cardList.cards()) {
        if (!m_shownCards.contains(call.key)) {
            drawCard(call);
            return;
        }
    }
}

void TForm1::showMoreCallsLine()
{
    const int waiting = CallCardCount() - shownCallCardCount();
    if (waiting > 0)
        m_moreCalls->setText(waiting == 1 ? tr("+ 1 autre appel") : tr("+ %1 autres appels").arg(waiting));
    if ((waiting > 0) == m_moreCalls->isVisibleTo(ui->Panel3))
        return;
    setHeight(height() + (waiting > 0 ? MoreCallsHeight : -MoreCallsHeight));
    m_moreCalls->setVisible(waiting > 0);
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
    // This may run inside the hand-over of received text: a modal box here
    // would hold the rest of the text (a hang-up after the answer would leave
    // its card) and stack a box per call. It comes once the text is handled,
    // and once until the address is set or asked for again.
    if (std::exchange(m_agendaAddressAsked, true))
        return;
    QMetaObject::invokeMethod(
        this, [] { showMessage(tr("Indiquer l'adresse d'Orbanel")); }, Qt::QueuedConnection);
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
    Label3->setText(tr("Erreur ReceptionParametre"));
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
        showMessage(tr("Indiquer l'adresse d'Orbanel"));
        return;
    }
    openInBrowser(base + QStringLiteral("/cgi-bin/agenda/bon.pl"));
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
        emit closed();
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
