#pragma once

#include <QString>

// The folder for this user's click-to-dial socket and lock: names there can be
// neither created nor reached by another local user. $XDG_RUNTIME_DIR when it
// is such a folder, else "corvaline-<user id>" in the temporary folder, made
// with mode 0700 when missing. A folder found there is used only when it is a
// real folder of this user, with no access for anyone else: another user may
// have made it first.
class PrivateRuntimeFolder
{
public:
    // The folder's path; empty, with the reason in *reason, when no private
    // folder can be had.
    static QString path(QString* reason);

    static bool isPrivate(const QString& path);
};
