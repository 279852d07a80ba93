#include "supervision/attachedcallcards.h"

#include <utility>

void AttachedCallCards::AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                       const QByteArray& channel)
{
    change(key, [&](CallCardOperations& cards) { cards.AddRingingCard(number, sda, key, channel); });
}

void AttachedCallCards::AddPlacedCallCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                          const QByteArray& channel)
{
    change(key, [&](CallCardOperations& cards) { cards.AddPlacedCallCard(number, sda, key, channel); });
}

void AttachedCallCards::ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                          const QByteArray& channel)
{
    change(key, [&](CallCardOperations& cards) { cards.ShowConnectedCall(number, sda, key, channel); });
}

void AttachedCallCards::OpenCallerAgenda(const QByteArray& key)
{
    if (m_cards)
        m_cards->OpenCallerAgenda(key);
}

void AttachedCallCards::RemoveCallCard(const QByteArray& key)
{
    change(key, [&](CallCardOperations& cards) { cards.RemoveCallCard(key); });
}

void AttachedCallCards::UpdateCallCard(const QByteArray& key, const QByteArray& number, const QByteArray& sda,
                                       const QByteArray& channel)
{
    if (m_cards)
        m_cards->UpdateCallCard(key, number, sda, channel);
}

void AttachedCallCards::change(const QByteArray& key, const std::function<void(CallCardOperations&)>& operation)
{
    if (!m_cards)
        return;
    const bool had = m_cards->HasCallCard(key);
    operation(*m_cards);
    m_changed = m_changed || had != m_cards->HasCallCard(key);
}

bool AttachedCallCards::takeChanged()
{
    return std::exchange(m_changed, false);
}

bool AttachedCallCards::HasCallCard(const QByteArray& key) const
{
    return m_cards && m_cards->HasCallCard(key);
}

QByteArray AttachedCallCards::callCardKeyForChannel(const QByteArray& channel) const
{
    return m_cards ? m_cards->callCardKeyForChannel(channel) : QByteArray();
}

QByteArrayList AttachedCallCards::callCardKeys() const
{
    return m_cards ? m_cards->callCardKeys() : QByteArrayList();
}
