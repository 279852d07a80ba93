#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QHash>
#include <QSet>

#include <functional>

class ManagerText;

// The manager's list of its live channels, asked for after every accepted
// login: a call that ended while the link was down left a card that no event
// will ever remove. The list answers the console's own Status action (its
// ActionID); it is complete at the StatusComplete that carries that ActionID.
//
// Only the cards there were when the list was asked for can have ended
// unseen; a call that rings while the list comes in is live whether or not the
// list names it. So the list keeps only those cards and their legs, which bounds it
// whatever the manager sends, and a card counts as live when any message read
// meanwhile names its call.
class LiveChannelList
{
public:
    static const QByteArray ActionId;

    // The Status action, with the list's ActionID.
    static QByteArray actionText();

    // The Uniqueids of a card's call besides its key: the other channels of the
    // phone that show it (a user's devices all rung for one call). The leg
    // that keyed the card may have gone while another device talks.
    using OtherLegs = std::function<QByteArrayList(const QByteArray& cardKey)>;

    // A list is awaited for the cards of these keys, each live while any of its
    // legs is; an earlier one is forgotten.
    void requested(const QByteArrayList& cardKeys, const OtherLegs& otherLegs = {});
    // Nothing is awaited any more (the session closed).
    void reset();

    // Reads whole messages; true when they complete the awaited list. An error
    // answer to the action ends the wait without a list.
    bool read(const ManagerText& text);
    bool read(QByteArrayView text);

    // Once the list is complete: the keys given to requested() that no message
    // named.
    QByteArrayList endedKeys() const { return m_unseen.values(); }

private:
    bool m_awaited = false;
    bool m_complete = false;
    QSet<QByteArray> m_unseen;
    QHash<QByteArray, QByteArray> m_cardOfLeg;
};
