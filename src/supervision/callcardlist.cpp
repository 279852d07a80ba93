#include "supervision/callcardlist.h"

#include "config/namelist.h"

const QByteArray CallCardList::DisconnectionKey = QByteArrayLiteral("100.cvl");

bool CallCard::isCall() const
{
    return key != CallCardList::DisconnectionKey;
}

void CallCard::takeNamesFrom(const NameList& lineLabels, const NameList& callerNames)
{
    callerName = callerNames.value(number);
    const QByteArray label = lineLabels.value(sda);
    lineLabel = label.isEmpty() ? sda : label;
}

CallCardInfo CallCard::info() const
{
    return {key, number, sda, callerName, lineLabel, createdAnswered, placed};
}

CallCardList::CallCardList(QObject* parent) : QObject(parent) {}

void CallCardList::setNameLists(const NameList* lineLabels, const NameList* callerNames)
{
    m_lineLabels = lineLabels;
    m_callerNames = callerNames;
}

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
                           const QByteArray& channel, bool answered, bool placed)
{
    if (HasCallCard(key))
        return false;
    CallCard card{
        key, number, sda, channel, {}, sda, answered, answered, QDateTime::currentDateTime(), answered || placed};
    if (m_lineLabels && m_callerNames)
        card.takeNamesFrom(*m_lineLabels, *m_callerNames);
    const auto added = m_cards.insert(m_cards.end(), std::move(card));
    m_byKey.insert(key, added);
    m_keysByChannel[channel].append(key);
    emit cardAdded(*added);
    return true;
}

bool CallCardList::markAnswered(const QByteArray& key)
{
    const auto it = m_byKey.constFind(key);
    if (it == m_byKey.constEnd() || (*it)->answered)
        return false;
    (*it)->answered = true;
    emit cardAnswered(key);
    return true;
}

bool CallCardList::removeCard(const QByteArray& key)
{
    const auto it = m_byKey.constFind(key);
    if (it == m_byKey.constEnd())
        return false;
    const auto card = *it;
    forgetChannel(card->channel, key);
    // The key may be the card's own, which goes now.
    const QByteArray removed = key;
    m_byKey.erase(it);
    m_cards.erase(card);
    emit cardRemoved(removed);
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
    if (m_lineLabels && m_callerNames)
        card.takeNamesFrom(*m_lineLabels, *m_callerNames);
    emit cardUpdated(card);
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
    addCard(number, sda, key, channel, false, false);
}

void CallCardList::AddPlacedCallCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                     const QByteArray& channel)
{
    addCard(number, sda, key, channel, false, true);
}

void CallCardList::ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                     const QByteArray& channel)
{
    if (!markAnswered(key))
        addCard(number, sda, key, channel, true, true);
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
