#pragma once

#include <QString>

// The folder that holds "serie.ini", "sda.ini", "tel.ini" and the daily
// journals. In order of preference:
//  - the folder named by the environment variable CORVALINE_DATA_DIR when it is
//    set and not empty (created when missing, readable by the user only);
//  - for an installed program (its folder is the "bin" of an installation that
//    holds the program's desktop entry), the per-user configuration folder
//    "$XDG_CONFIG_HOME/corvaline", by default "~/.config/corvaline" (created
//    when missing, readable by the user only);
//  - otherwise the folder of the running executable when it is writable, and
//    the per-user configuration folder when it is not.
// An installed program is recognised by where it lies, not by what it may
// write: root, or a group with write access to the installation's "bin", gets
// the same folder as everyone, and it does not move when permissions change.
// The choice is made at every call, so a change of the variable takes effect.
class DataFolder
{
public:
    // The folder, always ending with '/'.
    static QString path();
    // path() followed by the file name.
    static QString filePath(const QString& name);

    // The folder path() gives a program that lies in programFolder, without
    // looking at CORVALINE_DATA_DIR.
    static QString pathForProgramIn(const QString& programFolder);
    // The per-user configuration folder, created when missing.
    static QString userFolder();
};
