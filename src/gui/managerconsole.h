#pragma once

#include "supervision/callcardoperations.h"
#include "supervision/journal.h"
#include "supervision/livechannellist.h"
#include "supervision/managereventfilter.h"
#include "supervision/managerlogin.h"
#include "supervision/managermessageassembler.h"
#include "supervision/managersessionstate.h"
#include "supervision/managersessionwatch.h"

#include <QByteArray>
#include <QWidget>

#include <functional>
#include <memory>

class ConsoleOutput;
class EventInterpretation;
class HostLookup;
class ManagerEventInterpreter;
class ModernEventInterpreter;
class QEventLoop;
class QLineEdit;
class QPlainTextEdit;
class QTimer;
class TSvgEditIni;
class TTnCnx;

namespace Ui {
class TForm2;
}

// The manager console ("Manager"): the connection and login settings of the
// Asterisk manager session, the keep-alive settings and the memo of received
// text. Other windows read its fields at the moment of use (the extension
// poste_as, the login fields, the dial-plan context code_soc). Its edits, check
// boxes and spin edit are kept in "serie.ini" under the section "Form2"; the
// radio buttons only write code_soc and are not kept. Closing it only hides it.
//
// It owns the program's one manager session, TnCnx: it connects and logs in
// (plain, or by MD5 challenge when md5_s is checked), sends the keep-alive at
// every tick of Timer1 while connected and starts a new attempt at every tick
// while not. While the session is closed the main window shows the
// disconnection card and its "Connexion" button.
//
// Received text is gathered into whole manager messages and read by one of two
// interpretations, chosen in mode_as: the modern one (Asterisk 12 to 22, SIP or
// PJSIP, the default) or the classic one (Asterisk 1.4 to 11, SIP). In modern
// mode the cards keep whole channel names, and calls are placed from the
// technology chosen in techno_as.
//
// After every accepted login the console asks the manager for its live
// channels: the cards of calls that ended while the session was down go, and
// in modern mode the live calls of the phone that have no card get one.
class TForm2 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    TSvgEditIni* SvgEditIni1;

    // The controls other windows read at the moment of use: the extension
    // (main window, dial window) and the dial-plan context (dial window).
    QLineEdit* code_soc;
    QLineEdit* poste_as;

    // The manager session. Host, port, terminal type and local echo are set
    // again at every connect.
    TTnCnx* TnCnx;
    // Keep-alive or reconnection, every Spin_Edit1 x 6000 ms (6 s per unit,
    // whatever the label "Minutes" beside the box says).
    QTimer* Timer1;

    // The card list of the main window, for the disconnection card; set by the
    // main window once both exist.
    CallCardOperations* CallCards = nullptr;

    // Starts a connection attempt to HostEdit_as:PortEdit_as (nothing without a
    // host); the outcome arrives through TnCnxSessionConnected.
    void ConnectButtonClick();
    // Closes the session when it is connected.
    void DisconnectButtonClick();
    // Sends the login; while not connected only notes "*** NOT CONNECTED ***".
    void SendButtonClick();
    void Timer1Timer();
    void Spin_Edit1Change();
    void TnCnxSessionConnected(QObject* Sender, quint16 Error);
    void TnCnxSessionClosed(QObject* Sender, quint16 Error);

    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void Button1Click();

    // Received manager text. The last "Challenge: " value seen in the stream,
    // for the MD5 login.
    QByteArray ManagerChallenge;
    // The daily journal of received text, written while journal_enre is checked.
    Journal ManagerJournal;
    // A block from the telnet session: its Len bytes without their NULs. Shown,
    // interpreted into card operations, and journaled. A line longer than
    // ManagerMessages::MaxLineLength closes the session.
    void TnCnxDataAvailable(QObject* Sender, const char* Buffer, qsizetype Len);
    // A status text of the telnet session, journaled and shown while
    // journal_enre is checked. The memo and the journal are brought up to date
    // on the next turn of the event loop.
    void TnCnxDisplay(QObject* Sender, const QByteArray& Str);
    // Interprets one received text into card operations (Memo is not used).
    void MemoAddLines(QPlainTextEdit* Memo, const QByteArray& Text);

    // How long the MD5 login waits for the manager's challenge before it lets
    // the window go on; the login then goes out when the challenge comes,
    // never in the plain form.
    static constexpr int ChallengePauseMs = 50;
    // How long the manager's host name may take to resolve.
    static constexpr int HostLookupTimeoutMs = 5000;

    // The session has been opened and the manager accepted its login.
    bool isLoggedIn() const;
    // An action of another window, sent on the logged-in session: the session
    // already proves who is asking, so no new login (and no secret) goes with
    // it. False when the session is not logged in or the send failed.
    bool sendAction(const QByteArray& action);

    bool isModernMode() const;
    // The channel to name in an action on a card's call: in modern mode the
    // card keeps the whole name, in classic mode the name after "SIP/".
    QByteArray managerChannel(const QByteArray& cardChannel) const;
    // The channel a Redirect moves to hand a card's caller on: in modern mode
    // the other party's leg the phone is bridged with, so that the phone is
    // freed; the card's own channel where that leg is not known.
    QByteArray redirectedChannel(const QByteArray& cardChannel) const;
    // The user's own phone, for placing a call.
    QByteArray phoneChannel() const;
    // The dial window has asked the PBX to ring the phone for a call to number.
    void callPlaced(const QByteArray& number);
    // A transfer hands the caller on with BlindTransfer: modern mode, on a
    // manager whose banner announces version 2 or later (Asterisk 12 and up).
    bool blindTransferAvailable() const;

