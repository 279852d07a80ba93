#include "supervision/managerbanner.h"

const QByteArray ManagerBanner::Start = QByteArrayLiteral("Asterisk Call Manager/");

void ManagerBanner::read(QByteArrayView text)
{
    if (m_read)
        return;
    m_line += text.first(qMin(text.size(), LongestBanner));
    const qsizetype end = m_line.indexOf('\n');
    if (end < 0 && m_line.size() < LongestBanner)
        return;
    m_read = true;
    if (m_line.startsWith(Start)) {
        const QByteArray version = m_line.mid(Start.size());
        qsizetype digits = 0;
        while (digits < version.size() && version.at(digits) >= '0' && version.at(digits) <= '9')
            ++digits;
        m_version = version.left(digits).toInt();
    }
    m_line.clear();
}

void ManagerBanner::reset()
{
    m_line.clear();
    m_read = false;
    m_version = 0;
}
