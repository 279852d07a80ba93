#include "gui/incomingcallnotifier.h"

#include "gui/agendasettings.h"
#include "gui/browser.h"
#include "gui/callcard.h"
#include "supervision/incomingcallnotice.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {

const QString AgendaAction = QStringLiteral("default");

} // namespace

IncomingCallNotifier::IncomingCallNotifier(TForm3* agenda, QObject* parent) : QObject(parent), m_agenda(agenda)
{
    connect(&m_notifications, &DesktopNotifications::actionInvoked, this, &IncomingCallNotifier::openAgenda);
}

void IncomingCallNotifier::callRinging(const CallCardInfo& call)
{
    if (!m_agenda->notif_appel->isChecked() || m_shown.contains(call.key))
        return;
    DesktopNotifications::Notification notification{IncomingCallNotice::summary(), IncomingCallNotice::body(call), {}};
    if (!m_agenda->adresse_ob->text().isEmpty())
        notification.actions = QStringList{AgendaAction, IncomingCallNotice::agendaActionCaption()};
    m_shown.insert(call.key, Shown{call, 0});
    const QByteArray key = call.key;
    m_notifications.show(notification, [this, key](uint id) {
        // The call may have been settled before the server answered.
        const auto it = m_shown.find(key);
        if (it == m_shown.end())
            m_notifications.close(id);
        else
            it->id = id;
    });
}

void IncomingCallNotifier::callSettled(const QByteArray& key)
{
    const auto it = m_shown.constFind(key);
    if (it == m_shown.constEnd())
        return;
    if (it->id != 0)
        m_notifications.close(it->id);
    m_shown.erase(it);
}

void IncomingCallNotifier::openAgenda(uint id, const QString& actionKey)
{
    if (actionKey != AgendaAction || id == 0)
        return;
    for (const Shown& shown : std::as_const(m_shown)) {
        if (shown.id != id)
            continue;
        const QString base = m_agenda->adresse_ob->text();
        if (!base.isEmpty())
            openInBrowser(TFrame4::agendaPageAddress(base, m_agenda->sda_liaison->isChecked(), shown.call.sda,
                                                     shown.call.number));
        return;
    }
}
