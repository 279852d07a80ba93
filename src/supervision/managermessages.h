#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

// Whole manager messages in a hand-over of received text: each ends with an
// empty line, or with the text.
namespace ManagerMessages {

// The longest line the program takes from a manager. Real managers write lines
// of a few hundred bytes (a long dialplan variable stays under a few
// kilobytes); a longer line is no manager talking, and reading it would cost
// memory and time without bound.
constexpr qsizetype MaxLineLength = 64 * 1024;

// Received text as it is read everywhere: a NUL byte carries nothing, so it is
// taken out and every other byte is kept (a NUL must not hide the events after
// it).
QByteArray withoutNul(QByteArrayView received);

void forEach(QByteArrayView text, const std::function<void(QByteArrayView message)>& visit);

// The value of the message's first header of that name (any case), trimmed of
// blanks; empty when absent.
QByteArrayView headerValue(QByteArrayView message, QByteArrayView name);

} // namespace ManagerMessages
