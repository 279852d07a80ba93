// Pausing a TCustomWSocket's events, pumping the event loop, and the
// operations that wait until all is sent or the connection is closed.
#include "net/customwsocket.h"

#include "net/quitrequest.h"
#include "net/socketcalls.h"
#include "net/socketnotifywindow.h"
#include "net/winsockerror.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>

void TCustomWSocket::Flush()
{
    const HandlerGuard guard(this);
    const auto sending = [&] { return guard.alive() && m_hSocket != INVALID_SOCKET && !m_allSent; };
    while (sending()) {
        TryToSend();
        // What is left goes at the next write notification, which wakes the
        // wait; a program asked to quit does not wait on a peer that reads nothing.
        if (!sending() || QuitRequest::raised())
            return;
        AwaitEvents(QDeadlineTimer::Forever);
    }
}

void TCustomWSocket::WaitUntilClosed()
{
    const HandlerGuard guard(this);
    const auto open = [&] {
        return guard.alive() && m_hSocket != INVALID_SOCKET && m_state != wsClosed && !QuitRequest::raised();
    };
    while (open()) {
        int count = 0;
        if (SocketCalls::bytesWaiting(m_hSocket, count) < 0)
            return;
        if (count > 0) {
            DoDataAvailable(0);
            if (!open())
                return;
        }
        // Winsock's zero-length recv tells "still open" (would block) from "closed";
        // a one-byte peek does that here.
        char probe = 0;
        const int result = RawReceive(&probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (result == 0 || (result < 0 && WinsockError() != WSAEWOULDBLOCK))
            return;
        // Data, the peer's close (even with bytes left unread) or any other
        // event of the loop wakes the wait.
        m_window->WatchHangUp();
        AwaitEvents(QDeadlineTimer::Forever);
    }
}

void TCustomWSocket::AwaitEvents(const QDeadlineTimer& deadline)
{
    // The loop sleeps until an event comes; a timer makes the deadline one.
    QTimer wake;
    if (!deadline.isForever()) {
        wake.setSingleShot(true);
        wake.start(std::chrono::milliseconds(std::max<qint64>(deadline.remainingTime(), 0)));
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

int TCustomWSocket::PauseEvents()
{
    m_paused = true;
    m_window->SetReadEnabled(false);
    m_window->SetWriteEnabled(false);
    return 0;
}

int TCustomWSocket::ResumeEvents()
{
    m_paused = false;
    RearmRead();
    if (m_writeWanted)
        m_window->SetWriteEnabled(true);
    return 0;
}

void TCustomWSocket::PumpMessages()
{
    // Both settings pump the creating thread's own queue: Qt keeps one per thread.
    QCoreApplication::processEvents();
}
