#include "gui/managerconsole.h"

#include "config/cp1252.h"
#include "config/displaytext.h"
#include "gui/callcard.h"
#include "gui/consoleoutput.h"
#include "gui/svgeditini.h"
#include "net/esocketexception.h"
#include "net/hostlookup.h"
#include "net/tncnx.h"
#include "net/winsockerror.h"
#include "net/wsocket.h"
#include "net/wsocketresolve.h"
#include "supervision/callcardoperations.h"
#include "supervision/manageraction.h"
#include "supervision/managereventinterpreter.h"
#include "supervision/managermessages.h"
#include "supervision/moderneventinterpreter.h"
#include "ui_managerconsole.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <utility>

namespace {

const QByteArray BannerStart = QByteArrayLiteral("Asterisk Call Manager/");
constexpr qsizetype LongestBanner = 256;
const QString ModernModeText = QStringLiteral("Moderne");

QByteArray field(const QLineEdit* edit)
{
    return Cp1252::fromUnicode(edit->text());
}

QByteArray field(const QComboBox* choice)
{
    return Cp1252::fromUnicode(choice->currentText());
}

constexpr int TickMsPerUnit = 6000;
const QByteArray NotConnectedLine = QByteArrayLiteral("*** NOT CONNECTED ***");
const QByteArray RefusedLine = QByteArrayLiteral("*** CONNEXION REFUSEE ***");
const QByteArray NoAnswerLine = QByteArrayLiteral("*** PAS DE REPONSE ***");
const QByteArray LineTooLongLine = QByteArrayLiteral("*** LIGNE TROP LONGUE ***");
const QByteArray ChallengeAwaitedLine = QByteArrayLiteral("*** EN ATTENTE DU CHALLENGE ***");

} // namespace

