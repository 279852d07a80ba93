#pragma once

#include <QString>

// The folder that holds "serie.ini", "sda.ini", "tel.ini" and the daily
// journals. In order of preference:
//  - the folder named by the environment variable CORVALINE_DATA_DIR when it is
//    set and not empty (created when missing);
//  - the folder of the running executable, when it is writable;
//  - the per-user configuration folder (created when missing), for a
//    system-wide install whose program folder is read-only.
// The choice is made at every call, so a change of the variable takes effect.
class DataFolder
{
public:
    // The folder, always ending with '/'.
    static QString path();
    // path() followed by the file name.
    static QString filePath(const QString& name);
};
