#pragma once

#include "gui/applicationwindows.h"
#include "captureddesktopfixture.h"
#include "httpserverprocess.h"
#include "simulatorprocess.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QMap>
#include <QStringList>
#include <gtest/gtest.h>

#include <memory>

class TForm1;
class TForm2;
class TForm3;
class TForm5;
class TFrame4;

// Simulator arguments for one scripted incoming call in the given header style
// ("old" or "new"): it comes 0.2 s (or the seconds given) after the first login,
// however long the program took to log in, rings and talks for the given
// seconds, and the next call comes only a minute later.
QStringList OneScriptedCall(const char* style, const char* ringSeconds, const char* talkSeconds,
                            const char* firstCallSeconds = "0.2");

// The blocks of manager text, each with its closing empty line.
QByteArrayList ManagerBlocks(const QByteArray& text);

// What one call's card went through, as the main window reported it: every
// change is seen, however briefly the card stayed in a state.
struct CardLife
{
    bool ringing = false;  // it was shown ringing
    bool answered = false; // it was shown answered
    bool gone = false;     // it was removed
    bool back = false;     // it was added again after it had gone
    QByteArray number;     // what the card showed when it was added
    QByteArray sda;
    QByteArray channel;
    int windowHeight = 0; // the main window's height once the card was in
};

// The program's four real windows over a data folder of the test's own, talking
// to the real simulator process on a loopback port. Messages and browser pages
// are captured; everything the manager session receives is kept in received.
// The timers of the windows are stopped: each case runs the start-up sequence
// and the console's ticks itself, so that no step depends on the clock.
class CorvalineOnLoopback : public CapturedDesktopFixture
{
protected:
    // The manager account the simulator knows.
    static constexpr char User[] = "demo";
    static constexpr char Secret[] = "demo";
    static constexpr char Extension[] = "100";

    void TearDown() override;

    // Starts the simulator (account demo/demo, extension 100) with these further
    // arguments.
    void startSimulator(const QStringList& arguments = {});
    // Writes "serie.ini": the console's section with the manager at 127.0.0.1
    // on the simulator's port (or the port given), the account, extension 100,
    // the journal on, classic mode and md5_s as given; consoleLines
    // ("key=value") replace or add lines. The agenda opens nothing by itself.
    void writeSettings(bool md5, const QByteArrayList& consoleLines = {}, quint16 port = 0);
    // Creates the windows, which read "serie.ini", taps the session and
    // records the life of every call card in cardLives.
    void createWindows();
    // Runs the main window's start-up sequence and waits until the session is
    // logged in.
    bool startUpAndLogIn();
    // Waits for the count-th accepted login and the list of live channels
    // that the console asks for after it.
    bool waitForLoggedIn(qsizetype count = 1);

    // Bounded waits on the event loop; the bounds hold on a loaded machine.
    bool waitForReceived(const QByteArray& text, qsizetype count = 1, int timeoutMs = 60000);
    bool waitForCards(int count, int timeoutMs = 60000);
    // The number of call cards, the disconnection card aside, that were removed.
    int goneCards() const;

    // The console's memo and journal, once what waits for the next turn of
    // the event loop is written.
    QString memo() const;
    int memoLines() const;
    QByteArray journal() const;

    QList<TFrame4*> cards() const;
    TFrame4* onlyCard() const;

    // Starts an agenda server that holds the two name lists and returns its
    // address: set in adresse_ob, the program downloads them at start-up.
    QByteArray startAgenda(const QByteArray& telephoneList, const QByteArray& sdaList);

    std::unique_ptr<SimulatorProcess> simulator;
    std::unique_ptr<HttpServerProcess> agenda;
    std::unique_ptr<ApplicationWindows> windows;
    TForm1* form1 = nullptr;
    TForm2* form2 = nullptr;
    TForm3* form3 = nullptr;
    TForm5* form5 = nullptr;
    QByteArray received;
    // By card key, the disconnection card aside.
    QMap<QByteArray, CardLife> cardLives;
};
