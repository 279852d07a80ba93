#pragma once

#include "supervision/callcardoperations.h"

// The card list the session drives, once one is attached: the main window's
// is set after both exist, and taken away before it goes. Until then no card
// changes, but the interpretation still reads everything (challenges included).
class AttachedCallCards : public CallCardOperations
{
public:
    explicit AttachedCallCards(CallCardOperations* const& cards) : m_cards(cards) {}

    void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                        const QByteArray& channel) override;
    void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override;
    void OpenCallerAgenda(const QByteArray& key) override;
    void RemoveCallCard(const QByteArray& key) override;
    bool HasCallCard(const QByteArray& key) const override;
    QByteArrayList callCardKeys() const override;
    QByteArray callCardKeyForChannel(const QByteArray& channel) const override;

private:
    CallCardOperations* const& m_cards;
};
