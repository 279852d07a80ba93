#include "supervision/callcardlist.h"

const CallCard* CallCardList::find(const QByteArray& key) const
{
    const auto it = m_byKey.constFind(key);
    return it == m_byKey.constEnd() ? nullptr : &**it;
}

bool CallCardList::HasCallCard(const QByteArray& key) const
{
    return m_byKey.contains(key);
}

QByteArray CallCardList::callCardKeyForChannel(const QByteArray& channel) const
{
    const auto it = m_keysByChannel.constFind(channel);
    return it == m_keysByChannel.constEnd() ? QByteArray() : it->first();
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
    m_byKey.insert(key, m_cards.insert(m_cards.end(),
                                       {key, number, sda, channel, answered, answered, QDateTime::currentDateTime()}));
    m_keysByChannel[channel].append(key);
    return true;
}

bool CallCardList::markAnswered(const QByteArray& key)
{
    const auto it = m_byKey.constFind(key);
    if (it == m_byKey.constEnd() || (*it)->answered)
        return false;
    (*it)->answered = true;
    return true;
}

bool CallCardList::removeCard(const QByteArray& key)
{
    const auto it = m_byKey.constFind(key);
    if (it == m_byKey.constEnd())
        return false;
    const auto card = *it;
    forgetChannel(card->channel, key);
    m_byKey.erase(it);
    m_cards.erase(card);
    return true;
}

bool CallCardList::updateCard(const QByteArray& key, const QByteArray& number, const QByteArray& sda,
                              const QByteArray& channel)
{
    const auto it = m_byKey.constFind(key);
    if (it == m_byKey.constEnd())
        return false;
    CallCard& card = **it;
    if (card.number == number && card.sda == sda && card.channel == channel)
        return false;
    if (card.channel != channel) {
        forgetChannel(card.channel, key);
        m_keysByChannel[channel].append(key);
    }
    card.number = number;
    card.sda = sda;
    card.channel = channel;
    return true;
}

void CallCardList::forgetChannel(const QByteArray& channel, const QByteArray& key)
{
    const auto keys = m_keysByChannel.find(channel);
    keys->removeOne(key);
    if (keys->isEmpty())
        m_keysByChannel.erase(keys);
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

void CallCardList::UpdateCallCard(const QByteArray& key, const QByteArray& number, const QByteArray& sda,
                                  const QByteArray& channel)
{
    updateCard(key, number, sda, channel);
}
