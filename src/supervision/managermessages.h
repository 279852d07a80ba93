#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The rules of received manager text that every reader of it shares.
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

} // namespace ManagerMessages
