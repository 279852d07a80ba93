#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Tells when the peer of a connected socket has closed its side, whatever
// the read notification is doing: a handler that leaves received bytes unread
// stops read notifications, and with them the only sign of a later close.
// One report per arming (the watch is an epoll set with EPOLLRDHUP, one-shot).
class HangUpWatch : public QObject
{
public:
    explicit HangUpWatch(std::function<void()> hungUp, QObject* parent = nullptr);
    ~HangUpWatch() override;

    // Reports the next hang-up of this handle; false when the system refuses.
    bool arm(int handle);
    void disarm();

private:
    void takeReport();

    std::function<void()> m_hungUp;
    int m_set = -1;
    int m_handle = -1;
    QSocketNotifier* m_notifier = nullptr;
};
