#pragma once

#include <QByteArray>

// What the main window knows of a call when its card appears: the texts the
// manager gave and the names the name lists gave them (CP1252 bytes).
struct CallCardInfo
{
    QByteArray key;
    QByteArray number;
    QByteArray sda;
    QByteArray callerName; // empty when the number is not in the name list
    QByteArray lineLabel;  // the SDA's label, or the SDA itself when it has none
    bool answered = false; // the card appeared answered (a call the phone placed)
    bool placed = false;   // a call the phone places, answered or not
};
