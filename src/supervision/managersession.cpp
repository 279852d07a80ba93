#include "supervision/managersession.h"

#include "config/cp1252.h"
#include "net/esocketexception.h"
#include "net/hostlookup.h"
#include "net/tncnx.h"
#include "net/winsockerror.h"
#include "net/wsocket.h"
#include "net/wsocketresolve.h"
#include "supervision/classiceventinterpreter.h"
#include "supervision/manageraction.h"
#include "supervision/managertls.h"
#include "supervision/moderneventinterpreter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

QByteArray wire(const QString& text)
{
    return Cp1252::fromUnicode(text);
}

const QByteArray NotConnectedLine = QByteArrayLiteral("*** NOT CONNECTED ***");
const QByteArray RefusedLine = QByteArrayLiteral("*** CONNEXION REFUSEE ***");
const QByteArray NoAnswerLine = QByteArrayLiteral("*** PAS DE REPONSE ***");
const QByteArray LineTooLongLine = QByteArrayLiteral("*** LIGNE TROP LONGUE ***");
const QByteArray ChallengeAwaitedLine = QByteArrayLiteral("*** EN ATTENTE DU CHALLENGE ***");
const QString CertificateChangedLine =
    QStringLiteral("*** Le certificat du PBX a changé : connexion refusée (approuvé %1, reçu %2) ***");
const QString CertificateNotTrustedLine = QStringLiteral("*** Certificat du PBX non approuvé : connexion fermée ***");
const QString CertificateNotKeptLine =
    QStringLiteral("*** Certificat approuvé pour cette session, non enregistré dans serie.ini ***");

} // namespace

ManagerSession::ManagerSession(QObject* parent)
    : QObject(parent), m_telnet(new TTnCnx(this)), m_keepAlive(new QTimer(this)), m_hostLookup(new HostLookup(this)),
      m_login([this] { return wire(settings().loginAction); }, [this] { return wire(settings().userName); },
              [this] { return wire(settings().secret); }, [this] { return wire(settings().events); })
{
    m_telnet->SetPort(QByteArrayLiteral("23"));
    m_telnet->SetLocation(QByteArrayLiteral("TNCNX"));
    m_telnet->SetTermType(QByteArrayLiteral("VT100"));
    m_telnet->SetLocalEcho(true);
    m_telnet->SetPlainTextBanner(ManagerBanner::Start);
    setCallbacks(true);
    m_keepAlive->setInterval(TickMsPerUnit);
    connect(m_keepAlive, &QTimer::timeout, this, &ManagerSession::keepAliveTick);

    const auto extension = [this] { return wire(settings().extension); };
    const auto challenge = [this](const QByteArray& value) { challengeReceived(value); };
    m_classic = std::make_unique<ClassicEventInterpreter>(m_cards, extension, challenge);
    m_modern = std::make_unique<ModernEventInterpreter>(m_cards, extension, challenge);
}

ManagerSession::~ManagerSession()
{
    // The session goes silently: the cards its close report would touch may
    // already be gone.
    setCallbacks(false);
    delete m_telnet;
}

void ManagerSession::setCallbacks(bool on)
{
    if (!on) {
        m_telnet->OnSessionConnected = nullptr;
        m_telnet->OnSessionClosed = nullptr;
        m_telnet->OnDataAvailable = nullptr;
        m_telnet->OnDisplay = nullptr;
        return;
    }
    m_telnet->OnSessionConnected = [this](TTnCnx*, quint16 error) { sessionConnected(error); };
    m_telnet->OnSessionClosed = [this](TTnCnx*, quint16) { sessionClosed(); };
    m_telnet->OnDataAvailable = [this](TTnCnx*, const char* buffer, int length) { dataAvailable(buffer, length); };
    m_telnet->OnDisplay = [this](TTnCnx*, const QByteArray& text) { display(text); };
}

void ManagerSession::setKeepAliveFactor(int units)
{
    m_keepAlive->setInterval(std::max(1, units) * TickMsPerUnit);
}

