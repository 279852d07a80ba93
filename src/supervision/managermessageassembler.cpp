#include "supervision/managermessageassembler.h"

#include "supervision/managermessages.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr QByteArrayView MessageEnd = "\r\n\r\n";

} // namespace

QByteArray ManagerMessageAssembler::append(QByteArrayView block)
{
    if (m_lineTooLong)
        return {};
    const QByteArray text = ManagerMessages::withoutNul(block);
    if (text.isEmpty())
        return {};

    // The pending bytes hold no message end, so the last one can only lie in the
    // new bytes, or straddle them and the last three pending ones.
    const qsizetype searchFrom = std::max<qsizetype>(0, m_pending.size() - (MessageEnd.size() - 1));
    const qsizetype appendedAt = m_pending.size();
    m_pending.append(text);
    if (const qsizetype tooLong = findLineTooLong(appendedAt); tooLong >= 0) {
        m_lineTooLong = true;
        m_pending.truncate(tooLong);
        return std::exchange(m_pending, QByteArray());
    }
    const qsizetype end = QByteArrayView(m_pending).sliced(searchFrom).lastIndexOf(MessageEnd);
    qsizetype ready = end < 0 ? 0 : searchFrom + end + MessageEnd.size();
    if (m_pending.size() - ready >= MaxPending)
        ready = std::max(ready, afterLastLineBreak());
    if (ready == 0)
        return {};
    if (ready == m_pending.size())
        return std::exchange(m_pending, QByteArray());
    QByteArray handedOver = m_pending.first(ready);
    m_pending.remove(0, ready);
    return handedOver;
}

qsizetype ManagerMessageAssembler::findLineTooLong(qsizetype from)
{
    // Lines end at CR or LF. Each LF is looked for once, so a text of CR-only
    // lines is scanned in one pass too.
    const char* const start = m_pending.constData();
    const char* const stop = start + m_pending.size();
    qsizetype lineStart = from - m_lineLength;
    const char* lf = nullptr;
    for (const char* at = start + from; at < stop;) {
        if (!lf || lf < at) {
            lf = static_cast<const char*>(std::memchr(at, '\n', std::size_t(stop - at)));
            if (!lf)
                lf = stop;
        }
        const char* cr = static_cast<const char*>(std::memchr(at, '\r', std::size_t(lf - at)));
        const char* lineBreak = cr ? cr : lf;
        if (lineBreak == stop)
            break;
        if (lineBreak - start - lineStart > ManagerMessages::MaxLineLength)
            return std::max<qsizetype>(0, lineStart);
        lineStart = lineBreak + 1 - start;
        at = lineBreak + 1;
    }
    m_lineLength = m_pending.size() - lineStart;
    return m_lineLength > ManagerMessages::MaxLineLength ? std::max<qsizetype>(0, lineStart) : -1;
}

qsizetype ManagerMessageAssembler::afterLastLineBreak() const
{
    qsizetype lineBreak = m_pending.lastIndexOf('\n');
    if (lineBreak < 0)
        lineBreak = m_pending.lastIndexOf('\r');
    return lineBreak + 1;
}

QByteArray ManagerMessageAssembler::takePending()
{
    m_lineLength = 0;
    m_lineTooLong = false;
    return std::exchange(m_pending, QByteArray());
}
