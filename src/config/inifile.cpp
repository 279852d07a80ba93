#include "config/inifile.h"

#include "config/atomicfile.h"
#include "config/cp1252.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isAscii(QByteArrayView text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Names are matched like the platform does: without letter case and blanks
// around them, accents included (É and é are the same letter in a section or
// key name). Case folding keeps the length of every CP1252 letter, so names of
// different lengths never match, and plain ASCII names need no folding.
bool sameName(QByteArrayView candidate, QByteArrayView wanted)
{
    candidate = candidate.trimmed();
    wanted = wanted.trimmed();
    if (candidate.size() != wanted.size())
        return false;
    if (qstrnicmp(candidate.data(), candidate.size(), wanted.data(), wanted.size()) == 0)
        return true;
    if (isAscii(candidate) && isAscii(wanted))
        return false;
    return Cp1252::toUnicode(candidate.toByteArray()).toCaseFolded() ==
           Cp1252::toUnicode(wanted.toByteArray()).toCaseFolded();
}

bool isSectionHeader(QByteArrayView line, QByteArrayView* name)
{
    const QByteArrayView trimmed = line.trimmed();
    if (!trimmed.startsWith('['))
        return false;
    const qsizetype end = trimmed.indexOf(']');
    *name = (end < 0 ? trimmed.sliced(1) : trimmed.sliced(1, end - 1)).trimmed();
    return true;
}

// A key line is "key=value"; section headers and ';' comments are not.
qsizetype separatorOf(QByteArrayView line)
{
    const QByteArrayView trimmed = line.trimmed();
    if (trimmed.startsWith('[') || trimmed.startsWith(';'))
        return -1;
    return line.indexOf('=');
}

bool isQuoted(const QByteArray& value)
{
    return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
}

QByteArray readBack(const QByteArray& stored)
{
    const QByteArray trimmed = stored.trimmed();
    return isQuoted(trimmed) ? trimmed.mid(1, trimmed.size() - 2) : trimmed;
}

// Reading strips outer blanks and one pair of quotes, so such values are
// written in quotes to come back exactly as they went in.
QByteArray storedForm(const QByteArray& value)
{
    if (!value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()) || isQuoted(value)))
        return '"' + value + '"';
    return value;
}

bool fitsOnOneLine(const QByteArray& text)
{
    return !text.contains('\n') && !text.contains('\r') && !text.contains('\0');
}

bool parseLeadingInteger(const QByteArray& text, int* result)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == '-' || text.at(i) == '+'))
        negative = text.at(i++) == '-';
    const qsizetype firstDigit = i;
    qint64 magnitude = 0;
    for (; i < text.size() && text.at(i) >= '0' && text.at(i) <= '9'; ++i) {
        magnitude = magnitude * 10 + (text.at(i) - '0');
        if (magnitude > qint64(std::numeric_limits<int>::max()) + 1)
            return false;
    }
    if (i == firstDigit)
        return false;
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int>::max())
        return false;
    *result = int(value);
    return true;
}

} // namespace

IniFile::IniFile(const QString& path) : m_path(path), m_lineEnd(QByteArrayLiteral("\n"))
{
    QFile file(path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        // Rewriting a file we could not read would lose everything in it.
        m_unreadable = true;
        m_error = file.errorString();
        return;
    }
    const QByteArray content = file.readAll();
    const qsizetype firstBreak = content.indexOf('\n');
    if (firstBreak > 0 && content.at(firstBreak - 1) == '\r')
        m_lineEnd = QByteArrayLiteral("\r\n");
    if (content.isEmpty())
        return;
    m_lines = content.split('\n');
    if (content.endsWith('\n'))
        m_lines.removeLast();
    for (QByteArray& line : m_lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
}

IniFile::~IniFile()
{
    flush();
}

IniFile::Location IniFile::locate(const QByteArray& section, const QByteArray& key) const
{
    Location where;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QByteArray& line = m_lines.at(i);
        QByteArrayView name;
        if (isSectionHeader(line, &name)) {
            // Only the first section of that name counts, as on Windows.
            if (where.sectionLine >= 0)
                break;
            if (sameName(name, section)) {
                where.sectionLine = i;
                where.insertAt = i + 1;
            }
            continue;
        }
        if (where.sectionLine < 0)
            continue;
        const qsizetype separator = separatorOf(line);
        if (separator < 0)
            continue;
        where.insertAt = i + 1;
        if (sameName(QByteArrayView(line).first(separator), key)) {
            where.keyLine = i;
            break;
        }
    }
    return where;
}

QByteArray IniFile::readString(const QByteArray& section, const QByteArray& key, const QByteArray& defaultValue) const
{
    const Location where = locate(section, key);
    if (where.keyLine < 0)
        return defaultValue;
    const QByteArray& line = m_lines.at(where.keyLine);
    return readBack(line.mid(separatorOf(line) + 1));
}

int IniFile::readInteger(const QByteArray& section, const QByteArray& key, int defaultValue) const
{
    if (!hasKey(section, key))
        return defaultValue;
    int value = 0;
    return parseLeadingInteger(readString(section, key), &value) ? value : defaultValue;
}

bool IniFile::hasKey(const QByteArray& section, const QByteArray& key) const
{
    return locate(section, key).keyLine >= 0;
}

bool IniFile::writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value)
{
    const QByteArray sectionName = section.trimmed();
    const QByteArray keyName = key.trimmed();
    if (sectionName.isEmpty() || sectionName.contains(']') || !fitsOnOneLine(sectionName) || keyName.isEmpty() ||
        keyName.contains('=') || keyName.startsWith('[') || keyName.startsWith(';') || !fitsOnOneLine(keyName) ||
        !fitsOnOneLine(value))
        return false;

    const Location where = locate(sectionName, keyName);
    if (where.keyLine >= 0) {
        // Keep the key as the file spells it; only the value changes.
        QByteArray& line = m_lines[where.keyLine];
        const QByteArray replaced = line.left(separatorOf(line) + 1) + storedForm(value);
        if (replaced == line)
            return true;
        line = replaced;
    } else {
        const QByteArray line = keyName + '=' + storedForm(value);
        if (where.sectionLine >= 0) {
            m_lines.insert(where.insertAt, line);
        } else {
            if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
                m_lines.append(QByteArray());
            m_lines.append('[' + sectionName + ']');
            m_lines.append(line);
        }
    }
    m_modified = true;
    return true;
}

bool IniFile::writeInteger(const QByteArray& section, const QByteArray& key, int value)
{
    return writeString(section, key, QByteArray::number(value));
}

bool IniFile::flush()
{
    if (!m_modified)
        return true;
    if (m_unreadable) {
        m_error = QStringLiteral("%1 exists but could not be read; it is left untouched").arg(m_path);
        return false;
    }
    QByteArray content;
    for (const QByteArray& line : std::as_const(m_lines))
        content += line + m_lineEnd;

    // A crash or kill mid-save leaves the old version.
    if (!writeFileAtomically(m_path, content, &m_error))
        return false;
    m_modified = false;
    m_error.clear();
    return true;
}
