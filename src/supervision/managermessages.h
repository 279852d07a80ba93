#pragma once

#include <QByteArrayView>

#include <functional>

// Whole manager messages in a hand-over of received text: each ends with an
// empty line, or with the text.
namespace ManagerMessages {

void forEach(QByteArrayView text, const std::function<void(QByteArrayView message)>& visit);

// The value of the message's first header of that name (any case), trimmed of
// blanks; empty when absent.
QByteArrayView headerValue(QByteArrayView message, QByteArrayView name);

} // namespace ManagerMessages
