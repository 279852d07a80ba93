#pragma once

#include <QByteArray>

class QDateTime;

// Text routines of the HTTP client: URL splitting, path helpers, Base64 of
// credentials and the date of an "If-Modified-Since: " line. Positions are
// counted from 1, as in every text routine of the system.

struct TUrlParts
{
    QByteArray scheme;
    QByteArray user;
    QByteArray password;
    QByteArray host;
    QByteArray port;
    QByteArray path;
};

// Splits a URL; "./x" and "../x" are resolved against the directory of currentPath.
TUrlParts SplitUrl(const QByteArray& url, const QByteArray& currentPath = QByteArray());

// The port of a scheme when the URL names none: "443" for https, "80" otherwise.
QByteArray DefaultPort(const QByteArray& scheme);

// Position (from 1) of the last occurrence of c in text, 0 when there is none.
int LastPos(char c, const QByteArray& text);

// The text up to and including the last "/" or ":" before the first "?"; empty when there is none.
QByteArray UrlDirectory(const QByteArray& text);

// name with its extension replaced by ext (added when name has no ".").
QByteArray ChangeExt(const QByteArray& name, const QByteArray& ext);

// Standard Base64 with "=" fill, no line breaks.
QByteArray EncodeText(const QByteArray& text);

// "Sun, 06 Dec 2026 21:22:27" from the value as given (no conversion to universal time).
QByteArray HttpDate(const QDateTime& value);
