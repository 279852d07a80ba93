#pragma once

#include "supervision/callcardoperations.h"

#include <functional>

// The card list the session drives, once one is attached: the main window's
// is set after both exist, and taken away before it goes. Until then no card
// changes, but the interpretation still reads everything (challenges included).
// It notes whether a card was created or removed since it was last asked.
class AttachedCallCards : public CallCardOperations
{
public:
    explicit AttachedCallCards(CallCardOperations* const& cards) : m_cards(cards) {}

    void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                        const QByteArray& channel) override;
    void AddPlacedCallCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override;
    void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override;
    void OpenCallerAgenda(const QByteArray& key) override;
    void RemoveCallCard(const QByteArray& key) override;
    void UpdateCallCard(const QByteArray& key, const QByteArray& number, const QByteArray& sda,
                        const QByteArray& channel) override;
    bool HasCallCard(const QByteArray& key) const override;
    QByteArrayList callCardKeys() const override;
    QByteArray callCardKeyForChannel(const QByteArray& channel) const override;

    // A card came or went since the last call.
    bool takeChanged();

private:
    void change(const QByteArray& key, const std::function<void(CallCardOperations&)>& operation);

    CallCardOperations* const& m_cards;
    bool m_changed = false;
};
