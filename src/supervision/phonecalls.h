#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>

#include <algorithm>

// The calls of the user's phone that the interpretation gave a card, with the
// legs of the phone that belong to each. One user may have several devices on
// one extension: the PBX rings a channel per device for one call, all with the
// call's Linkedid, and they share the card of the first one that rang. A call
// keeps its card until its last leg has gone.
class PhoneCalls
{
public:
    struct Call
    {
        QByteArray number;
        QByteArray sda;
        QByteArray channel; // the leg the card acts on
        QByteArray peer;    // the other party's channel, once a dial named it
        QByteArray linkedid;
        bool answered = false;
        // A call the phone places, whose far party the PBX has not named yet.
        bool partyAwaited = false;
        QHash<QByteArray, QByteArray> legs; // Uniqueid -> channel
    };

    // A new card for the call whose first leg is key.
    Call& add(const QByteArray& key, const QByteArray& linkedid, const QByteArray& channel, const QByteArray& number,
              const QByteArray& sda);
    // One more device rings for the call of the card.
    void addLeg(const QByteArray& card, const QByteArray& leg, const QByteArray& channel);

    // A dial names the other party's channel for a leg of the phone, before
    // the leg has a card (the dial to a ringing phone starts first) or after.
    void namePeer(const QByteArray& leg, const QByteArray& peer);

    // The key of the card that shows the leg's call, empty when none does.
    QByteArray cardOf(const QByteArray& leg) const { return m_cardOfLeg.value(leg); }
    Call* call(const QByteArray& card);
    const Call* call(const QByteArray& card) const;
    // The card of a call still ringing with that Linkedid, empty when none.
    QByteArray ringingCard(const QByteArray& linkedid) const;

    // The leg has gone; true when it was the call's last one, and the call is
    // then forgotten. Otherwise the card acts on a remaining leg.
    bool removeLeg(const QByteArray& leg);
    void remove(const QByteArray& card);

    // Forgets the calls whose card is gone without their hang-up being seen
    // (a session down meanwhile, a card removed by hand), once they are many.
    template <typename HasCard> void prune(HasCard hasCard)
    {
        if (m_calls.size() < m_pruneAt)
            return;
        for (const QByteArray& card : m_calls.keys()) {
            if (!hasCard(card))
                remove(card);
        }
        m_pruneAt = std::max<qsizetype>(MinPruneSize, 2 * m_calls.size());
    }

private:
    static constexpr qsizetype MinPruneSize = 64;

    QHash<QByteArray, Call> m_calls;
    QHash<QByteArray, QByteArray> m_cardOfLeg;
    QHash<QByteArray, QByteArray> m_ringingByLinkedid;
    QHash<QByteArray, QByteArray> m_peerOfLeg; // named before the leg's card; bounded
    qsizetype m_pruneAt = MinPruneSize;
};
