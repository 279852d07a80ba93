#include "app/desktopintegration.h"

#include "app/mainwindow.h"
#include "app/sessiontrayicon.h"
#include "config/datafolder.h"
#include "supervision/callhistorywindow.h"
#include "supervision/managerconsole.h"

#include <QLabel>
#include <QSystemTrayIcon>

DesktopIntegration::DesktopIntegration(TForm1* main, TForm2* console, TForm3* agenda, TForm5* dial)
    : m_main(main), m_history(DataFolder::filePath(CallHistory::FileName)), m_notifier(agenda),
      m_historyWindow(std::make_unique<CallHistoryWindow>(dial))
{
    m_history.load();
    m_historyWindow->showRecords(m_history.records());

    connect(main, &TForm1::CallCardAdded, this, &DesktopIntegration::callAdded);
    connect(main, &TForm1::CallCardAnswered, this, &DesktopIntegration::callAnswered);
    connect(main, &TForm1::CallCardRemoved, this, &DesktopIntegration::callRemoved);
    connect(main, &TForm1::CallCardUpdated, this, [this](const CallCardInfo& call) { m_tracker.cardUpdated(call); });
    connect(main, &TForm1::HistoryRequested, this, &DesktopIntegration::showHistory);
    connect(console, &TForm2::SessionStateChanged, this, &DesktopIntegration::sessionStateChanged);
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_tray = std::make_unique<SessionTrayIcon>(main->trayActions());
}

DesktopIntegration::~DesktopIntegration() = default;

void DesktopIntegration::callAdded(const CallCardInfo& call)
{
    m_tracker.cardAdded(call, QDateTime::currentDateTime());
    if (!call.answered)
        m_notifier.callRinging(call);
}

void DesktopIntegration::callAnswered(const QByteArray& key)
{
    m_tracker.cardAnswered(key, QDateTime::currentDateTime());
    m_notifier.callSettled(key);
}

void DesktopIntegration::callRemoved(const QByteArray& key)
{
    m_notifier.callSettled(key);
    const std::optional<CallRecord> record = m_tracker.cardRemoved(key, QDateTime::currentDateTime());
    if (!record)
        return;
    // The call stays in memory and goes with the next write that succeeds.
    if (!m_history.add(*record))
        m_main->Label3->setText(QStringLiteral("Impossible d'enregistrer l'historique des appels dans %1 (%2)")
                                    .arg(m_history.path(), m_history.errorString()));
    m_historyWindow->showAddedRecord(m_history.records());
}

void DesktopIntegration::sessionStateChanged(ManagerSessionState state, const QString& pbxHost)
{
    m_sessionStatus.update(state, pbxHost);
    if (m_tray)
        m_tray->showStatus(m_sessionStatus);
}

void DesktopIntegration::showHistory()
{
    if (m_historyWindow->isMinimized())
        m_historyWindow->showNormal();
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}
