#include "supervision/phonecalls.h"

PhoneCalls::Call& PhoneCalls::add(const QByteArray& key, const QByteArray& linkedid, const QByteArray& channel,
                                  const QByteArray& number, const QByteArray& sda)
{
    remove(key);
    Call& call = m_calls[key];
    call.number = number;
    call.sda = sda;
    call.channel = channel;
    call.linkedid = linkedid;
    call.peer = m_peerOfLeg.take(key);
    call.legs.insert(key, channel);
    m_cardOfLeg.insert(key, key);
    if (!linkedid.isEmpty())
        m_ringingByLinkedid.insert(linkedid, key);
    return call;
}

void PhoneCalls::namePeer(const QByteArray& leg, const QByteArray& peer)
{
    if (Call* found = call(cardOf(leg))) {
        found->peer = peer;
        return;
    }
    // Dials to legs that never got a card (another phone's, a call given up)
    // must not pile up.
    if (m_peerOfLeg.size() >= MinPruneSize)
        m_peerOfLeg.clear();
    m_peerOfLeg.insert(leg, peer);
}

void PhoneCalls::addLeg(const QByteArray& card, const QByteArray& leg, const QByteArray& channel)
{
    if (Call* found = call(card)) {
        found->legs.insert(leg, channel);
        m_cardOfLeg.insert(leg, card);
    }
}

PhoneCalls::Call* PhoneCalls::call(const QByteArray& card)
{
    const auto it = m_calls.find(card);
    return it == m_calls.end() ? nullptr : &*it;
}

const PhoneCalls::Call* PhoneCalls::call(const QByteArray& card) const
{
    const auto it = m_calls.constFind(card);
    return it == m_calls.cend() ? nullptr : &*it;
}

QByteArray PhoneCalls::ringingCard(const QByteArray& linkedid) const
{
    if (linkedid.isEmpty())
        return {};
    const QByteArray card = m_ringingByLinkedid.value(linkedid);
    const auto it = m_calls.constFind(card);
    return it != m_calls.constEnd() && !it->answered ? card : QByteArray();
}

bool PhoneCalls::removeLeg(const QByteArray& leg)
{
    const QByteArray card = m_cardOfLeg.take(leg);
    Call* found = call(card);
    if (!found)
        return false;
    const QByteArray channel = found->legs.take(leg);
    if (found->legs.isEmpty()) {
        remove(card);
        return true;
    }
    if (found->channel == channel)
        found->channel = found->legs.begin().value();
    return false;
}

void PhoneCalls::remove(const QByteArray& card)
{
    const auto it = m_calls.constFind(card);
    if (it == m_calls.constEnd())
        return;
    for (const QByteArray& leg : it->legs.keys())
        m_cardOfLeg.remove(leg);
    if (m_ringingByLinkedid.value(it->linkedid) == card)
        m_ringingByLinkedid.remove(it->linkedid);
    m_calls.erase(it);
}
