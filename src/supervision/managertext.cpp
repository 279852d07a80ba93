#include "supervision/managertext.h"

QByteArrayView ManagerMessage::header(QByteArrayView name) const
{
    for (qsizetype start = 0; start < m_text.size();) {
        qsizetype end = m_text.indexOf('\n', start);
        if (end < 0)
            end = m_text.size();
        QByteArrayView line = m_text.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > name.size() && line.at(name.size()) == ':' &&
            line.first(name.size()).compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(name.size() + 1).trimmed();
        start = end + 1;
    }
    return {};
}

const QList<ManagerMessage>& ManagerText::messages() const
{
    if (m_messages)
        return *m_messages;
    m_messages.emplace();
    const QByteArrayView text(m_text);
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = text.indexOf("\r\n\r\n", start);
        end = end < 0 ? text.size() : end + 4;
        m_messages->append(ManagerMessage(text.sliced(start, end - start)));
        start = end;
    }
    return *m_messages;
}
