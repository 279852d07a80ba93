#include "supervision/managermessageassembler.h"

#include <algorithm>
#include <utility>

namespace {

constexpr QByteArrayView MessageEnd = "\r\n\r\n";

} // namespace

QByteArray ManagerMessageAssembler::append(QByteArrayView block)
{
    if (const qsizetype nul = block.indexOf('\0'); nul >= 0)
        block = block.first(nul);
    if (block.isEmpty())
        return {};

    // The pending bytes hold no message end, so the last one can only lie in the
    // new bytes, or straddle them and the last three pending ones.
    const qsizetype searchFrom = std::max<qsizetype>(0, m_pending.size() - (MessageEnd.size() - 1));
    m_pending.append(block);
    const qsizetype end = QByteArrayView(m_pending).sliced(searchFrom).lastIndexOf(MessageEnd);
    qsizetype ready = end < 0 ? 0 : searchFrom + end + MessageEnd.size();
    if (m_pending.size() - ready >= MaxPending)
        ready = m_pending.size();
    if (ready == 0)
        return {};
    if (ready == m_pending.size())
        return std::exchange(m_pending, QByteArray());
    QByteArray text = m_pending.first(ready);
    m_pending.remove(0, ready);
    return text;
}

QByteArray ManagerMessageAssembler::takePending()
{
    return std::exchange(m_pending, QByteArray());
}
