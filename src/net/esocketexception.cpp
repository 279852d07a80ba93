#include "net/esocketexception.h"

ESocketException::ESocketException(const QByteArray& message) : std::runtime_error(message.toStdString()) {}
