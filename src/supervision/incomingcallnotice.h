#pragma once

#include "supervision/callcardinfo.h"

#include <QString>

// The texts of the desktop notification of a ringing call: the summary
// "Appel entrant", the caller (name, else number) and the line it called on.
class IncomingCallNotice
{
public:
    static QString summary();
    static QString body(const CallCardInfo& call);
    // The caption of the action that opens the caller's agenda page.
    static QString agendaActionCaption();
};
