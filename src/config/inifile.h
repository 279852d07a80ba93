#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// An INI file with the semantics of the Windows private-profile functions:
//  - section and key names are compared without regard to letter case, and the
//    blanks around them are ignored;
//  - a value is read without its surrounding blanks and, when it is enclosed in
//    a pair of matching quotes, without them; a key that is present with an
//    empty value reads as empty text, not as the default;
//  - a write replaces that one line and keeps every other line of the file as it
//    was (comments, unknown sections and keys, their order); a new key goes at
//    the end of its section, a new section at the end of the file.
// Values are CP1252 bytes and are stored unchanged (a value that would not read
// back as written, because of outer blanks or quotes, is written in quotes).
//
// The file is read once, on construction, and kept in memory; writes change the
// memory copy, and flush() writes the whole file in one go when something
// changed: to a temporary file in the same folder, renamed over the old one, so
// that a reader or a crash never sees half a file. The file gets mode 0600,
// since it holds the manager secret. The destructor flushes what is left. A
// file that exists but cannot be read is never overwritten.
class IniFile
{
public:
    explicit IniFile(const QString& path);
    ~IniFile();

    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    QString path() const { return m_path; }

    // The value of the key, or defaultValue when the section or key is absent.
    QByteArray readString(const QByteArray& section, const QByteArray& key,
                          const QByteArray& defaultValue = QByteArray()) const;
    // The value read as a decimal integer, like GetPrivateProfileInt: optional
    // sign and leading digits, the rest ignored. A missing key, a value that
    // does not start with digits, or a number out of range gives defaultValue.
    int readInteger(const QByteArray& section, const QByteArray& key, int defaultValue) const;
    bool hasKey(const QByteArray& section, const QByteArray& key) const;

    // Sets the key in memory. False (and nothing changed) when the names or the
    // value cannot be stored on one line: a line break or NUL anywhere, an
    // empty or '='-bearing key, a section name with ']' or empty.
    bool writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value);
    bool writeInteger(const QByteArray& section, const QByteArray& key, int value);

    bool isModified() const { return m_modified; }
    // Writes the file when something changed since the last flush. False when
    // the file could not be written; the changes are then kept in memory.
    bool flush();
    // Why the last flush failed.
    QString errorString() const { return m_error; }

private:
    struct Location
    {
        qsizetype sectionLine = -1; // header line of the section, -1 when absent
        qsizetype keyLine = -1;     // line of the key, -1 when absent
        qsizetype insertAt = -1;    // where a new key of that section would go
    };

    Location locate(const QByteArray& section, const QByteArray& key) const;

    QString m_path;
    QList<QByteArray> m_lines;
    QByteArray m_lineEnd;
    bool m_modified = false;
    bool m_unreadable = false; // the file exists but could not be read: never overwrite it
    QString m_error;
};
