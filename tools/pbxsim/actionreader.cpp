#include "actionreader.h"

namespace pbxsim {

QList<ReceivedAction> ActionReader::feed(const QByteArray& bytes)
{
    QList<ReceivedAction> done;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', start);
        const qsizetype end = newline < 0 ? bytes.size() : newline + 1;
        const QByteArrayView piece(bytes.constData() + start, end - start);
        start = end;
        if (m_discardingLine) {
            m_discardingLine = newline < 0;
            continue;
        }
        m_partialLine += piece;
        if (m_partialLine.size() > MaxLineLength) {
            m_partialLine.clear();
            m_discardingLine = newline < 0;
            continue;
        }
        if (newline < 0)
            break;
        const QByteArray line = m_partialLine;
        m_partialLine.clear();
        takeLine(line, done);
    }
    return done;
}

void ActionReader::takeLine(const QByteArray& line, QList<ReceivedAction>& done)
{
    QByteArray text = line;
    text.chop(1);
    if (text.endsWith('\r'))
        text.chop(1);
    if (m_current.raw.size() + line.size() <= MaxActionBytes)
        m_current.raw += line;
    if (text.isEmpty()) {
        if (!m_current.message.isEmpty())
            done.append(std::move(m_current));
        m_current = ReceivedAction();
        return;
    }
    const qsizetype colon = text.indexOf(':');
    if (colon <= 0 || m_current.message.headers().size() >= MaxHeaders)
        return;
    qsizetype valueStart = colon + 1;
    while (valueStart < text.size() && (text[valueStart] == ' ' || text[valueStart] == '\t'))
        ++valueStart;
    m_current.message.add(text.left(colon).trimmed(), text.mid(valueStart));
}

} // namespace pbxsim
