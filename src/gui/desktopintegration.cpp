#include "gui/desktopintegration.h"

#include "config/datafolder.h"
#include "gui/callhistorywindow.h"
#include "gui/mainwindow.h"
#include "gui/managerconsole.h"
#include "gui/sessiontrayicon.h"

#include <QLabel>
#include <QSystemTrayIcon>

DesktopIntegration::DesktopIntegration(TForm1* main, TForm2* console, TForm3* agenda, TForm5* dial)
    : m_main(main), m_history(DataFolder::filePath(CallHistory::FileName)), m_notifier(agenda),
      m_historyWindow(std::make_unique<CallHistoryWindow>(dial))
{
    m_history.load();
    m_historyWindow->showRecords(m_history.records());

    const CallCardList& cards = main->cardList();
    connect(&cards, &CallCardList::cardAdded, this, &DesktopIntegration::callAdded);
    connect(&cards, &CallCardList::cardAnswered, this, &DesktopIntegration::callAnswered);
    connect(&cards, &CallCardList::cardRemoved, this, &DesktopIntegration::callRemoved);
    connect(&cards, &CallCardList::cardUpdated, this,
            [this](const CallCard& card) { m_tracker.cardUpdated(card.info()); });
    connect(main, &TForm1::historyRequested, this, &DesktopIntegration::showHistory);
    connect(console, &TForm2::sessionStateChanged, this, &DesktopIntegration::sessionStateChanged);
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_tray = std::make_unique<SessionTrayIcon>(main->trayActions());
}

DesktopIntegration::~DesktopIntegration() = default;

void DesktopIntegration::callAdded(const CallCard& card)
{
    if (!card.isCall())
        return;
    const CallCardInfo call = card.info();
    m_tracker.cardAdded(call, QDateTime::currentDateTime());
    // The phone rung for a call the user places is no call coming in.
    if (!call.placed)
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
        m_main->Label3->setText(tr("Impossible d'enregistrer l'historique des appels dans %1 (%2)")
                                    .arg(m_history.path(), m_history.errorString()));
    m_historyWindow->showAddedRecord(m_history.records());
}

void DesktopIntegration::sessionStateChanged(ManagerSessionState state, const QString& pbxHost, bool encrypted)
{
    m_sessionStatus.update(state, pbxHost, encrypted);
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
