#include "supervision/managermessages.h"

namespace ManagerMessages {

QByteArray withoutNul(QByteArrayView received)
{
    QByteArray text = received.toByteArray();
    text.removeIf([](char c) { return c == '\0'; });
    return text;
}

} // namespace ManagerMessages
