#include "supervision/managermessages.h"

namespace ManagerMessages {

QByteArray withoutNul(QByteArrayView received)
{
    QByteArray text = received.toByteArray();
    text.removeIf([](char c) { return c == '\0'; });
    return text;
}

void forEach(QByteArrayView text, const std::function<void(QByteArrayView message)>& visit)
{
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = text.indexOf("\r\n\r\n", start);
        end = end < 0 ? text.size() : end + 4;
        visit(text.sliced(start, end - start));
        start = end;
    }
}

QByteArrayView headerValue(QByteArrayView message, QByteArrayView name)
{
    for (qsizetype start = 0; start < message.size();) {
        qsizetype end = message.indexOf('\n', start);
        if (end < 0)
            end = message.size();
        QByteArrayView line = message.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > name.size() && line.at(name.size()) == ':' &&
            line.first(name.size()).compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(name.size() + 1).trimmed();
        start = end + 1;
    }
    return {};
}

} // namespace ManagerMessages
