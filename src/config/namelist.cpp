#include "config/namelist.h"

#include "config/cp1252.h"

#include <QFile>

namespace {

QString foldedKey(const QByteArray& key)
{
    return Cp1252::toUnicode(key).toCaseFolded();
}

} // namespace

void NameList::load(const QByteArray& content)
{
    clear();
    // The list ends at the first NUL, as the text it came from would.
    const qsizetype nul = content.indexOf('\0');
    const QByteArray text = nul < 0 ? content : content.left(nul);

    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text.at(end) != '\r' && text.at(end) != '\n')
            ++end;
        const QByteArray line = text.mid(start, end - start);
        start = end;
        if (start < text.size() && text.at(start) == '\r')
            ++start;
        if (start < text.size() && text.at(start) == '\n')
            ++start;

        Row row;
        const qsizetype separator = line.indexOf('=');
        row.hasSeparator = separator >= 0;
        row.key = row.hasSeparator ? line.left(separator) : line;
        row.value = row.hasSeparator ? line.mid(separator + 1) : QByteArray();
        if (row.hasSeparator) {
            // A key that appears again later keeps answering with its first row.
            const QString folded = foldedKey(row.key);
            if (!m_firstRowByFoldedKey.contains(folded))
                m_firstRowByFoldedKey.insert(folded, m_rows.size());
        }
        m_rows.append(row);
    }
}

bool NameList::loadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    load(content);
    return true;
}

void NameList::clear()
{
    m_rows.clear();
    m_firstRowByFoldedKey.clear();
}

QByteArray NameList::value(const QByteArray& key) const
{
    const auto found = m_firstRowByFoldedKey.constFind(foldedKey(key));
    return found == m_firstRowByFoldedKey.cend() ? QByteArray() : m_rows.at(found.value()).value;
}