void ManagerSession::connectToManager()
{
    const QString host = settings().host;
    if (host.isEmpty())
        return;
    // A new session starts from nothing: no half message, no banner yet.
    m_reader.restart();
    m_modern->reset();
    m_banner.reset();
    m_watch.reset();
    m_liveChannels.reset();
    m_eventFilter.reset();
    m_loggedIn = false;
    m_md5LoginAwaitsChallenge = false;
    if (IsDottedIP(wire(host))) {
        connectTo(wire(host));
        return;
    }
    // A name is looked up first, off this thread: with a name server that
    // does not answer, the program would stop at every attempt.
    m_hostLookup->lookUp(wire(host), HostLookupTimeoutMs, [this](const QByteArray& address) {
        if (address.isEmpty())
            emit memoLine(QStringLiteral("Erreur #") + QString::number(WSAHOST_NOT_FOUND));
        else
            connectTo(address);
    });
}

void ManagerSession::connectTo(const QByteArray& address)
{
    m_telnet->SetHost(address);
    m_telnet->SetPort(wire(settings().port));
    m_telnet->SetTermType(QByteArrayLiteral("VT100"));
    m_telnet->SetLocalEcho(false);
    if (TWSocket* socket = m_telnet->Socket()) {
        const ManagerSessionSettings now = settings();
        ManagerTlsSettings{now.tls, wire(now.host)}.applyTo(*socket);
        socket->Trust().ClearTrustedFingerprints();
        if (now.tls)
            socket->Trust().AddTrustedFingerprint(m_certificateTrust.trusted(now.host));
    }
    m_telnet->Connect();
}

void ManagerSession::disconnectFromManager()
{
    if (m_telnet->SessionOpen())
        m_telnet->Close();
}

void ManagerSession::logIn()
{
    const ManagerSessionSettings now = settings();
    if (now.host.isEmpty())
        return;
    m_challenge.clear();
    m_md5LoginAwaitsChallenge = false;
    QByteArray login = m_login.plainText();
    if (!m_telnet->SessionOpen()) {
        noteLine(NotConnectedLine);
        return;
    }
    if (now.md5Login) {
        send(ManagerAction("Challenge").header("AuthType", "MD5").text(), Needs::Nothing);
        awaitChallenge();
        // Data handled during the pause may have ended the session; the next
        // connect logs in again.
        if (!m_telnet->SessionOpen()) {
            noteLine(NotConnectedLine);
            return;
        }
        // The secret never goes in clear when MD5 is asked for: without a
        // challenge yet, the login follows the challenge when it comes.
        if (m_challenge.isEmpty()) {
            m_md5LoginAwaitsChallenge = true;
            noteLine(ChallengeAwaitedLine);
            return;
        }
        login = m_login.md5Text(m_challenge);
    }
    sendLogin(login);
}

void ManagerSession::sendLogin(const QByteArray& login)
{
    send(login, Needs::Nothing);
    m_watch.loginSent();
    // The memo shows the plain form whichever form went out, and never the
    // secret itself: it opens the whole exchange to whoever reads it.
    const ManagerSessionSettings now = settings();
    emit memoLine(QStringLiteral("Action: ") + now.loginAction);
    emit memoLine(QStringLiteral("UserName: ") + now.userName);
    emit memoLine(QStringLiteral("Secret: ") + (now.secret.isEmpty() ? QString() : QStringLiteral("********")));
    emit memoLine(QStringLiteral("Events: ") + now.events);
    emit memoLine(QString());
}

void ManagerSession::awaitChallenge()
{
    if (!m_challenge.isEmpty())
        return;
    // A nested pause (a new session that logs in while this one waits) stacks
    // on this one and hands the slot back when it ends.
    QEventLoop pause;
    QEventLoop* outer = std::exchange(m_challengePause, &pause);
    QTimer::singleShot(ChallengePauseMs, &pause, &QEventLoop::quit);
    pause.exec(QEventLoop::ExcludeUserInputEvents);
    m_challengePause = outer;
}

void ManagerSession::challengeReceived(const QByteArray& value)
{
    m_challenge = value;
    if (m_challengePause)
        m_challengePause->quit();
    else if (std::exchange(m_md5LoginAwaitsChallenge, false))
        sendLogin(m_login.md5Text(value));
}

