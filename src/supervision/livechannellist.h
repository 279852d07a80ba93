#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>

// The manager's list of its live channels, asked for after every accepted
// login: a call that ended while the link was down left a card that no event
// will ever remove. The list answers the console's own Status action (its
// ActionID); it is complete at the StatusComplete that carries that ActionID.
//
// Every call named by any message read while the list comes in counts as
// live too: a call that starts meanwhile may be reported before the list ends
// without being in it.
class LiveChannelList
{
public:
    static const QByteArray ActionId;

    // The Status action, with the list's ActionID.
    static QByteArray actionText();

    // A list is awaited; what an earlier one held is forgotten.
    void requested();
    // Nothing is awaited any more (the session closed).
    void reset();

    // Reads whole messages; true when they complete the awaited list. An error
    // answer to the action ends the wait without a list.
    bool read(QByteArrayView text);

    // The Uniqueids of the completed list.
    const QSet<QByteArray>& keys() const { return m_keys; }

private:
    bool m_awaited = false;
    bool m_complete = false;
    QSet<QByteArray> m_keys;
};
