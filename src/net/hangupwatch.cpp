#include "net/hangupwatch.h"

#include <QSocketNotifier>

#include <sys/epoll.h>
#include <unistd.h>
#include <utility>

HangUpWatch::HangUpWatch(std::function<void()> hungUp, QObject* parent) : QObject(parent), m_hungUp(std::move(hungUp))
{}

HangUpWatch::~HangUpWatch()
{
    if (m_set >= 0)
        ::close(m_set);
}

bool HangUpWatch::arm(int handle)
{
    if (m_set < 0) {
        m_set = ::epoll_create1(EPOLL_CLOEXEC);
        if (m_set < 0)
            return false;
        m_notifier = new QSocketNotifier(m_set, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &HangUpWatch::takeReport);
    }
    epoll_event interest{};
    interest.events = EPOLLRDHUP | EPOLLONESHOT;
    interest.data.fd = handle;
    // The set holds one handle at most: a new one replaces the last.
    if (m_handle != handle)
        disarm();
    // A handle that was closed has left the set by itself, even under the same number.
    if (::epoll_ctl(m_set, EPOLL_CTL_MOD, handle, &interest) < 0 &&
        ::epoll_ctl(m_set, EPOLL_CTL_ADD, handle, &interest) < 0)
        return false;
    m_handle = handle;
    m_notifier->setEnabled(true);
    return true;
}

void HangUpWatch::disarm()
{
    if (m_handle < 0)
        return;
    // The handle may already be closed, which took it out of the set.
    ::epoll_ctl(m_set, EPOLL_CTL_DEL, m_handle, nullptr);
    m_handle = -1;
    m_notifier->setEnabled(false);
}

void HangUpWatch::takeReport()
{
    epoll_event report{};
    if (::epoll_wait(m_set, &report, 1, 0) != 1)
        return;
    m_hungUp();
}