void ManagerSession::keepAliveTick()
{
    if (m_telnet->SessionOpen()) {
        if (!m_watch.keepAliveTick()) {
            // Closed as if the manager had closed it: the card shows, and the
            // next tick tries again.
            noteLine(NoAnswerLine);
            m_telnet->Close();
            return;
        }
        const ManagerSessionSettings now = settings();
        send(ManagerAction(wire(now.keepAliveAction)).header("Parameters", wire(now.keepAliveParameters)).text(),
             Needs::Nothing);
        return;
    }
    // While the user is asked about a certificate, the answer makes the next try.
    if (m_certificateQuestionOpen)
        return;
    disconnectFromManager();
    connectToManager();
    logIn();
}

void ManagerSession::sessionConnected(quint16 error)
{
    if (error != 0) {
        emit memoLine(QStringLiteral("Erreur #") + QString::number(error));
        if (error == TlsCertificateRefused || error == TlsCertificateChanged)
            certificateRefused();
        return;
    }
    emit memoCleared();
    emit opened();
    if (TWSocket* socket = m_telnet->Socket(); socket && socket->Tls())
        emit memoLine(managerLinkLine(*socket));
    // The kernel gives up on a peer that acknowledges nothing within two
    // keep-alive periods, even while nothing is being sent.
    if (TWSocket* socket = m_telnet->Socket())
        socket->SetUserTimeout(2 * m_keepAlive->interval());
    // The disconnection card goes only once the manager accepts the login.
    logIn();
}

void ManagerSession::certificateRefused()
{
    TWSocket* socket = m_telnet->Socket();
    if (!socket)
        return;
    const QString host = settings().host;
    const QByteArray fingerprint = socket->TlsPeerCheck().fingerprint;
    switch (m_certificateTrust.judge(host, fingerprint)) {
    case ManagerCertificateTrust::Decision::Ask:
        m_certificateQuestionOpen = true;
        emit certificateQuestion(host, fingerprint);
        break;
    case ManagerCertificateTrust::Decision::Changed:
        emit memoLine(CertificateChangedLine.arg(QString::fromLatin1(m_certificateTrust.trusted(host)),
                                                 QString::fromLatin1(TlsTrust::NormalizedFingerprint(fingerprint))));
        break;
    case ManagerCertificateTrust::Decision::AlreadyAsked:
        break;
    }
}

void ManagerSession::certificateAnswered(const QString& host, const QByteArray& fingerprint, bool trust)
{
    m_certificateQuestionOpen = false;
    if (!trust) {
        emit memoLine(CertificateNotTrustedLine);
        return;
    }
    if (!m_certificateTrust.answer(host, fingerprint, true))
        emit memoLine(CertificateNotKeptLine);
    disconnectFromManager();
    connectToManager();
}

bool ManagerSession::isEncrypted() const
{
    const TWSocket* socket = m_telnet->Socket();
    return m_telnet->SessionOpen() && socket && socket->TlsEstablished();
}

void ManagerSession::sessionClosed()
{
    // What the session delivered last is handed over as it is.
    m_reader.finish();
    m_modern->reset();
    m_liveChannels.reset();
    m_loggedIn = false;
    m_md5LoginAwaitsChallenge = false;
    emit closed();
    m_sessionCard.showDisconnected();
    // The hand-over of the rest runs the pending events: a new session that
    // came up then owns the strip.
    if (!m_telnet->SessionOpen()) {
        emit sessionShown(false);
        emit sessionStateChanged(ManagerSessionState::Disconnected, settings().host);
    }
}

void ManagerSession::loginAccepted()
{
    m_loggedIn = true;
    m_sessionCard.remove();
    // The rest handed over by a closed session may hold the answer: its close
    // report shows the card and the "Connexion" button again.
    if (!m_telnet->SessionOpen())
        return;
    emit sessionShown(true);
    emit sessionStateChanged(ManagerSessionState::LoggedIn, settings().host, isEncrypted());
    m_liveChannels.requested(m_sessionCard.callKeys(),
                             [this](const QByteArray& card) { return currentInterpretation().otherLegs(card); });
    send(LiveChannelList::actionText(), Needs::Nothing);
    if (isModernMode())
        send(m_eventFilter.actionsText(wire(settings().extension)), Needs::Nothing);
}

void ManagerSession::loginRefused()
{
    m_loggedIn = false;
    noteLine(RefusedLine);
    m_sessionCard.showRefused();
    emit sessionStateChanged(ManagerSessionState::Refused, settings().host);
}

void ManagerSession::removeEndedCalls(const QByteArrayList& keys)
{
    for (const QByteArray& key : keys)
        m_cards.RemoveCallCard(key);
}

