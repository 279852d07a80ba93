#include "net/buffer.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int capacity)
{
    Resize(capacity);
}

void TBuffer::Resize(int n)
{
    if (n <= 0)
        n = 1514;
    if (n == m_capacity)
        return;
    // Left uninitialised: only appended bytes are ever read.
    std::unique_ptr<char[]> area(new char[static_cast<size_t>(n)]);
    if (m_writeCount != m_readCount) {
        // A shrink below the written bytes would overflow the new area; keep what fits.
        m_writeCount = std::min(m_writeCount, n);
        m_readCount = std::min(m_readCount, m_writeCount);
        std::memcpy(area.get(), m_data.get(), static_cast<size_t>(m_writeCount));
    }
    m_data = std::move(area);
    m_capacity = n;
}

int TBuffer::Append(const char* data, int len)
{
    const int room = m_capacity - m_writeCount;
    if (room <= 0 || len <= 0)
        return 0;
    const int count = std::min(room, len);
    std::memcpy(m_data.get() + m_writeCount, data, static_cast<size_t>(count));
    m_writeCount += count;
    return count;
}

std::pair<const char*, int> TBuffer::Peek() const
{
    const int unsent = m_writeCount - m_readCount;
    if (unsent <= 0)
        return {nullptr, 0};
    return {m_data.get() + m_readCount, unsent};
}

int TBuffer::Consume(int n)
{
    const int count = std::clamp(n, 0, m_writeCount - m_readCount);
    m_readCount += count;
    if (m_readCount == m_writeCount) {
        m_readCount = 0;
        m_writeCount = 0;
    }
    return count;
}
