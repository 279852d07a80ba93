#include "cardrecorder.h"

void CardRecorder::AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                  const QByteArray& channel)
{
    if (m_cards.contains(key))
        return;
    const Card card{number, sda, channel, false};
    if (m_changes.isEmpty())
        m_first = card;
    m_cards.insert(key, card);
    m_changes.append("ringing " + key);
}

void CardRecorder::ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                     const QByteArray& channel)
{
    if (!m_cards.contains(key)) {
        const Card card{number, sda, channel, true};
        if (m_changes.isEmpty())
            m_first = card;
        m_cards.insert(key, card);
        m_changes.append("answered " + key);
        return;
    }
    markAnswered(key);
}

void CardRecorder::OpenCallerAgenda(const QByteArray& key)
{
    markAnswered(key);
}

void CardRecorder::RemoveCallCard(const QByteArray& key)
{
    if (m_cards.remove(key) > 0)
        m_changes.append("removed " + key);
}

void CardRecorder::markAnswered(const QByteArray& key)
{
    const auto it = m_cards.find(key);
    if (it == m_cards.end() || it->answered)
        return;
    it->answered = true;
    m_changes.append("answered " + key);
}

QByteArray CardRecorder::callCardKeyForChannel(const QByteArray& channel) const
{
    for (auto it = m_cards.cbegin(); it != m_cards.cend(); ++it) {
        if (it->channel == channel)
            return it.key();
    }
    return {};
}
