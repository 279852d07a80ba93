#pragma once

#include "supervision/callcardlist.h"

#include <QByteArray>

#include <cstdio>
#include <initializer_list>

// Writes one line per card operation, and per recorded challenge, to a stream
// while keeping the card list those operations leave. Fields are separated by
// one TAB and written byte for byte; each line ends with LF. Other tools read
// this output, so its shape does not change.
class OperationPrinter : public CallCardOperations
{
public:
    explicit OperationPrinter(std::FILE* out) : m_out(out) {}

    void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                        const QByteArray& channel) override;
    void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override;
    void OpenCallerAgenda(const QByteArray& key) override;
    void RemoveCallCard(const QByteArray& key) override;

    bool HasCallCard(const QByteArray& key) const override { return m_list.HasCallCard(key); }
    QByteArray callCardKeyForChannel(const QByteArray& channel) const override
    {
        return m_list.callCardKeyForChannel(channel);
    }
    QByteArrayList callCardKeys() const override { return m_list.callCardKeys(); }

    void challengeRecorded(const QByteArray& value);

    // One "CARD" line per card left, in the order the cards were created.
    void printCards();

    // False once a write to the stream has failed.
    bool ok() const { return !std::ferror(m_out); }

private:
    void printLine(std::initializer_list<QByteArray> fields);

    std::FILE* m_out;
    CallCardList m_list;
};
