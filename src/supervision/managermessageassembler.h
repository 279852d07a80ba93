#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Gathers the blocks the manager session delivers into whole manager messages.
// A busy PBX sends bursts of tens of kilobytes that the session hands over in
// pieces cut at any byte, even inside a header; the interpretation, the memo and
// the journal are handed the received text only up to the last CR LF CR LF, and
// the rest waits for the next block. A run of 65,536 bytes without one is handed
// over up to its last line break, so a peer that never closes a message cannot
// grow the buffer without bound.
//
// A line longer than ManagerMessages::MaxLineLength ends the reading: what came
// before the line is handed over, the line and everything after it are dropped
// until the assembler starts again (takePending), and lineTooLong() tells the
// session to close.
class ManagerMessageAssembler
{
public:
    static constexpr qsizetype MaxPending = 65536;

    // Takes one received block, without its NUL bytes, and gives the text that
    // is ready: empty when the block did not complete a message.
    QByteArray append(QByteArrayView block);
    // Gives what is pending and starts again: the session closed, or the input ended.
    QByteArray takePending();

    qsizetype pendingSize() const { return m_pending.size(); }
    bool lineTooLong() const { return m_lineTooLong; }

private:
    // Where in m_pending a line too long starts, or -1; follows the line that
    // the pending text ends inside.
    qsizetype findLineTooLong(qsizetype from);
    qsizetype afterLastLineBreak() const;

    QByteArray m_pending;
    qsizetype m_lineLength = 0; // of the line the pending text ends inside
    bool m_lineTooLong = false;
};
