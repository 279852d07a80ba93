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

QByteArrayList CallCardList::callCardKeys() const
{
    QByteArrayList keys;
    keys.reserve(qsizetype(m_cards.size()));
    for (const CallCard& card : m_cards)
        keys.append(card.key);
    return keys;
}

bool CallCardList::addCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel, bool answered)
{
    if (HasCallCard(key))
        return false;
    m_cards.push_back({key, number, sda, channel, answered});
    return true;
}

bool CallCardList::markAnswered(const QByteArray& key)
{
    CallCard* card = find(key);
    if (!card || card->answered)
        return false;
    card->answered = true;
    return true;
}

bool CallCardList::removeCard(const QByteArray& key)
{
    return std::erase_if(m_cards, [&key](const CallCard& card) { return card.key == key; }) > 0;
}

void CallCardList::AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                  const QByteArray& channel)
{
    addCard(number, sda, key, channel, false);
}

void CallCardList::ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                     const QByteArray& channel)
{
    if (!markAnswered(key))
        addCard(number, sda, key, channel, true);
}

void CallCardList::OpenCallerAgenda(const QByteArray& key)
{
    markAnswered(key);
}

void CallCardList::RemoveCallCard(const QByteArray& key)
{
    removeCard(key);
}
