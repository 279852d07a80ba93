#pragma once

#include "callcardoperations.h"

#include <QByteArray>

#include <vector>

// One card of the list: what the main window would show for one call.
struct CallCard
{
    QByteArray key;
    QByteArray number;
    QByteArray sda;
    QByteArray channel;
    bool answered = false;
};

// The main window's card list without the window: the same key rules, plain
// records. At most one card per key; a ringing card becomes answered in place;
// cards stay in the order they were created.
class CallCardList : public CallCardOperations
{
public:
    void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                        const QByteArray& channel) override;
    void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override;
    void OpenCallerAgenda(const QByteArray& key) override;
    void RemoveCallCard(const QByteArray& key) override;

    bool HasCallCard(const QByteArray& key) const;
    const std::vector<CallCard>& cards() const { return m_cards; }

private:
    CallCard* find(const QByteArray& key);
    void add(const QByteArray& number, const QByteArray& sda, const QByteArray& key, const QByteArray& channel,
             bool answered);

    std::vector<CallCard> m_cards;
};
