#include "supervision/incomingcallnotice.h"

#include "config/displaytext.h"

#include <QCoreApplication>

QString IncomingCallNotice::summary()
{
    return QCoreApplication::translate("IncomingCallNotice", "Appel entrant");
}

QString IncomingCallNotice::body(const CallCardInfo& call)
{
    QString caller = DisplayText::toDisplay(call.callerName.isEmpty() ? call.number : call.callerName);
    if (caller.isEmpty())
        caller = QCoreApplication::translate("IncomingCallNotice", "Numéro inconnu");
    if (call.lineLabel.isEmpty())
        return caller;
    return caller + QCoreApplication::translate("IncomingCallNotice", "\nLigne : ") +
           DisplayText::toDisplay(call.lineLabel);
}

QString IncomingCallNotice::agendaActionCaption()
{
    return QCoreApplication::translate("IncomingCallNotice", "Ouvrir l'agenda");
}
