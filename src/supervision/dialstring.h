#pragma once

#include <QByteArray>

// The outgoing-call options of the agenda settings that shape a dialled number.
struct DialOptions
{
    bool businessCode = false; // prefix the business code carried by the link
    bool outsideLine = false;  // prefix outsidePrefix
    QByteArray outsidePrefix;
    bool hideNumber = false; // "p" (patient) links only: prefix hidePrefix
    QByteArray hidePrefix;
};

// Turns a forwarded click-to-dial link ("numero:" + number, with an optional
// "|"-separated business code; "numero:p:" + number + "|x|" + code for patient
// links) into the string to dial: code, outside-line prefix, hide prefix and
// number run together. The first seven characters are the link prefix and are
// dropped unread; "%20", blanks and full stops are removed. Empty when nothing
// is left to dial.
QByteArray dialStringFromLink(const QByteArray& link, const DialOptions& options);
