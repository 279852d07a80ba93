#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

// A plain blocking POSIX peer on 127.0.0.1: accepts one connection on a port
// chosen by the system and runs a script on it in its own thread, so that the
// socket under test meets a peer that shares none of its code.
class PlainPeer
{
public:
    explicit PlainPeer(std::function<void(int fd)> script);
    ~PlainPeer();
    PlainPeer(const PlainPeer&) = delete;
    PlainPeer& operator=(const PlainPeer&) = delete;

    uint16_t Port() const { return m_port; }
    bool Finished() const { return m_finished.load(); }

private:
    int m_listener = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};

// A port bound on 127.0.0.1 without listening: connections to it are refused.
class RefusingPort
{
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    uint16_t Port() const { return m_port; }

private:
    int m_fd = -1;
    uint16_t m_port = 0;
};

// A port of 127.0.0.1 that was free a moment ago, for servers that must be told their port.
uint16_t FreeLoopbackPort();

// Blocking helpers for peer scripts.
bool SendAll(int fd, const char* data, size_t len);
// Reads until len bytes arrived or the connection ended; returns the count read.
size_t ReadFully(int fd, char* data, size_t len);
