#include "supervision/attachedcallcards.h"

void AttachedCallCards::AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                       const QByteArray& channel)
{
    if (m_cards)
        m_cards->AddRingingCard(number, sda, key, channel);
}

void AttachedCallCards::ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                          const QByteArray& channel)
{
    if (m_cards)
        m_cards->ShowConnectedCall(number, sda, key, channel);
}

void AttachedCallCards::OpenCallerAgenda(const QByteArray& key)
{
    if (m_cards)
        m_cards->OpenCallerAgenda(key);
}

void AttachedCallCards::RemoveCallCard(const QByteArray& key)
{
    if (m_cards)
        m_cards->RemoveCallCard(key);
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
