#include "supervision/recentkeys.h"

void RecentKeys::insert(const QByteArray& key)
{
    if (m_keys.contains(key))
        return;
    m_keys.insert(key);
    m_order.push_back(key);
    if (qsizetype(m_order.size()) > m_capacity) {
        m_keys.remove(m_order.front());
        m_order.pop_front();
    }
}
