#include "supervision/incomingcallnotice.h"

#include "config/managertext.h"

QString IncomingCallNotice::summary()
{
    return QStringLiteral("Appel entrant");
}

QString IncomingCallNotice::body(const CallCardInfo& call)
{
    QString caller = ManagerText::toDisplay(call.callerName.isEmpty() ? call.number : call.callerName);
    if (caller.isEmpty())
        caller = QStringLiteral("Numéro inconnu");
    if (call.lineLabel.isEmpty())
        return caller;
    return caller + QStringLiteral("\nLigne : ") + ManagerText::toDisplay(call.lineLabel);
}

QString IncomingCallNotice::agendaActionCaption()
{
    return QStringLiteral("Ouvrir l'agenda");
}
