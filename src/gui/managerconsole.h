#pragma once

#include "supervision/callcardoperations.h"
#include "supervision/journal.h"
#include "supervision/managersession.h"
#include "supervision/managersessionsettings.h"
#include "supervision/managersessionstate.h"

#include <QByteArray>
#include <QWidget>

#include <memory>

class ConsoleOutput;
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
// It holds the program's one ManagerSession, which reads its settings from the
// console's fields at the moment of use and reports what to show in the memo,
// in the journal and on the buttons. The interpretation is chosen in mode_as:
// the modern one (Asterisk 12 to 22, SIP or PJSIP, the default) or the classic
// one (Asterisk 1.4 to 11, SIP); in modern mode calls are placed from the
// technology chosen in techno_as.
class TForm2 : public QWidget
{
    Q_OBJECT

    // First: the public members below refer into it.
    std::unique_ptr<ManagerSession> m_session;

public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    TSvgEditIni* SvgEditIni1;

    // The controls other windows read at the moment of use: the extension
    // (main window, dial window) and the dial-plan context (dial window).
    QLineEdit* code_soc;
    QLineEdit* poste_as;

    // The session's telnet session and its keep-alive or reconnection timer,
    // every Spin_Edit1 x 6000 ms (6 s per unit, whatever the label "Minutes"
    // beside the box says).
    TTnCnx* const TnCnx;
    QTimer* const Timer1;

    // The card list of the main window, for the disconnection card and the
    // interpretation; set by the main window once both exist.
    CallCardOperations*& callCards;

    ManagerSession& session() const { return *m_session; }

    void ConnectButtonClick();
    void DisconnectButtonClick();
    void SendButtonClick();
    void Timer1Timer();
    void Spin_Edit1Change();
    void TnCnxSessionConnected(QObject* Sender, quint16 Error);
    void TnCnxSessionClosed(QObject* Sender, quint16 Error);

    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void Button1Click();

    // The last "Challenge: " value seen in the stream, for the MD5 login.
    const QByteArray& ManagerChallenge;
    // The daily journal of received text, written while journal_enre is checked.
    Journal journal;
    // A block from the telnet session: its Len bytes without their NULs.
    void TnCnxDataAvailable(QObject* Sender, const char* Buffer, qsizetype Len);
    // A status text of the telnet session, journaled and shown while
    // journal_enre is checked. The memo and the journal are brought up to date
    // on the next turn of the event loop.
    void TnCnxDisplay(QObject* Sender, const QByteArray& Str);
    // Interprets one received text into card operations (Memo is not used).
    void MemoAddLines(QPlainTextEdit* Memo, const QByteArray& Text);

    QByteArray managerChannel(const QByteArray& cardChannel) const { return m_session->managerChannel(cardChannel); }

signals:
    // A card's "Raccrocher" item asks for the hang-up of the card's channel;
    // the session sends it while it is open.
    void hangupRequested(const QByteArray& channel);
    // The strip of the main window: 25 px high with "Connexion" while the
    // session is closed, 14 px without the button once it is logged in.
    void sessionShown(bool connected);
    // The session is logged in, its login was refused, or it closed; pbxHost
    // is the manager's host as HostEdit_as names it; encrypted: over TLS.
    void sessionStateChanged(ManagerSessionState state, const QString& pbxHost, bool encrypted);

private:
    ManagerSessionSettings settings() const;
    void showControls(bool connected);
    // The question box about a manager's certificate nothing vouches for.
    void askAboutCertificate(const QString& host, const QByteArray& fingerprint);
    // Manager texts on every window follow the mode: UTF-8 ones show as such
    // in modern mode.
    void showManagerTextsAsTheModeReadsThem() const;

    std::unique_ptr<Ui::TForm2> ui;
    std::unique_ptr<ConsoleOutput> m_output;
};
