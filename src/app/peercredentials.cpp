#include "app/peercredentials.h"

#include <sys/socket.h>
#include <unistd.h>

bool peerIsThisUser(qintptr socketDescriptor)
{
    struct ucred peer
    {
    };
    socklen_t size = sizeof peer;
    if (::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof peer)
        return false;
    return peer.uid == geteuid();
}
