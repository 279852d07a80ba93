#include "supervision/calltracker.h"

void CallTracker::cardAdded(const CallCardInfo& card, const QDateTime& now)
{
    Call call;
    call.record.start = now;
    call.record.direction =
        card.answered || card.placed ? CallRecord::Direction::Placed : CallRecord::Direction::Incoming;
    call.record.number = card.number;
    call.record.name = card.callerName;
    call.record.line = card.lineLabel;
    call.record.answered = card.answered;
    if (card.answered)
        call.answeredAt = now;
    m_calls.insert(card.key, call);
}

void CallTracker::cardAnswered(const QByteArray& key, const QDateTime& now)
{
    const auto it = m_calls.find(key);
    if (it == m_calls.end() || it->record.answered)
        return;
    it->record.answered = true;
    it->answeredAt = now;
}

void CallTracker::cardUpdated(const CallCardInfo& card)
{
    const auto it = m_calls.find(card.key);
    if (it == m_calls.end())
        return;
    it->record.number = card.number;
    it->record.name = card.callerName;
    it->record.line = card.lineLabel;
}

std::optional<CallRecord> CallTracker::cardRemoved(const QByteArray& key, const QDateTime& now)
{
    const auto it = m_calls.constFind(key);
    if (it == m_calls.constEnd())
        return std::nullopt;
    CallRecord record = it->record;
    if (record.answered)
        record.talkSeconds = int(std::max<qint64>(0, it->answeredAt.secsTo(now)));
    m_calls.erase(it);
    return record;
}
