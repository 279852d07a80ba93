#pragma once

#include "supervision/callcardinfo.h"
#include "supervision/callcardoperations.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QHash>
#include <QObject>

#include <list>

class NameList;

// One card of the list: everything the main window shows for one call.
struct CallCard
{
    QByteArray key;
    QByteArray number;
    QByteArray sda;
    QByteArray channel;
    QByteArray callerName; // the number's name in the name list, empty when unlisted
    QByteArray lineLabel;  // the SDA's label in the SDA list, or the SDA itself
    bool answered = false;
    bool createdAnswered = false; // a call the phone placed, never seen ringing
    QDateTime arrived;            // the card's creation, where its talk time counts from
    bool placed = false;          // a call the phone places, ringing first or not

    // The session's card (disconnected, refused) is no call.
    bool isCall() const;
    // The names the lists give the number and the SDA.
    void takeNamesFrom(const NameList& lineLabels, const NameList& callerNames);
    // The call as it appeared.
    CallCardInfo info() const;
};

// The list of call cards and its rules, without a window: the one place where
// the cards live. The main window draws it, the notifications and the history
// follow it through its announcements; the tools and the tests use it as it
// is. At most one card per key; a ringing card becomes answered in place;
// cards stay in the order they were created. Each change is announced once it
// is made, to listeners that find the list as it now is. A flood of calls stays
// cheap: cards are found by key and by channel through indexes, and removed
// without moving the others.
class CallCardList : public QObject, public CallCardOperations
{
    Q_OBJECT

public:
    // The key of the card shown while the manager session is closed.
    static const QByteArray DisconnectionKey;

    explicit CallCardList(QObject* parent = nullptr);

    // The lists that name the callers and the lines of the cards created from
    // now on; they outlive the list. Without them a card shows its raw texts.
    void setNameLists(const NameList* lineLabels, const NameList* callerNames);

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
    // In the order they were created.
    const std::list<CallCard>& cards() const { return m_cards; }
    int count() const { return int(m_cards.size()); }
    // The card of the key, null when there is none.
    const CallCard* find(const QByteArray& key) const;

    // The rules themselves; each says whether it changed the list.
    bool addCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key, const QByteArray& channel,
                 bool answered, bool placed);
    bool markAnswered(const QByteArray& key);
    bool removeCard(const QByteArray& key);
    bool updateCard(const QByteArray& key, const QByteArray& number, const QByteArray& sda, const QByteArray& channel);

signals:
    void cardAdded(const CallCard& card);
    void cardAnswered(const QByteArray& key);
    // The card is out of the list already.
    void cardRemoved(const QByteArray& key);
    // The PBX named the other party anew: number, SDA, channel and the names
    // the lists give them; the key, the state and the arrival stay.
    void cardUpdated(const CallCard& card);

private:
    void forgetChannel(const QByteArray& channel, const QByteArray& key);

    std::list<CallCard> m_cards;
    QHash<QByteArray, std::list<CallCard>::iterator> m_byKey;
    // The keys of the cards of each channel, oldest first (nearly always one).
    QHash<QByteArray, QByteArrayList> m_keysByChannel;
    const NameList* m_lineLabels = nullptr;
    const NameList* m_callerNames = nullptr;
};
