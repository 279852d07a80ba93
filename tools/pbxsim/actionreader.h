#pragma once

#include "managermessage.h"

#include <QByteArray>
#include <QList>

namespace pbxsim {

// A complete action as a client sent it: its headers and its exact bytes, from
// the first header line through the empty line that closed it.
struct ReceivedAction
{
    ManagerMessage message;
    QByteArray raw;
};

// Cuts the byte stream of one client into actions. Lines end with CR LF; a bare
// LF is accepted too, as Asterisk does. Empty lines between actions are skipped.
// A line without a colon is kept in the raw bytes but is no header.
//
// The stream comes from an untrusted peer, so nothing grows without bound: an
// overlong line is dropped up to its end, and headers and raw bytes beyond the
// limits of one action are dropped (Asterisk keeps 128 headers and lines of about 1 KiB).
class ActionReader
{
public:
    static constexpr qsizetype MaxLineLength = 4096;
    static constexpr qsizetype MaxHeaders = 128;
    static constexpr qsizetype MaxActionBytes = 64 * 1024;

    // Adds received bytes; returns the actions they completed, in order.
    QList<ReceivedAction> feed(const QByteArray& bytes);

private:
    void takeLine(const QByteArray& line, QList<ReceivedAction>& done);

    QByteArray m_partialLine;
    bool m_discardingLine = false;
    ReceivedAction m_current;
};

} // namespace pbxsim
