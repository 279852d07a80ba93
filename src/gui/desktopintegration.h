#pragma once

#include "gui/incomingcallnotifier.h"
#include "supervision/callcardlist.h"
#include "supervision/callhistory.h"
#include "supervision/calltracker.h"
#include "supervision/managersessionstatus.h"

#include <QObject>

#include <memory>

class CallHistoryWindow;
class SessionTrayIcon;
class TForm1;
class TForm2;
class TForm3;
class TForm5;

// What the program shows of the calls outside its own windows, and what it
// keeps of them: a desktop notification for each ringing call, the tray icon
// of the session's state (when the desktop has a tray), and the history of
// the calls with its window. All of it follows the main window's card list.
class DesktopIntegration : public QObject
{
    Q_OBJECT

public:
    DesktopIntegration(TForm1* main, TForm2* console, TForm3* agenda, TForm5* dial);
    ~DesktopIntegration() override;

    CallHistoryWindow* historyWindow() const { return m_historyWindow.get(); }
    const CallHistory& history() const { return m_history; }
    const ManagerSessionStatus& sessionStatus() const { return m_sessionStatus; }

private:
    // The session's card is no call: the tracker and the notifier never
    // hear of it, so its answer and removal mean nothing to them.
    void callAdded(const CallCard& card);
    void callAnswered(const QByteArray& key);
    void callRemoved(const QByteArray& key);
    void sessionStateChanged(ManagerSessionState state, const QString& pbxHost, bool encrypted);
    void showHistory();

    TForm1* m_main;
    CallHistory m_history;
    CallTracker m_tracker;
    IncomingCallNotifier m_notifier;
    ManagerSessionStatus m_sessionStatus;
    std::unique_ptr<CallHistoryWindow> m_historyWindow;
    std::unique_ptr<SessionTrayIcon> m_tray;
};
