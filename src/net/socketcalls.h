#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>

// The system calls of the socket layer, in one place. Each is retried while a
// signal interrupts it; a call that fails returns -1 and leaves its Winsock
// code for lastError(), to be read before the next call.
namespace SocketCalls {

// The Winsock code of the last failed call of this thread.
int lastError();

// A non-blocking, close-on-exec IPv4 socket.
int open(int type, int protocol);
int bind(int handle, const sockaddr_in& address);
int listen(int handle, int backlog);
// A non-blocking, close-on-exec socket for the next pending connection.
int accept(int handle, sockaddr_in& peer, socklen_t& length);
// 0 when the connection is made or under way (completion shows as writability).
int connect(int handle, const sockaddr_in& address);
ssize_t send(int handle, const void* data, size_t length, int flags);
ssize_t sendTo(int handle, const void* data, size_t length, int flags, const sockaddr_in& destination,
               socklen_t destinationLength);
ssize_t receive(int handle, void* buffer, size_t size, int flags);
ssize_t receiveFrom(int handle, void* buffer, size_t size, sockaddr_in& from, socklen_t& fromLength);
// The number of bytes waiting to be read (FIONREAD).
int bytesWaiting(int handle, int& count);
// The Winsock code of the outcome of a non-blocking connect (SO_ERROR).
int pendingError(int handle);
int setOption(int handle, int level, int option, const void* value, socklen_t length);
// SOCK_STREAM or SOCK_DGRAM, for a handle made elsewhere.
int socketType(int handle, int& type);
int makeNonBlocking(int handle);
int localAddress(int handle, sockaddr_in& address, socklen_t& length);
int peerAddress(int handle, sockaddr_in& address, socklen_t& length);
int shutdown(int handle, int how);
// Closes the handle; interrupted, it is closed all the same, as Linux always
// releases the descriptor.
int close(int handle);

} // namespace SocketCalls
