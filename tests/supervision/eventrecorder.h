#pragma once

#include "supervision/callcardlist.h"

#include <QByteArray>
#include <QList>

#include <functional>

// Records every card operation the interpretation calls, in order, as one text
// per call: the operation's name and its arguments separated by '|', and keeps
// the card list those calls leave. A hook can run code inside AddRingingCard, as
// the real card creation runs the event loop.
class EventRecorder : public CallCardList
{
public:
    void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                        const QByteArray& channel) override
    {
        record({QByteArrayLiteral("AddRingingCard"), number, sda, key, channel});
        CallCardList::AddRingingCard(number, sda, key, channel);
        if (onAddRingingCard)
            onAddRingingCard();
    }
    void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override
    {
        record({QByteArrayLiteral("ShowConnectedCall"), number, sda, key, channel});
        CallCardList::ShowConnectedCall(number, sda, key, channel);
    }
    void OpenCallerAgenda(const QByteArray& key) override
    {
        record({QByteArrayLiteral("OpenCallerAgenda"), key});
        CallCardList::OpenCallerAgenda(key);
    }
    void RemoveCallCard(const QByteArray& key) override
    {
        record({QByteArrayLiteral("RemoveCallCard"), key});
        CallCardList::RemoveCallCard(key);
    }

    QList<QByteArray> calls;
    std::function<void()> onAddRingingCard;

private:
    void record(const QList<QByteArray>& fields) { calls.append(fields.join('|')); }
};