TForm2::TForm2(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TForm2>()),
      m_login([this] { return field(ui->action_as); }, [this] { return field(ui->username_as); },
              [this] { return field(ui->secret_as); }, [this] { return field(ui->events_as); })
{
    ui->setupUi(this);
    code_soc = ui->code_soc;
    poste_as = ui->poste_as;
    m_output = std::make_unique<ConsoleOutput>(ui->DisplayMemo, ManagerJournal);

    TnCnx = new TTnCnx(this);
    m_hostLookup = new HostLookup(this);
    TnCnx->SetPort(QByteArrayLiteral("23"));
    TnCnx->SetLocation(QByteArrayLiteral("TNCNX"));
    TnCnx->SetTermType(QByteArrayLiteral("VT100"));
    TnCnx->SetLocalEcho(true);
    TnCnx->SetPlainTextBanner(BannerStart);
    TnCnx->OnSessionConnected = [this](TTnCnx* sender, quint16 error) { TnCnxSessionConnected(sender, error); };
    TnCnx->OnSessionClosed = [this](TTnCnx* sender, quint16 error) { TnCnxSessionClosed(sender, error); };
    TnCnx->OnDataAvailable = [this](TTnCnx* sender, const char* buffer, int len) {
        TnCnxDataAvailable(sender, buffer, len);
    };
    TnCnx->OnDisplay = [this](TTnCnx* sender, const QByteArray& text) { TnCnxDisplay(sender, text); };

    // Connected before the settings are restored: a stored keep-alive factor
    // sets the period as it is restored.
    Timer1 = new QTimer(this);
    Timer1->setInterval(TickMsPerUnit);
    connect(Timer1, &QTimer::timeout, this, &TForm2::Timer1Timer);
    connect(ui->Spin_Edit1, &QSpinBox::valueChanged, this, &TForm2::Spin_Edit1Change);

    // The radio buttons only fill code_soc, which is what gets kept; they are
    // left out of the settings file on purpose.
    SvgEditIni1 = new TSvgEditIni(this);
    SvgEditIni1->SauveRadioButton = false;
    SvgEditIni1->SauveComboBox = true;
    SvgEditIni1->Loaded();

    const auto extension = [this] { return Cp1252::fromUnicode(poste_as->text()); };
    const auto challenge = [this](const QByteArray& value) {
        ManagerChallenge = value;
        if (m_challengePause)
            m_challengePause->quit();
        else if (std::exchange(m_md5LoginAwaitsChallenge, false))
            sendLogin(m_login.md5Text(value));
    };
    m_classic = std::make_unique<ManagerEventInterpreter>(m_cards, extension, challenge);
    m_modern = std::make_unique<ModernEventInterpreter>(m_cards, extension, challenge);
    // A new extension's events are asked for on a filtered session too.
    connect(poste_as, &QLineEdit::editingFinished, this, [this] {
        if (isModernMode() && isLoggedIn())
            sendToManager(m_eventFilter.actionsText(field(poste_as)));
    });
    // What the other mode left half read means nothing to this one.
    connect(ui->mode_as, &QComboBox::currentIndexChanged, this, [this] {
        m_modern->reset();
        showManagerTextsAsTheModeReadsThem();
    });
    showManagerTextsAsTheModeReadsThem();

    connect(ui->ConnectButton, &QPushButton::clicked, this, &TForm2::ConnectButtonClick);
    connect(ui->DisconnectButton, &QPushButton::clicked, this, &TForm2::DisconnectButtonClick);
    connect(ui->SendButton, &QPushButton::clicked, this, &TForm2::SendButtonClick);
    connect(this, &TForm2::HangupRequested, this, &TForm2::sendHangup);
    connect(ui->RadioButton1, &QRadioButton::clicked, this, &TForm2::RadioButton1Click);
    connect(ui->RadioButton2, &QRadioButton::clicked, this, &TForm2::RadioButton2Click);
    connect(ui->RadioButton3, &QRadioButton::clicked, this, &TForm2::RadioButton3Click);
    connect(ui->Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    // The secret shows only while its button is held.
    connect(ui->RevealSecret, &QToolButton::pressed, this, [this] { ui->secret_as->setEchoMode(QLineEdit::Normal); });
    connect(ui->RevealSecret, &QToolButton::released, this,
            [this] { ui->secret_as->setEchoMode(QLineEdit::Password); });
    Timer1->start();
}

TForm2::~TForm2()
{
    // The session goes first and silently: the main window, whose cards its
    // close report would touch, may already be gone.
    TnCnx->OnSessionConnected = nullptr;
    TnCnx->OnSessionClosed = nullptr;
    TnCnx->OnDataAvailable = nullptr;
    TnCnx->OnDisplay = nullptr;
    delete TnCnx;
    m_output.reset();
}

void TForm2::ConnectButtonClick()
{
    if (ui->HostEdit_as->text().isEmpty())
        return;
    // A new session starts from nothing: no half message, no banner yet.
    m_assembler.takePending();
    m_modern->reset();
    m_banner.clear();
    m_bannerRead = false;
    m_managerVersion = 0;
    m_watch.reset();
    m_liveChannels.reset();
    m_eventFilter.reset();
    m_loggedIn = false;
    m_md5LoginAwaitsChallenge = false;
    const QByteArray host = field(ui->HostEdit_as);
    if (IsDottedIP(host)) {
        connectTo(host);
        return;
    }
    // A name is looked up first, off the interface thread: with a name server
    // that does not answer, the window would stop at every attempt.
    m_hostLookup->lookUp(host, HostLookupTimeoutMs, [this](const QByteArray& address) {
        if (address.isEmpty())
            addMemoLine(QStringLiteral("Erreur #") + QString::number(WSAHOST_NOT_FOUND));
        else
            connectTo(address);
    });
}

void TForm2::connectTo(const QByteArray& address)
{
    TnCnx->SetHost(address);
    TnCnx->SetPort(field(ui->PortEdit_as));
    TnCnx->SetTermType(QByteArrayLiteral("VT100"));
    TnCnx->SetLocalEcho(false);
    TnCnx->Connect();
}

void TForm2::DisconnectButtonClick()
{
    if (TnCnx->SessionOpen())
        TnCnx->Close();
}

void TForm2::SendButtonClick()
{
    if (ui->HostEdit_as->text().isEmpty())
        return;
    ManagerChallenge.clear();
    m_md5LoginAwaitsChallenge = false;
    QByteArray login = m_login.plainText();
    if (!TnCnx->SessionOpen()) {
        addMemoLine(Cp1252::toUnicode(NotConnectedLine));
        return;
    }
    if (ui->md5_s->isChecked()) {
        sendToManager(ManagerAction("Challenge").header("AuthType", "MD5").text());
        awaitChallenge();
        // Data handled during the pause may have ended the session; the next
        // connect logs in again.
        if (!TnCnx->SessionOpen()) {
            addMemoLine(Cp1252::toUnicode(NotConnectedLine));
            return;
        }
        // The secret never goes in clear when MD5 is asked for: without a
        // challenge yet, the login follows the challenge when it comes.
        if (ManagerChallenge.isEmpty()) {
            m_md5LoginAwaitsChallenge = true;
            addMemoLine(Cp1252::toUnicode(ChallengeAwaitedLine));
            return;
        }
        login = m_login.md5Text(ManagerChallenge);
    }
    sendLogin(login);
}

void TForm2::sendLogin(const QByteArray& login)
{
    sendToManager(login);
    m_watch.loginSent();
    // The memo shows the plain form whichever form went out, never the key.
    addMemoLine(QStringLiteral("Action: ") + ui->action_as->text());
    addMemoLine(QStringLiteral("UserName: ") + ui->username_as->text());
    // Never the secret itself: it opens the whole exchange to whoever reads it.
    addMemoLine(QStringLiteral("Secret: ") +
                (ui->secret_as->text().isEmpty() ? QString() : QStringLiteral("********")));
    addMemoLine(QStringLiteral("Events: ") + ui->events_as->text());
    addMemoLine(QString());
}

void TForm2::Timer1Timer()
{
    if (TnCnx->SessionOpen()) {
        if (!m_watch.keepAliveTick()) {
            // Closed as if the manager had closed it: the card shows, and the
            // next tick tries again.
            addMemoLine(Cp1252::toUnicode(NoAnswerLine));
            TnCnx->Close();
            return;
        }
        sendToManager(ManagerAction(field(ui->caction_m)).header("Parameters", field(ui->cpara_m)).text());
        return;
    }
    DisconnectButtonClick();
    ConnectButtonClick();
    SendButtonClick();
}

void TForm2::Spin_Edit1Change()
{
    Timer1->setInterval(std::max(1, ui->Spin_Edit1->value()) * TickMsPerUnit);
}

void TForm2::TnCnxSessionConnected(QObject*, quint16 Error)
{
    if (Error != 0) {
        addMemoLine(QStringLiteral("Erreur #") + QString::number(Error));
        return;
    }
    m_output->clearMemo();
    ui->DisplayMemo->setEnabled(true);
    ui->ConnectButton->setEnabled(false);
    ui->DisconnectButton->setEnabled(true);
    ui->DisplayMemo->setFocus();
    // The kernel gives up on a peer that acknowledges nothing within two
    // keep-alive periods, even while nothing is being sent.
    if (TWSocket* socket = TnCnx->Socket())
        socket->SetUserTimeout(2 * Timer1->interval());
    // The disconnection card goes only once the manager accepts the login.
    SendButtonClick();
}

void TForm2::loginAccepted()
{
    m_loggedIn = true;
    m_cards.RemoveCallCard(TFrame4::DisconnectionKey);
    // The rest handed over by a closed session may hold the answer: its close
    // report shows the card and the "Connexion" button again.
    if (!TnCnx->SessionOpen())
        return;
    emit SessionShown(true);
    emit SessionStateChanged(ManagerSessionState::LoggedIn, ui->HostEdit_as->text());
    QByteArrayList cardKeys = CallCards ? CallCards->callCardKeys() : QByteArrayList();
    cardKeys.removeAll(TFrame4::DisconnectionKey);
    m_liveChannels.requested(cardKeys);
    sendToManager(LiveChannelList::actionText());
    if (isModernMode())
        sendToManager(m_eventFilter.actionsText(field(poste_as)));
}

void TForm2::removeEndedCalls(const QByteArrayList& keys)
{
    for (const QByteArray& key : keys)
        m_cards.RemoveCallCard(key);
}

void TForm2::loginRefused()
{
    m_loggedIn = false;
    addMemoLine(Cp1252::toUnicode(RefusedLine));
    // The manager refused the login.
    showSessionCard(Cp1252::fromUnicode(tr("/ Attention Accès refusé")));
    emit SessionStateChanged(ManagerSessionState::Refused, ui->HostEdit_as->text());
}

void TForm2::showSessionCard(const QByteArray& sda)
{
    if (!CallCards)
        return;
    // The same text again changes nothing: a login refused at every retry must
    // not make the card flicker.
    if (m_cards.HasCallCard(TFrame4::DisconnectionKey)) {
        if (m_sessionCardSda == sda)
            return;
        m_cards.RemoveCallCard(TFrame4::DisconnectionKey);
    }
    m_sessionCardSda = sda;
    m_cards.AddRingingCard(QByteArray(), sda, TFrame4::DisconnectionKey, QByteArrayLiteral("00"));
}

void TForm2::TnCnxSessionClosed(QObject*, quint16)
{
    // What the session delivered last is handed over as it is.
    if (const QByteArray rest = m_assembler.takePending(); !rest.isEmpty())
        handOver(rest);
    m_modern->reset();
    m_liveChannels.reset();
    m_loggedIn = false;
    m_md5LoginAwaitsChallenge = false;
    ui->DisplayMemo->setEnabled(false);
    ui->ConnectButton->setEnabled(true);
    ui->DisconnectButton->setEnabled(false);
    ui->ConnectButton->setFocus();
    // A refusal stays shown: it says more than the disconnection that follows it.
    if (!CallCards || !CallCards->HasCallCard(TFrame4::DisconnectionKey))
        showSessionCard(Cp1252::fromUnicode(tr("/ Attention Déconnecté")));
    // The hand-over of the rest runs the pending events: a new session that
    // came up then owns the strip.
    if (!TnCnx->SessionOpen()) {
        emit SessionShown(false);
        emit SessionStateChanged(ManagerSessionState::Disconnected, ui->HostEdit_as->text());
    }
}

void TForm2::sendHangup(const QByteArray& channel)
{
    if (!TnCnx->SessionOpen())
        return;
    try {
        TnCnx->SendText(ManagerAction("Hangup").header("Channel", managerChannel(channel)).text());
    } catch (const ESocketException&) {
        // A hang-up that cannot leave changes nothing: the card stays until the
        // manager reports the end of the call.
    }
}

bool TForm2::isLoggedIn() const
{
    return m_loggedIn && TnCnx->SessionOpen();
}

bool TForm2::sendAction(const QByteArray& action)
{
    if (!isLoggedIn())
        return false;
    try {
        TnCnx->SendText(action);
    } catch (const ESocketException&) {
        return false;
    }
    return true;
}

void TForm2::sendToManager(const QByteArray& action)
{
    try {
        TnCnx->SendText(action);
    } catch (const ESocketException& error) {
        m_output->showText(error.Message());
    }
}

void TForm2::awaitChallenge()
{
    if (!ManagerChallenge.isEmpty())
        return;
    // A nested pause (a new session that logs in while this one waits) stacks
    // on this one and hands the slot back when it ends.
    QEventLoop pause;
    QEventLoop* outer = std::exchange(m_challengePause, &pause);
    QTimer::singleShot(ChallengePauseMs, &pause, &QEventLoop::quit);
    pause.exec(QEventLoop::ExcludeUserInputEvents);
    m_challengePause = outer;
}

void TForm2::addMemoLine(const QString& line)
{
    m_output->showLine(line);
}

void TForm2::RadioButton1Click()
{
    code_soc->setText(QStringLiteral("internal"));
}

void TForm2::RadioButton2Click()
{
    code_soc->setText(QStringLiteral("from-internal"));
}

void TForm2::RadioButton3Click()
{
    code_soc->setText(QStringLiteral("default"));
}

void TForm2::Button1Click()
{
    close();
}

void TForm2::MemoAddLines(QPlainTextEdit*, const QByteArray& Text)
{
    currentInterpretation().interpret(Text);
}

EventInterpretation& TForm2::currentInterpretation() const
{
    if (isModernMode())
        return *m_modern;
    return *m_classic;
}

bool TForm2::isModernMode() const
{
    return ui->mode_as->currentText() == ModernModeText;
}

void TForm2::showManagerTextsAsTheModeReadsThem() const
{
    DisplayText::setDecoding(isModernMode() ? DisplayText::Decoding::Utf8WhenValid : DisplayText::Decoding::Cp1252);
}

QByteArray TForm2::managerChannel(const QByteArray& cardChannel) const
{
    return isModernMode() ? cardChannel : "SIP/" + cardChannel;
}

QByteArray TForm2::redirectedChannel(const QByteArray& cardChannel) const
{
    const QByteArray peer = isModernMode() ? m_modern->bridgedPeer(cardChannel) : QByteArray();
    return peer.isEmpty() ? managerChannel(cardChannel) : peer;
}

QByteArray TForm2::phoneChannel() const
{
    const QByteArray technology = isModernMode() ? field(ui->techno_as) : QByteArrayLiteral("SIP");
    return technology + '/' + field(poste_as);
}

void TForm2::callPlaced(const QByteArray& number)
{
    m_modern->expectPlacedCall(number);
}

bool TForm2::blindTransferAvailable() const
{
    return isModernMode() && m_managerVersion >= 2;
}

void TForm2::TnCnxDataAvailable(QObject*, const char* Buffer, qsizetype Len)
{
    // Copied at once: the hand-over runs the pending events, and the session
    // may deliver the next block in this same buffer then.
    const QByteArray text = ManagerMessages::withoutNul(QByteArrayView(Buffer, Len));
    noteBanner(text);
    m_watch.received();
    const bool alreadyTooLong = m_assembler.lineTooLong();
    if (const QByteArray ready = m_assembler.append(text); !ready.isEmpty())
        handOver(ready);
    if (!alreadyTooLong && m_assembler.lineTooLong())
        closeOnLineTooLong();
}

void TForm2::closeOnLineTooLong()
{
    // The line itself is neither shown nor read: only that it came. The next
    // tick connects again, as after any loss of the session.
    addMemoLine(Cp1252::toUnicode(LineTooLongLine));
    if (TnCnx->SessionOpen())
        TnCnx->Close();
}

void TForm2::handOver(const QByteArray& text)
{
    m_output->clearMemo();
    switch (m_watch.readLoginAnswer(text)) {
    case ManagerSessionWatch::LoginAnswer::Accepted:
        loginAccepted();
        break;
    case ManagerSessionWatch::LoginAnswer::Refused:
        loginRefused();
        break;
    case ManagerSessionWatch::LoginAnswer::None:
        break;
    }
    if (const QByteArray callEvents = m_eventFilter.read(text); !callEvents.isEmpty())
        sendToManager(callEvents);
    const QByteArrayList endedCalls = m_liveChannels.read(text) ? m_liveChannels.endedKeys() : QByteArrayList();
    MemoAddLines(ui->DisplayMemo, text);
    removeEndedCalls(endedCalls);
    if (ui->journal_enre->isChecked()) {
        m_output->showText(text);
        m_output->journal(text);
    }
    // A card drawn or removed comes with one run of the pending events, once
    // the text is handled whole: later text, and a box waiting to be shown,
    // come in here and never in the middle of a hand-over.
    if (m_cards.takeChanged())
        QCoreApplication::processEvents();
}

void TForm2::noteBanner(const QByteArray& text)
{
    if (m_bannerRead)
        return;
    m_banner += text.left(LongestBanner);
    const qsizetype end = m_banner.indexOf('\n');
    if (end < 0 && m_banner.size() < LongestBanner)
        return;
    m_bannerRead = true;
    // "Asterisk Call Manager/2.10.4": the major number is what tells a manager
    // of Asterisk 12 or later.
    if (m_banner.startsWith(BannerStart)) {
        const QByteArray version = m_banner.mid(BannerStart.size());
        qsizetype digits = 0;
        while (digits < version.size() && version.at(digits) >= '0' && version.at(digits) <= '9')
            ++digits;
        m_managerVersion = version.left(digits).toInt();
    }
    m_banner.clear();
}

void TForm2::TnCnxDisplay(QObject*, const QByteArray& Str)
{
    if (!ui->journal_enre->isChecked())
        return;
    m_output->journal(QByteArrayLiteral("CGI \r\n") + Str);
    m_output->showText(Str);
}

void TForm2::AttachedCallCards::AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                               const QByteArray& channel)
{
    change(key, [&](CallCardOperations& cards) { cards.AddRingingCard(number, sda, key, channel); });
}

