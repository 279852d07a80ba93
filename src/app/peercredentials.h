#pragma once

#include <QtGlobal>

// True when the process at the other end of the connected local socket runs
// under this process's user id (the kernel's record of it, SO_PEERCRED): for a
// listener, the id it had when it began to listen; for a client, when it
// connected.
bool peerIsThisUser(qintptr socketDescriptor);
