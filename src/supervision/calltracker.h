#pragma once

#include "supervision/callcardinfo.h"
#include "supervision/callhistory.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>

#include <optional>

// Follows the calls that have a card, from the card's appearance to its
// removal, and gives the history's record of each call when its card goes. A
// card that appeared ringing is an incoming call, missed unless it is answered,
// unless the PBX rang the phone for a call it places (the dial window's); one
// that appeared answered is a call the phone placed. The talk time runs from the answer.
class CallTracker
{
public:
    void cardAdded(const CallCardInfo& card, const QDateTime& now);
    void cardAnswered(const QByteArray& key, const QDateTime& now);
    // The PBX named the other party anew: the record keeps the last party.
    void cardUpdated(const CallCardInfo& card);
    // The record of the call, or nothing for a key that was never added.
    std::optional<CallRecord> cardRemoved(const QByteArray& key, const QDateTime& now);

private:
    struct Call
    {
        CallRecord record;
        QDateTime answeredAt;
    };

    QHash<QByteArray, Call> m_calls;
};
