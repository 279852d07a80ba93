#include "supervision/callcardlist.h"

#include <algorithm>

CallCard* CallCardList::find(const QByteArray& key)
{
    const auto it =
        std::find_if(m_cards.begin(), m_cards.end(), [&key](const CallCard& card) { return card.key == key; });
    return it == m_cards.end() ? nullptr : &*it;
}

bool CallCardList::HasCallCard(const QByteArray& key) const
{
    return std::any_of(m_cards.begin(), m_cards.end(), [&key](const CallCard& card) { return card.key == key; });
}

QByteArray CallCardList::callCardKeyForChannel(const QByteArray& channel) const
{
    const auto it = std::find_if(m_cards.begin(), m_cards.end(),
                                 [&channel](const CallCard& card) { return card.channel == channel; });
    return it == m_cards.end() ? QByteArray() : it->key;
}

void CallCardList::add(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                       const QByteArray& channel, bool answered)
{
    if (HasCallCard(key))
        return;
    m_cards.push_back({key, number, sda, channel, answered});
}

void CallCardList::AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                  const QByteArray& channel)
{
    add(number, sda, key, channel, false);
}

void CallCardList::ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                     const QByteArray& channel)
{
    if (CallCard* card = find(key))
        card->answered = true;
    else
        add(number, sda, key, channel, true);
}

void CallCardList::OpenCallerAgenda(const QByteArray& key)
{
    if (CallCard* card = find(key))
        card->answered = true;
}

void CallCardList::RemoveCallCard(const QByteArray& key)
{
    std::erase_if(m_cards, [&key](const CallCard& card) { return card.key == key; });
}
