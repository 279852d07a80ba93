#pragma once

#include <QByteArray>
#include <QSet>

#include <deque>

// A set of card keys that forgets its oldest entries beyond a capacity, for
// what must be remembered per call on a session that runs for weeks.
class RecentKeys
{
public:
    static constexpr qsizetype DefaultCapacity = 10000;

    explicit RecentKeys(qsizetype capacity = DefaultCapacity) : m_capacity(capacity) {}

    bool contains(const QByteArray& key) const { return m_keys.contains(key); }
    void insert(const QByteArray& key);

private:
    qsizetype m_capacity;
    QSet<QByteArray> m_keys;
    std::deque<QByteArray> m_order;
};
