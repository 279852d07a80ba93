#pragma once

#include "supervision/attachedcallcards.h"
#include "supervision/callcardoperations.h"
#include "supervision/livechannellist.h"
#include "supervision/managerbanner.h"
#include "supervision/managercertificatetrust.h"
#include "supervision/managereventfilter.h"
#include "supervision/managerlogin.h"
#include "supervision/managersessionsettings.h"
#include "supervision/managersessionstate.h"
#include "supervision/managersessionwatch.h"
#include "supervision/managertextreader.h"
#include "supervision/sessioncard.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class EventInterpretation;
class HostLookup;
class ClassicEventInterpreter;
class ModernEventInterpreter;
class QEventLoop;
class QTimer;
class TTnCnx;

// The program's one manager session, without a window: it connects to the
// manager and logs in (plain, or by MD5 challenge), watches the answer to the
// login and whether the manager still answers at all, sends the keep-alive at
// every tick of its timer while connected and tries again at every tick while
// not. Received text is gathered into whole messages, interpreted by the mode's
// interpretation into card operations, and reported for the memo and the
// journal. After every accepted login it asks for the live channels and
// removes the cards of calls that ended while it was down.
//
// Its settings come from the source it is given, read at the moment of use.
// Everything it has to show goes out by its signals, in the order it happens.
class ManagerSession : public QObject
{
    Q_OBJECT

public:
    // What an action needs before it goes out.
    enum class Needs
    {
        // The session's own actions (login, keep-alive, live channels): sent as
        // they come, a failure is noted in the memo, as the close report follows.
        Nothing,
        // A card's hang-up: an open session is enough.
        OpenSession,
        // The dial window's calls and transfers: the logged-in session already
        // proves who asks, so no login (and no secret) goes with them.
        Login,
    };

    // The key of the card that tells the session's state (disconnected, refused).
    static inline const QByteArray& DisconnectionKey = SessionCard::Key;
    // How long the MD5 login waits for the manager's challenge before it lets
    // the caller go on; the login then goes out when the challenge comes,
    // never in the plain form.
    static constexpr int ChallengePauseMs = 50;
    // How long the manager's host name may take to resolve.
    static constexpr int HostLookupTimeoutMs = 5000;
    // The keep-alive period is a number of these (6 s per unit).
    static constexpr int TickMsPerUnit = 6000;

    explicit ManagerSession(QObject* parent = nullptr);
    ~ManagerSession() override;

    void setSettingsSource(ManagerSessionSettingsSource source) { m_settings = std::move(source); }
    ManagerSessionSettings settings() const { return m_settings(); }

    // The telnet session; host, port, terminal type and local echo are set
    // again at every connect.
    TTnCnx* telnet() const { return m_telnet; }
    // Keep-alive or reconnection at every tick; not started by the session.
    QTimer* keepAliveTimer() const { return m_keepAlive; }
    void setKeepAliveFactor(int units);

    // The certificates trusted beyond those that verify, for the TLS link.
    void setCertificateTrust(ManagerCertificateTrust trust) { m_certificateTrust = std::move(trust); }
    // The user's answer to certificateQuestion: a "yes" keeps the fingerprint
    // and connects again, a "no" leaves the session closed.
    void certificateAnswered(const QString& host, const QByteArray& fingerprint, bool trust);
    // The session is open over TLS.
    bool isEncrypted() const;

    // The card list the interpretation drives; none until one is attached.
    CallCardOperations* callCards = nullptr;

    // Starts a connection attempt (nothing without a host); the outcome
    // arrives through sessionConnected.
    void connectToManager();
    void disconnectFromManager();
    // Sends the login; while not connected only notes "*** NOT CONNECTED ***".
    void logIn();
    void keepAliveTick();

    // The telnet session's reports.
    void sessionConnected(quint16 error);
    void sessionClosed();
    // A received block: shown, interpreted and journaled once its messages are
    // whole. A line longer than ManagerMessages::MaxLineLength closes the session.
    void dataAvailable(const char* buffer, qsizetype length);
    // A status text of the telnet session, shown and journaled with the
    // journal on.
    void display(const QByteArray& text);
    // Interprets one received text into card operations, in the current mode.
    void interpret(const QByteArray& text);
    // The mode changed: what the modern one left half read means nothing now.
    void interpretationChanged();
    // The extension changed: a filtered session asks for the new phone's events.
    void extensionChanged();
    // The dial window has asked the PBX to ring the phone for a call to number.
    void callPlaced(const QByteArray& number);

