#pragma once

#include <QByteArray>
#include <QString>

// The user's XDG autostart entry for the program: a desktop entry named
// "corvaline.desktop" in "$XDG_CONFIG_HOME/autostart" (by default
// "~/.config/autostart"), which the desktop session reads at login to start
// the program. Writing it replaces the whole file at once; removing it leaves
// the rest of the folder alone.
class AutostartEntry
{
public:
    static const QString FileName;

    // The entry of the user running the program.
    AutostartEntry();
    explicit AutostartEntry(const QString& path);

    // "$XDG_CONFIG_HOME/autostart/corvaline.desktop"; an unset, empty or
    // relative XDG_CONFIG_HOME counts as "~/.config", as the XDG base
    // directory rules say.
    static QString userPath();
    QString path() const { return m_path; }

    bool exists() const;
    // Writes the entry that starts program (an absolute path), creating the
    // folder when missing. False, with a French explanation in error, when the
    // entry could not be written; an entry already there then stays as it was.
    bool write(const QString& program, QString* error = nullptr) const;
    // Removes the entry; no entry is not an error. False, with a French
    // explanation in error, when it is still there.
    bool remove(QString* error = nullptr) const;

    // The desktop entry's text for program: its Exec line quoted as the
    // desktop entry rules ask for paths with blanks, quotes or dollars.
    static QByteArray content(const QString& program);

private:
    QString m_path;
};