void TForm2::AttachedCallCards::ShowConnectedCall(const QByteArray& number, const QByteArray& sda,
                                                  const QByteArray& key, const QByteArray& channel)
{
    change(key, [&](CallCardOperations& cards) { cards.ShowConnectedCall(number, sda, key, channel); });
}

void TForm2::AttachedCallCards::OpenCallerAgenda(const QByteArray& key)
{
    if (m_console.CallCards)
        m_console.CallCards->OpenCallerAgenda(key);
}

void TForm2::AttachedCallCards::RemoveCallCard(const QByteArray& key)
{
    change(key, [&](CallCardOperations& cards) { cards.RemoveCallCard(key); });
}

void TForm2::AttachedCallCards::change(const QByteArray& key, const std::function<void(CallCardOperations&)>& operation)
{
    CallCardOperations* cards = m_console.CallCards;
    if (!cards)
        return;
    const bool had = cards->HasCallCard(key);
    operation(*cards);
    m_changed = m_changed || had != cards->HasCallCard(key);
}

bool TForm2::AttachedCallCards::takeChanged()
{
    return std::exchange(m_changed, false);
}

void TForm2::AttachedCallCards::UpdateCallCard(const QByteArray& key, const QByteArray& number, const QByteArray& sda,
                                               const QByteArray& channel)
{
    if (m_console.CallCards)
        m_console.CallCards->UpdateCallCard(key, number, sda, channel);
}

bool TForm2::AttachedCallCards::HasCallCard(const QByteArray& key) const
{
    return m_console.CallCards && m_console.CallCards->HasCallCard(key);
}

QByteArray TForm2::AttachedCallCards::callCardKeyForChannel(const QByteArray& channel) const
{
    return m_console.CallCards ? m_console.CallCards->callCardKeyForChannel(channel) : QByteArray();
}

QByteArrayList TForm2::AttachedCallCards::callCardKeys() const
{
    return m_console.CallCards ? m_console.CallCards->callCardKeys() : QByteArrayList();
}
