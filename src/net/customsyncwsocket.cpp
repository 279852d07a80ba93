#include "net/customsyncwsocket.h"

#include "net/quitrequest.h"

#include <QCoreApplication>

int TCustomSyncWSocket::RunAndWait(bool& flag, const std::function<void()>& start)
{
    flag = false;
    if (start)
        start();
    return WaitForFlag(flag);
}

int TCustomSyncWSocket::WaitForFlag(bool& flag)
{
    const QDeadlineTimer deadline =
        m_waitTimeout > 0 ? QDeadlineTimer(m_waitTimeout) : QDeadlineTimer(QDeadlineTimer::Forever);
    const HandlerGuard guard(this);
    while (!flag) {
        if (deadline.hasExpired() || QCoreApplication::closingDown() || QuitRequest::raised() || !guard.alive())
            return WaitGaveUp;
        AwaitEvents(deadline);
    }
    return 0;
}
