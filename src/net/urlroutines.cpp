#include "net/urlroutines.h"

#include <QDateTime>
#include <cstdio>

namespace {

bool IsSchemeChar(char c)
{
    return c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
}

bool IsScheme(const QByteArray& text)
{
    for (const char c : text) {
        if (!IsSchemeChar(c))
            return false;
    }
    return true;
}

// The current path up to and including its last "/", or "/" when it has none.
QByteArray CurrentDirectory(const QByteArray& currentPath)
{
    const qsizetype slash = currentPath.lastIndexOf('/');
    return slash < 0 ? QByteArrayLiteral("/") : currentPath.left(slash + 1);
}

QByteArray ParentDirectory(const QByteArray& directory)
{
    if (directory == "/")
        return directory;
    const QByteArray withoutSlash = directory.chopped(1);
    const qsizetype slash = withoutSlash.lastIndexOf('/');
    return slash < 0 ? QByteArrayLiteral("/") : withoutSlash.left(slash + 1);
}

void SplitCredentials(const QByteArray& credentials, TUrlParts& parts)
{
    const qsizetype colon = credentials.indexOf(':');
    if (colon < 0) {
        parts.user = credentials;
        return;
    }
    parts.user = credentials.left(colon);
    parts.password = credentials.mid(colon + 1);
}

void SplitHostPart(const QByteArray& hostPart, TUrlParts& parts)
{
    qsizetype pathStart = hostPart.size();
    for (qsizetype i = 0; i < hostPart.size(); ++i) {
        if (hostPart.at(i) == '/' || hostPart.at(i) == '?') {
            pathStart = i;
            break;
        }
    }
    parts.path = hostPart.mid(pathStart);
    const QByteArray rest = hostPart.left(pathStart);
    const int colon = LastPos(':', rest);
    const int at = LastPos('@', rest);
    if (colon == 0 && at == 0) {
        parts.host = rest;
    } else if (colon > at) {
        parts.port = rest.mid(colon);
        parts.host = rest.mid(at, colon - at - 1);
        if (at > 0)
            SplitCredentials(rest.left(at - 1), parts);
    } else {
        parts.host = rest.mid(at);
        SplitCredentials(rest.left(at - 1), parts);
    }
}

} // namespace

TUrlParts SplitUrl(const QByteArray& url, const QByteArray& currentPath)
{
    TUrlParts parts;
    if (url.isEmpty())
        return parts;
    if (url.startsWith("./")) {
        parts.path = CurrentDirectory(currentPath) + url.mid(2);
        return parts;
    }
    if (url.startsWith("../")) {
        QByteArray directory = CurrentDirectory(currentPath);
        QByteArray rest = url;
        while (rest.startsWith("../")) {
            directory = ParentDirectory(directory);
            rest = rest.mid(3);
        }
        parts.path = directory + rest;
        return parts;
    }

    const QByteArray lower5 = url.left(5).toLower();
    const qsizetype separator = url.indexOf("://");
    qsizetype hostStart = 0;
    if (separator >= 0 && IsScheme(url.left(separator))) {
        parts.scheme = url.left(separator);
        hostStart = separator + 3;
    } else if (url.startsWith('/') && url.size() > 1 && url.at(1) != '/') {
        parts.scheme = "http";
        parts.path = url;
        return parts;
    } else if (url.startsWith("//") || url == "/") {
        parts.scheme = "http";
        hostStart = 1;
    } else if (lower5 == "http:" && url.size() > 6 && url.at(6) != '/') {
        parts.scheme = "http";
        parts.path = url.mid(5);
        return parts;
    } else if (lower5 == "http:") {
        parts.scheme = "http";
        hostStart = 6;
    } else if (url.left(7).toLower() == "mailto:") {
        parts.scheme = "mailto";
        hostStart = url.indexOf(':') + 1;
    }
    SplitHostPart(url.mid(hostStart), parts);
    return parts;
}

int LastPos(char c, const QByteArray& text)
{
    return static_cast<int>(text.lastIndexOf(c) + 1);
}

QByteArray UrlDirectory(const QByteArray& text)
{
    const qsizetype query = text.indexOf('?');
    const QByteArray head = query < 0 ? text : text.left(query);
    const qsizetype last = qMax(head.lastIndexOf('/'), head.lastIndexOf(':'));
    return last < 0 ? QByteArray() : head.left(last + 1);
}

QByteArray ChangeExt(const QByteArray& name, const QByteArray& ext)
{
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0)
        return name + '.' + ext;
    return name.left(dot + 1) + ext;
}

QByteArray EncodeText(const QByteArray& text)
{
    return text.toBase64();
}

QByteArray HttpDate(const QDateTime& value)
{
    static const char days[] = "MonTueWedThuFriSatSun";
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const QDate date = value.date();
    const QTime time = value.time();
    if (!date.isValid())
        return QByteArray();
    char text[64];
    std::snprintf(text, sizeof text, "%.3s, %2.2d %.3s %4.4d %2.2d:%2.2d:%2.2d", days + 3 * (date.dayOfWeek() - 1),
                  date.day(), months + 3 * (date.month() - 1), date.year(), time.hour(), time.minute(), time.second());
    return QByteArray(text);
}

QByteArray DefaultPort(const QByteArray& scheme)
{
    return scheme.compare("https", Qt::CaseInsensitive) == 0 ? QByteArrayLiteral("443") : QByteArrayLiteral("80");
}
