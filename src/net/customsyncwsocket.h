#pragma once

#include "net/customlinewsocket.h"

#include <functional>

// The wait operations: the caller's code runs on while the socket's events
// keep coming, until a flag that an event handler sets is set.
class TCustomSyncWSocket : public TCustomLineWSocket
{
public:
    using TCustomLineWSocket::TCustomLineWSocket;

    // What WaitForFlag returns when it gives up.
    static constexpr int WaitGaveUp = 12001;

    // Clears the flag, runs start (when given) and waits for the flag.
    virtual int RunAndWait(bool& flag, const std::function<void()>& start);
    // Handles the events of the loop, sleeping between them, until the flag is
    // set (0) or the wait gives up: the timeout passed, the application is
    // closing down or asked to quit, or the socket is gone (WaitGaveUp).
    virtual int WaitForFlag(bool& flag);

    // Milliseconds a wait lasts at most; 0, the default, waits without limit.
    int WaitTimeout() const { return m_waitTimeout; }
    void SetWaitTimeout(int milliseconds) { m_waitTimeout = milliseconds; }

private:
    int m_waitTimeout = 0;
};
