#pragma once

#include <QByteArray>
#include <QString>

// Writes a whole file in one go: to a temporary file in the same folder,
// renamed over the old one only once complete, so that a reader or a crash
// never sees half a file. The file gets mode 0600 (the program's files hold a
// manager secret and the numbers of callers). False, with the reason in error
// when given, when the file could not be written; the old version then stays.
bool writeFileAtomically(const QString& path, const QByteArray& content, QString* error = nullptr);