bool ManagerSession::send(const QByteArray& action, Needs needs)
{
    if ((needs == Needs::OpenSession && !m_telnet->SessionOpen()) || (needs == Needs::Login && !isLoggedIn()))
        return false;
    try {
        m_telnet->SendText(action);
    } catch (const ESocketException& error) {
        // A failed send means the session is going; its close report follows.
        if (needs == Needs::Nothing)
            emit memoText(error.Message());
        return false;
    }
    return true;
}

void ManagerSession::hangUp(const QByteArray& cardChannel)
{
    send(ManagerAction("Hangup").header("Channel", managerChannel(cardChannel)).text(), Needs::OpenSession);
}

bool ManagerSession::isLoggedIn() const
{
    return m_loggedIn && m_telnet->SessionOpen();
}

QByteArray ManagerSession::managerChannel(const QByteArray& cardChannel) const
{
    return isModernMode() ? cardChannel : "SIP/" + cardChannel;
}

QByteArray ManagerSession::redirectedChannel(const QByteArray& cardChannel) const
{
    const QByteArray peer = isModernMode() ? m_modern->bridgedPeer(cardChannel) : QByteArray();
    return peer.isEmpty() ? managerChannel(cardChannel) : peer;
}

QByteArray ManagerSession::phoneChannel() const
{
    const ManagerSessionSettings now = settings();
    const QByteArray technology = now.modern ? wire(now.technology) : QByteArrayLiteral("SIP");
    return technology + '/' + wire(now.extension);
}

bool ManagerSession::blindTransferAvailable() const
{
    return isModernMode() && m_banner.version() >= 2;
}

void ManagerSession::dataAvailable(const char* buffer, qsizetype length)
{
    // The reader copies the block before the hand-over runs the pending
    // events, in which the session may deliver the next block in this same
    // buffer.
    m_watch.received();
    const bool alreadyTooLong = m_reader.lineTooLong();
    m_reader.read(QByteArrayView(buffer, length));
    if (!alreadyTooLong && m_reader.lineTooLong())
        closeOnLineTooLong();
}

void ManagerSession::closeOnLineTooLong()
{
    // The line itself is neither shown nor read: only that it came. The next
    // tick connects again, as after any loss of the session.
    noteLine(LineTooLongLine);
    if (m_telnet->SessionOpen())
        m_telnet->Close();
}

void ManagerSession::handOver(const ManagerText& received)
{
    const QByteArray& text = received.text();
    emit memoCleared();
    m_banner.read(text);
    switch (m_watch.readLoginAnswer(received)) {
    case ManagerSessionWatch::LoginAnswer::Accepted:
        loginAccepted();
        break;
    case ManagerSessionWatch::LoginAnswer::Refused:
        loginRefused();
        break;
    case ManagerSessionWatch::LoginAnswer::None:
        break;
    }
    if (const QByteArray callEvents = m_eventFilter.read(received); !callEvents.isEmpty())
        send(callEvents, Needs::Nothing);
    const QByteArrayList endedCalls = m_liveChannels.read(received) ? m_liveChannels.endedKeys() : QByteArrayList();
    interpret(text);
    removeEndedCalls(endedCalls);
    if (settings().journal) {
        emit memoText(text);
        emit journalEntry(text);
    }
    if (m_cards.takeChanged())
        QCoreApplication::processEvents();
}

void ManagerSession::interpret(const QByteArray& text)
{
    currentInterpretation().interpret(text);
}

void ManagerSession::interpretationChanged()
{
    m_modern->reset();
}

void ManagerSession::extensionChanged()
{
    if (isModernMode() && isLoggedIn())
        send(m_eventFilter.actionsText(wire(settings().extension)), Needs::Nothing);
}

void ManagerSession::callPlaced(const QByteArray& number)
{
    m_modern->expectPlacedCall(number);
}

EventInterpretation& ManagerSession::currentInterpretation() const
{
    if (isModernMode())
        return *m_modern;
    return *m_classic;
}

void ManagerSession::display(const QByteArray& text)
{
    if (!settings().journal)
        return;
    emit journalEntry(QByteArrayLiteral("CGI \r\n") + text);
    emit memoText(text);
}

void ManagerSession::noteLine(const QByteArray& line)
{
    emit memoLine(Cp1252::toUnicode(line));
}
