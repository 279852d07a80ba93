#pragma once

#include "supervision/callcardoperations.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QHash>

#include <list>

// One card of the list: what the main window shows for one call.
struct CallCard
{
    QByteArray key;
    QByteArray number;
    QByteArray sda;
    QByteArray channel;
    bool answered = false;
    bool createdAnswered = false; // a call the phone placed, never seen ringing
    QDateTime arrived;            // the card's creation, where its talk time counts from
};

// The list of call cards and its rules, without a window: the main window
// keeps one and draws it, the tools and the tests use it as it is. At most one
// card per key; a ringing card becomes answered in place; cards stay in the
// order they were created. A flood of calls stays cheap: cards are found by
// key and by channel through indexes, and removed without moving the others.
class CallCardList : public CallCardOperations
{
public:
    void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                        const QByteArray& channel) override;
    void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override;
    void OpenCallerAgenda(const QByteArray& key) override;
    void RemoveCallCard(const QByteArray& key) override;
    void UpdateCallCard(const QByteArray& key, const QByteArray& number, const QByteArray& sda,
                        const QByteArray& channel) override;

    bool HasCallCard(const QByteArray& key) const override;
    QByteArray callCardKeyForChannel(const QByteArray& channel) const override;
    QByteArrayList callCardKeys() const override;
    // In the order they were created.
    const std::list<CallCard>& cards() const { return m_cards; }
    // The card of the key, null when there is none.
    const CallCard* find(const QByteArray& key) const;

    // The rules themselves; each says whether it changed the list.
    bool addCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key, const QByteArray& channel,
                 bool answered);
    bool markAnswered(const QByteArray& key);
    bool removeCard(const QByteArray& key);
    bool updateCard(const QByteArray& key, const QByteArray& number, const QByteArray& sda, const QByteArray& channel);

private:
    void forgetChannel(const QByteArray& channel, const QByteArray& key);

    std::list<CallCard> m_cards;
    QHash<QByteArray, std::list<CallCard>::iterator> m_byKey;
    // The keys of the cards of each channel, oldest first (nearly always one).
    QHash<QByteArray, QByteArrayList> m_keysByChannel;
};
