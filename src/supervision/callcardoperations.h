#pragma once

#include <QByteArray>
#include <QByteArrayList>

// The card-list operations that the manager event interpretation drives. The
// main window implements them with real cards; tools and tests implement them
// with plain records. Texts are the manager's CP1252 bytes, unchanged.
class CallCardOperations
{
public:
    virtual ~CallCardOperations() = default;

    virtual void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                const QByteArray& channel) = 0;
    virtual void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                   const QByteArray& channel) = 0;
    virtual void OpenCallerAgenda(const QByteArray& key) = 0;
    virtual void RemoveCallCard(const QByteArray& key) = 0;
    // A ringing card for a call the phone places: the PBX rings the phone
    // first, with the phone's own caller id, then dials the party. A list that
    // tells placed calls from incoming ones keeps it; others take it as a
    // ringing card.
    virtual void AddPlacedCallCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                   const QByteArray& channel)
    {
        AddRingingCard(number, sda, key, channel);
    }
    // The PBX named the other party anew (connected line, a transfer, a pickup,
    // another device of the phone answering): the card of the key shows it and
    // acts on that channel, keeping its place, its state and its talk time.
    // Nothing happens for a key without a card. A list that shows nothing of
    // the party may leave it out.
    virtual void UpdateCallCard([[maybe_unused]] const QByteArray& key, [[maybe_unused]] const QByteArray& number,
                                [[maybe_unused]] const QByteArray& sda, [[maybe_unused]] const QByteArray& channel)
    {}

    virtual bool HasCallCard(const QByteArray& key) const = 0;
    // The key of the card that shows the channel, empty when none does.
    virtual QByteArray callCardKeyForChannel(const QByteArray& channel) const = 0;
    // The keys of all cards, in the order they were created.
    virtual QByteArrayList callCardKeys() const = 0;
};
