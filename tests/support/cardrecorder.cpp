#include "cardrecorder.h"

void CardRecorder::AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                  const QByteArray& channel)
{
    record({QByteArrayLiteral("AddRingingCard"), number, sda, key, channel}, key,
           [&] { CallCardList::AddRingingCard(number, sda, key, channel); });
    if (m_addRingingCardHook)
        m_addRingingCardHook();
}

void CardRecorder::AddPlacedCallCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                     const QByteArray& channel)
{
    record({QByteArrayLiteral("AddPlacedCallCard"), number, sda, key, channel}, key,
           [&] { CallCardList::AddPlacedCallCard(number, sda, key, channel); });
}

void CardRecorder::ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                     const QByteArray& channel)
{
    record({QByteArrayLiteral("ShowConnectedCall"), number, sda, key, channel}, key,
           [&] { CallCardList::ShowConnectedCall(number, sda, key, channel); });
}

void CardRecorder::OpenCallerAgenda(const QByteArray& key)
{
    record({QByteArrayLiteral("OpenCallerAgenda"), key}, key, [&] { CallCardList::OpenCallerAgenda(key); });
}

void CardRecorder::RemoveCallCard(const QByteArray& key)
{
    record({QByteArrayLiteral("RemoveCallCard"), key}, key, [&] { CallCardList::RemoveCallCard(key); });
}

void CardRecorder::UpdateCallCard(const QByteArray& key, const QByteArray& number, const QByteArray& sda,
                                  const QByteArray& channel)
{
    record({QByteArrayLiteral("UpdateCallCard"), key, number, sda, channel}, key,
           [&] { CallCardList::UpdateCallCard(key, number, sda, channel); });
}

// The change is told by the card's state before and after: an operation touches
// the card of its own key only.
void CardRecorder::record(const QByteArrayList& call, const QByteArray& key, const std::function<void()>& operation)
{
    m_calls.append(call.join('|'));
    const auto state = [this, &key]() -> QByteArray {
        const CallCard* found = card(key);
        return !found ? "removed" : found->answered ? "answered" : "ringing";
    };
    const QByteArray before = state();
    operation();
    const QByteArray after = state();
    if (after == before)
        return;
    m_changes.append(after + ' ' + key);
    // The first change of all can only be a creation.
    if (m_changes.size() == 1)
        m_first = *card(key);
}

const CallCard* CardRecorder::card(const QByteArray& key) const
{
    for (const CallCard& each : cards()) {
        if (each.key == key)
            return &each;
    }
    return nullptr;
}
