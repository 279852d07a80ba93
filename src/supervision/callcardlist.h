#pragma once

#include "supervision/callcardoperations.h"

#include <QByteArray>

#include <vector>

// One card of the list: what the main window shows for one call.
struct CallCard
{
    QByteArray key;
    QByteArray number;
    QByteArray sda;
    QByteArray channel;
    bool answered = false;
};

// The card list without a window: the main window's key rules over plain
// records, for the tools and the tests. At most one card per key; a ringing
// card becomes answered in place; cards stay in the order they were created.
class CallCardList : public CallCardOperations
{
public:
    void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                        const QByteArray& channel) override;
    void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override;
    void OpenCallerAgenda(const QByteArray& key) override;
    void RemoveCallCard(const QByteArray& key) override;

    bool HasCallCard(const QByteArray& key) const override;
    QByteArray callCardKeyForChannel(const QByteArray& channel) const override;
    const std::vector<CallCard>& cards() const { return m_cards; }

private:
    CallCard* find(const QByteArray& key);
    void add(const QByteArray& number, const QByteArray& sda, const QByteArray& key, const QByteArray& channel,
             bool answered);

    std::vector<CallCard> m_cards;
};
