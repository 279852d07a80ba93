#include "forwardingcardcounter.h"

#include <utility>

ForwardingCardCounter::ForwardingCardCounter(CallCardOperations& cards, QByteArray ignoredKey)
    : m_cards(cards), m_ignoredKey(std::move(ignoredKey))
{}

void ForwardingCardCounter::AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                           const QByteArray& channel)
{
    m_ringing += key != m_ignoredKey;
    m_cards.AddRingingCard(number, sda, key, channel);
}

void ForwardingCardCounter::ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                              const QByteArray& channel)
{
    m_answered += key != m_ignoredKey;
    m_cards.ShowConnectedCall(number, sda, key, channel);
}

void ForwardingCardCounter::OpenCallerAgenda(const QByteArray& key)
{
    m_agendas += key != m_ignoredKey;
    m_cards.OpenCallerAgenda(key);
}

void ForwardingCardCounter::RemoveCallCard(const QByteArray& key)
{
    m_removals += key != m_ignoredKey;
    m_cards.RemoveCallCard(key);
}

bool ForwardingCardCounter::HasCallCard(const QByteArray& key) const
{
    return m_cards.HasCallCard(key);
}

QByteArray ForwardingCardCounter::callCardKeyForChannel(const QByteArray& channel) const
{
    return m_cards.callCardKeyForChannel(channel);
}

QByteArrayList ForwardingCardCounter::callCardKeys() const
{
    return m_cards.callCardKeys();
}
