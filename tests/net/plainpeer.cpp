#include "plainpeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int BoundLoopbackSocket(uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

} // namespace

PlainPeer::PlainPeer(std::function<void(int fd)> script)
{
    m_listener = BoundLoopbackSocket(m_port);
    ::listen(m_listener, 1);
    m_thread = std::thread([this, script = std::move(script)] {
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, 20000) == 1) {
            const int fd = ::accept(m_listener, nullptr, nullptr);
            if (fd >= 0) {
                script(fd);
                ::close(fd);
            }
        }
        m_finished = true;
    });
}

PlainPeer::~PlainPeer()
{
    ::shutdown(m_listener, SHUT_RDWR);
    m_thread.join();
    ::close(m_listener);
}

// Assigned in the body: a member initializer would run before m_port's own and the port would be lost.
RefusingPort::RefusingPort()
{
    m_fd = BoundLoopbackSocket(m_port);
}

RefusingPort::~RefusingPort()
{
    ::close(m_fd);
}

uint16_t FreeLoopbackPort()
{
    uint16_t port = 0;
    ::close(BoundLoopbackSocket(port));
    return port;
}

bool SendAll(int fd, const char* data, size_t len)
{
    while (len > 0) {
        const ssize_t sent = ::send(fd, data, len, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        len -= static_cast<size_t>(sent);
    }
    return true;
}

size_t ReadFully(int fd, char* data, size_t len)
{
    size_t done = 0;
    while (done < len) {
        const ssize_t got = ::recv(fd, data + done, len - done, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}
