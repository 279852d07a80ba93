#include "net/wsocket.h"

TWSocket::TWSocket(QObject* owner) : TCustomSyncWSocket(owner) {}