signals:
    // A card's "Raccrocher" item asks for the hang-up of the card's channel.
    // The manager session sends the Hangup action when it
    // is open; nothing else listens.
    void HangupRequested(const QByteArray& channel);

    // The session state the main window mirrors in its top strip: while the
    // session is closed the strip is 25 px high and shows "Connexion", while it
    // is connected it is 14 px high without the button.
    void SessionShown(bool connected);

    // The session is logged in, its login was refused, or it closed; pbxHost
    // is the manager's host as HostEdit_as names it.
    void SessionStateChanged(ManagerSessionState state, const QString& pbxHost);

private:
    std::unique_ptr<Ui::TForm2> ui;

    // The card's "Raccrocher": "Action: Hangup" for the card's channel, sent only
    // while the session is open; a failed send is not reported.
    void sendHangup(const QByteArray& channel);
    // Sends one action of the console itself. A send that fails means the
    // session is going; its close report follows, so the error is only noted
    // in the memo.
    void sendToManager(const QByteArray& action);
    // Sends the login and notes it in the memo, in the plain form whichever
    // form went out and without the secret.
    void sendLogin(const QByteArray& login);
    // Handles received data for at most ChallengePauseMs, returning as soon as
    // a challenge has been recorded. User input waits meanwhile.
    void awaitChallenge();
    void addMemoLine(const QString& line);
    // The manager's answer to the console's login: accepted removes the
    // session's card, refused keeps a card that says so.
    void connectTo(const QByteArray& address);
    void loginAccepted();
    void loginRefused();
    // The card of the session's state (disconnected, refused), with its key.
    void showSessionCard(const QByteArray& sda);
    // Once the manager has listed its live channels: the cards it found ended
    // while the session was down go. Only the keys count: a restarted PBX
    // names its channels again from the start, so a channel name says nothing
    // about which call a card shows.
    void removeEndedCalls(const QByteArrayList& keys);
    // Shows, interprets and journals one hand-over of whole messages.
    void handOver(const QByteArray& text);
    void noteBanner(const QByteArray& text);
    void closeOnLineTooLong();
    EventInterpretation& currentInterpretation() const;
    // Manager texts on every window follow the mode: UTF-8 ones show as such
    // in modern mode.
    void showManagerTextsAsTheModeReadsThem() const;

    // The main window's card list once it is attached; until then no card
    // changes, but challenges are still recorded. It notes whether a card was
    // created or removed since it was last asked.
    class AttachedCallCards : public CallCardOperations
    {
    public:
        explicit AttachedCallCards(const TForm2& console) : m_console(console) {}
        void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                            const QByteArray& channel) override;
        void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                               const QByteArray& channel) override;
        void OpenCallerAgenda(const QByteArray& key) override;
        void RemoveCallCard(const QByteArray& key) override;
        void UpdateCallCard(const QByteArray& key, const QByteArray& number, const QByteArray& sda,
                            const QByteArray& channel) override;
        bool HasCallCard(const QByteArray& key) const override;
        QByteArray callCardKeyForChannel(const QByteArray& channel) const override;
        QByteArrayList callCardKeys() const override;
        bool takeChanged();

    private:
        void change(const QByteArray& key, const std::function<void(CallCardOperations&)>& operation);

        const TForm2& m_console;
        bool m_changed = false;
    };

    AttachedCallCards m_cards{*this};
    std::unique_ptr<ConsoleOutput> m_output;
    ManagerLogin m_login;
    ManagerMessageAssembler m_assembler;
    std::unique_ptr<ManagerEventInterpreter> m_classic;
    std::unique_ptr<ModernEventInterpreter> m_modern;
    // The first line of the session, until it is complete, and the manager
    // version it announced (0 when unknown).
    QByteArray m_banner;
    bool m_bannerRead = false;
    int m_managerVersion = 0;
    ManagerSessionWatch m_watch;
    LiveChannelList m_liveChannels;
    ManagerEventFilter m_eventFilter; // modern mode: the phone's own events only
    HostLookup* m_hostLookup;
    QByteArray m_sessionCardSda; // what the session's card says
    bool m_loggedIn = false;     // the manager accepted this session's login
    bool m_md5LoginAwaitsChallenge = false;

    // The pause of the MD5 login that is running, if any; a recorded challenge
    // ends it early.
    QEventLoop* m_challengePause = nullptr;
};
