#pragma once

#include "supervision/callcardoperations.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QMap>

// Plays the main window's card list for the interpretation: keeps which cards
// exist and whether they are answered, and notes every change in order.
class CardRecorder : public CallCardOperations
{
public:
    struct Card
    {
        QByteArray number;
        QByteArray sda;
        QByteArray channel;
        bool answered = false;
    };

    void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                        const QByteArray& channel) override;
    void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override;
    void OpenCallerAgenda(const QByteArray& key) override;
    void RemoveCallCard(const QByteArray& key) override;
    bool HasCallCard(const QByteArray& key) const override { return m_cards.contains(key); }
    QByteArray callCardKeyForChannel(const QByteArray& channel) const override;

    const QMap<QByteArray, Card>& cards() const { return m_cards; }
    // "ringing <key>", "answered <key>", "removed <key>": only real changes.
    const QByteArrayList& changes() const { return m_changes; }
    // The first card ever created, as it was created.
    const Card& firstCard() const { return m_first; }

private:
    void markAnswered(const QByteArray& key);

    QMap<QByteArray, Card> m_cards;
    QByteArrayList m_changes;
    Card m_first;
};