    // The one way out for every action; false when the condition does not
    // hold or the send failed.
    bool send(const QByteArray& action, Needs needs);
    // "Action: Hangup" for the channel a card shows; a failure changes nothing:
    // the card stays until the manager reports the end of the call.
    void hangUp(const QByteArray& cardChannel);

    // The last "Challenge: " value received, for the MD5 login.
    const QByteArray& challenge() const { return m_challenge; }
    // The session is open and the manager accepted its login.
    bool isLoggedIn() const;
    bool isModernMode() const { return settings().modern; }
    // The channel to name in an action on a card's call: in modern mode the
    // card keeps the whole name, in classic mode the name after "SIP/".
    QByteArray managerChannel(const QByteArray& cardChannel) const;
    // The channel a Redirect moves to hand a card's caller on: in modern mode
    // the other party's leg the phone is bridged with, so that the phone is
    // freed; the card's own channel where that leg is not known.
    QByteArray redirectedChannel(const QByteArray& cardChannel) const;
    // The user's own phone, for placing a call.
    QByteArray phoneChannel() const;
    // A transfer hands the caller on with BlindTransfer: modern mode, on a
    // manager whose banner announces version 2 or later (Asterisk 12 and up).
    bool blindTransferAvailable() const;

signals:
    // What the memo shows and the journal keeps, in this order.
    void memoCleared();
    void memoLine(const QString& line);
    void memoText(const QByteArray& text);
    void journalEntry(const QByteArray& entry);

    // The telnet session opened (before the login goes), or closed.
    void opened();
    void closed();
    // The strip of the main window: shown connected once the login is
    // accepted, disconnected when the session closed.
    void sessionShown(bool connected);
    // Logged in, refused, or closed; pbxHost is the manager's host as set.
    void sessionStateChanged(ManagerSessionState state, const QString& pbxHost, bool encrypted = false);
    // The manager's certificate did not verify and nothing vouches for it:
    // whether to trust its fingerprint is for the user to say, once the
    // running hand-over is over (a queued connection), by certificateAnswered.
    void certificateQuestion(const QString& host, const QByteArray& fingerprint);

private:
    // A handshake refused the manager's certificate.
    void certificateRefused();
    void connectTo(const QByteArray& address);
    void sendLogin(const QByteArray& login);
    // Handles received data for at most ChallengePauseMs, returning as soon as
    // a challenge has been recorded. User input waits meanwhile.
    void awaitChallenge();
    void challengeReceived(const QByteArray& value);
    // The one hand-over of whole received messages: the banner, the login's
    // answer, the filters' answers, the live channels, the interpretation, the
    // memo and the journal. A card drawn or removed comes with one run of the
    // pending events, once the text is handled whole: later text, and a box
    // waiting to be shown, come in then and never in the middle of it.
    void handOver(const ManagerText& text);
    // The manager accepted the login: the session's card goes, the live
    // channels are asked for and, in modern mode, the phone's own events.
    void loginAccepted();
    void loginRefused();
    // Once the manager has listed its live channels: the cards it found ended
    // while the session was down go. Only the keys count: a restarted PBX
    // names its channels again from the start.
    void removeEndedCalls(const QByteArrayList& keys);
    void closeOnLineTooLong();
    void noteLine(const QByteArray& line);
    EventInterpretation& currentInterpretation() const;
    void setCallbacks(bool on);

    ManagerCertificateTrust m_certificateTrust;
    ManagerSessionSettingsSource m_settings = [] { return ManagerSessionSettings(); };
    TTnCnx* m_telnet;
    QTimer* m_keepAlive;
    HostLookup* m_hostLookup;
    AttachedCallCards m_cards{callCards};
    SessionCard m_sessionCard{m_cards};
    ManagerLogin m_login;
    ManagerTextReader m_reader{[this](const ManagerText& text) { handOver(text); }};
    ManagerBanner m_banner;
    ManagerSessionWatch m_watch;
    LiveChannelList m_liveChannels;
    ManagerEventFilter m_eventFilter; // modern mode: the phone's own events only
    std::unique_ptr<ClassicEventInterpreter> m_classic;
    std::unique_ptr<ModernEventInterpreter> m_modern;
    QByteArray m_challenge;
    bool m_loggedIn = false;
    bool m_md5LoginAwaitsChallenge = false;
    // A certificate question waits for the user's answer: no tick reconnects.
    bool m_certificateQuestionOpen = false;
    // The pause of the MD5 login that is running, if any; a recorded challenge
    // ends it early.
    QEventLoop* m_challengePause = nullptr;
};
