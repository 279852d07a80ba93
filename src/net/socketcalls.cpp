#include "net/socketcalls.h"

#include "net/winsockerror.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace SocketCalls {

namespace {

// Runs the call again while a signal interrupts it.
template <typename Call> auto retried(Call call)
{
    decltype(call()) result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

const sockaddr* asAddress(const sockaddr_in& address)
{
    return reinterpret_cast<const sockaddr*>(&address);
}

sockaddr* asAddress(sockaddr_in& address)
{
    return reinterpret_cast<sockaddr*>(&address);
}

} // namespace

int lastError()
{
    return winsockErrorFromPosix(errno);
}

int open(int type, int protocol)
{
    return ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
}

int bind(int handle, const sockaddr_in& address)
{
    return ::bind(handle, asAddress(address), sizeof address);
}

int listen(int handle, int backlog)
{
    return ::listen(handle, backlog);
}

int accept(int handle, sockaddr_in& peer, socklen_t& length)
{
    return retried([&] { return ::accept4(handle, asAddress(peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC); });
}

int connect(int handle, const sockaddr_in& address)
{
    // An interrupted connect goes on by itself; calling it again would only
    // report that it is already under way.
    if (::connect(handle, asAddress(address), sizeof address) == 0 || errno == EINPROGRESS || errno == EINTR)
        return 0;
    return -1;
}

ssize_t send(int handle, const void* data, size_t length, int flags)
{
    return retried([&] { return ::send(handle, data, length, flags | MSG_NOSIGNAL); });
}

ssize_t sendTo(int handle, const void* data, size_t length, int flags, const sockaddr_in& destination,
               socklen_t destinationLength)
{
    return retried([&] {
        return ::sendto(handle, data, length, flags | MSG_NOSIGNAL, asAddress(destination), destinationLength);
    });
}

ssize_t receive(int handle, void* buffer, size_t size, int flags)
{
    return retried([&] { return ::recv(handle, buffer, size, flags); });
}

ssize_t receiveFrom(int handle, void* buffer, size_t size, sockaddr_in& from, socklen_t& fromLength)
{
    return retried([&] { return ::recvfrom(handle, buffer, size, 0, asAddress(from), &fromLength); });
}

int bytesWaiting(int handle, int& count)
{
    count = 0;
    return ::ioctl(handle, FIONREAD, &count);
}

int pendingError(int handle)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
        return lastError();
    return winsockErrorFromPosix(error);
}

int setOption(int handle, int level, int option, const void* value, socklen_t length)
{
    return ::setsockopt(handle, level, option, value, length);
}

int socketType(int handle, int& type)
{
    socklen_t length = sizeof type;
    return ::getsockopt(handle, SOL_SOCKET, SO_TYPE, &type, &length);
}

int makeNonBlocking(int handle)
{
    const int flags = ::fcntl(handle, F_GETFL);
    return flags < 0 ? flags : ::fcntl(handle, F_SETFL, flags | O_NONBLOCK);
}

int localAddress(int handle, sockaddr_in& address, socklen_t& length)
{
    return ::getsockname(handle, asAddress(address), &length);
}

int peerAddress(int handle, sockaddr_in& address, socklen_t& length)
{
    return ::getpeername(handle, asAddress(address), &length);
}

int shutdown(int handle, int how)
{
    return ::shutdown(handle, how);
}

int close(int handle)
{
    if (::close(handle) == 0 || errno == EINTR)
        return 0;
    return -1;
}

} // namespace SocketCalls
