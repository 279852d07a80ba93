#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Gathers the blocks the manager session delivers into whole manager messages.
// A busy PBX sends bursts of tens of kilobytes that the session hands over in
// pieces cut at any byte, even inside a header; the interpretation, the memo and
// the journal are handed the received text only up to the last CR LF CR LF, and
// the rest waits for the next block. A run of 65,536 bytes without one is handed
// over whole, so a peer that never closes a message cannot grow the buffer
// without bound.
class ManagerMessageAssembler
{
public:
    static constexpr qsizetype MaxPending = 65536;

    // Takes one received block, cut at its first NUL, and gives the text that is
    // ready: empty when the block did not complete a message.
    QByteArray append(QByteArrayView block);
    // Gives what is pending and forgets it: the session closed, or the input ended.
    QByteArray takePending();

    qsizetype pendingSize() const { return m_pending.size(); }

private:
    QByteArray m_pending;
};
