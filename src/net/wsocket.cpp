#include "net/wsocket.h"

TWSocket::TWSocket(QObject* owner) : TCustomWSocket(owner) {}
