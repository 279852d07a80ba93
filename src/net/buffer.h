#pragma once

#include <memory>
#include <utility>

// One block of a socket's send buffer. Bytes are appended at the write
// position and sent from the read position; the space freed by sending is
// reused only once the block has drained completely (both counts go back to 0).
class TBuffer
{
public:
    explicit TBuffer(int capacity);

    // n <= 0 means 1514, the size of a full Ethernet frame. Keeps unsent bytes.
    void Resize(int n);
    // Copies as much as fits; returns the count copied (0 when the block is full).
    int Append(const char* data, int len);
    // First unsent byte and the unsent length, or {nullptr, 0} when empty.
    std::pair<const char*, int> Peek() const;
    // Drops up to n unsent bytes; returns the count dropped.
    int Consume(int n);

    int Capacity() const { return m_capacity; }

private:
    std::unique_ptr<char[]> m_data;
    int m_capacity = 0;
    int m_writeCount = 0;
    int m_readCount = 0;
};
