#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// A name list as the agenda server serves it ("sda.ini": direct-inward number
// to line label, "tel.ini": telephone number to name): one row per line, key
// before the first '=', value after it, bytes kept exactly (no trimming). Lines
// end in CR LF, LF or CR; a NUL byte ends the list. Despite the extension there
// are no sections.
class NameList
{
public:
    struct Row
    {
        QByteArray key;
        QByteArray value;
        bool hasSeparator = false; // a line without '=' is a row that no lookup finds
    };

    // Replaces every row with the lines of content.
    void load(const QByteArray& content);
    // Replaces every row with the lines of the file. False, with the rows left
    // as they were, when the file cannot be opened or read.
    bool loadFile(const QString& path);
    void clear();

    // The value of the first row whose key equals key without regard to letter
    // case; empty when there is none (an empty result means no name is known).
    QByteArray value(const QByteArray& key) const;
    qsizetype rowCount() const { return m_rows.size(); }
    const Row& row(qsizetype index) const { return m_rows.at(index); }

private:
    QList<Row> m_rows;
    QHash<QString, qsizetype> m_firstRowByFoldedKey;
};
