#pragma once

#include "supervision/callcardlist.h"

#include <QByteArray>
#include <QByteArrayList>

#include <functional>

// The program's card list, keeping its rules, that also records what it is
// asked: every operation in order as one text of its name and arguments
// separated by '|', and the changes those operations made to the list.
class CardRecorder : public CallCardList
{
public:
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

    // Every operation asked, with the test's own notes among them.
    const QByteArrayList& calls() const { return m_calls; }
    void note(const QByteArray& text) { m_calls.append(text); }
    void clearCalls() { m_calls.clear(); }
    // "ringing <key>", "answered <key>", "removed <key>": only real changes.
    const QByteArrayList& changes() const { return m_changes; }
    // The first card ever created, as it was created.
    const CallCard& firstCard() const { return m_first; }
    // Runs inside AddRingingCard, as the real card creation runs the event loop.
    void setAddRingingCardHook(std::function<void()> hook) { m_addRingingCardHook = std::move(hook); }

private:
    void record(const QByteArrayList& call, const QByteArray& key, const std::function<void()>& operation);
    const CallCard* card(const QByteArray& key) const;

    QByteArrayList m_calls;
    QByteArrayList m_changes;
    CallCard m_first;
    std::function<void()> m_addRingingCardHook;
};
