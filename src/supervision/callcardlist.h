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

// The list of call cards and its rules, without a window: the main window
// keeps one and draws it, the tools and the tests use it as it is. At most one
// card per key; a ringing card becomes answered in place; cards stay in the
// order they were created.
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
    QByteArrayList callCardKeys() const override;
    const std::vector<CallCard>& cards() const { return m_cards; }

    // The rules themselves; each says whether it changed the list.
    bool addCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key, const QByteArray& channel,
                 bool answered);
    bool markAnswered(const QByteArray& key);
    bool removeCard(const QByteArray& key);

private:
    CallCard* find(const QByteArray& key);

    std::vector<CallCard> m_cards;
};
