#include "supervision/incomingcallnotice.h"

#include "config/cp1252.h"

QString IncomingCallNotice::summary()
{
    return QStringLiteral("Appel entrant");
}

QString IncomingCallNotice::body(const CallCardInfo& call)
{
    QString caller = Cp1252::toUnicode(call.callerName.isEmpty() ? call.number : call.callerName);
    if (caller.isEmpty())
        caller = QStringLiteral("Numéro inconnu");
    if (call.lineLabel.isEmpty())
        return caller;
    return caller + QStringLiteral("\nLigne : ") + Cp1252::toUnicode(call.lineLabel);
}

QString IncomingCallNotice::agendaActionCaption()
{
    return QStringLiteral("Ouvrir l'agenda");
}
