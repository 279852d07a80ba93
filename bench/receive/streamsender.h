#pragma once

#include <QByteArray>

#include <atomic>
#include <future>
#include <thread>

// The far end of the benchmark's manager session: listens on a loopback port
// of its own and, from a thread of its own (as a PBX on another machine would),
// writes the whole text to the first client as fast as the socket takes it,
// then closes. What the client sends is read and dropped. Every wait is bounded.
class StreamSender
{
public:
    explicit StreamSender(QByteArray text);
    ~StreamSender();

    StreamSender(const StreamSender&) = delete;
    StreamSender& operator=(const StreamSender&) = delete;

    // Starts listening on 127.0.0.1, port 0; gives the port, 0 when it failed.
    quint16 start();

    bool accepted() const { return m_accepted; }
    qint64 sentBytes() const { return m_sent; }
    bool completed() const { return m_completed; }

private:
    void run(std::promise<quint16> port);

    QByteArray m_text;
    std::thread m_thread;
    std::atomic<bool> m_accepted = false;
    std::atomic<qint64> m_sent = 0;
    std::atomic<bool> m_completed = false;
};
