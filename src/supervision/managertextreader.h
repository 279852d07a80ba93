#pragma once

#include "supervision/managermessageassembler.h"
#include "supervision/managertext.h"

#include <QByteArrayView>

#include <functional>
#include <utility>

// The one reader of manager text, for the session and for every tool that
// reads a manager's stream: received blocks, cut anywhere, go in; whole
// messages without their NUL bytes come out, one hand-over at a time, in the
// order they were received. A line longer than ManagerMessages::MaxLineLength
// ends the reading until it starts again.
//
// A hand-over may run the event loop, and a block received meanwhile is read
// at once (it comes later in the stream than what is being handed over).
class ManagerTextReader
{
public:
    using HandOver = std::function<void(const ManagerText& text)>;

    explicit ManagerTextReader(HandOver handOver) : m_handOver(std::move(handOver)) {}

    // One received block: hands over the text it completes.
    void read(QByteArrayView block);
    // The stream ended (the session closed, the input ended): what is pending
    // is handed over as it is, and reading starts again.
    void finish();
    // A new stream: what is pending is dropped.
    void restart() { m_assembler.takePending(); }

    bool lineTooLong() const { return m_assembler.lineTooLong(); }
    qsizetype pendingSize() const { return m_assembler.pendingSize(); }

private:
    HandOver m_handOver;
    ManagerMessageAssembler m_assembler;
};
