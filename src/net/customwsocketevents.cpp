// How a TCustomWSocket tells its owner: the events, the errors, and the
// exceptions that escape handlers fired from the event loop.
#include "net/customwsocket.h"

#include "net/esocketexception.h"
#include "net/winsockerror.h"

#include <cstdio>

// ---- events ----

bool TCustomWSocket::DoDataAvailable(int error)
{
    if (!OnDataAvailable)
        return false;
    OnDataAvailable(this, static_cast<quint16>(error));
    return true;
}

void TCustomWSocket::DoSessionAvailable(int error)
{
    if (OnSessionAvailable)
        OnSessionAvailable(this, static_cast<quint16>(error));
}

void TCustomWSocket::DoSessionConnected(int error)
{
    if (OnSessionConnected)
        OnSessionConnected(this, static_cast<quint16>(error));
}

void TCustomWSocket::DoSessionClosed(int error)
{
    if (OnSessionClosed)
        OnSessionClosed(this, static_cast<quint16>(error));
}

void TCustomWSocket::DoDataSent(int error)
{
    if (OnDataSent)
        OnDataSent(this, static_cast<quint16>(error));
}

void TCustomWSocket::DoChangeState(TSocketState oldState, TSocketState newState)
{
    if (OnChangeState)
        OnChangeState(this, oldState, newState);
}

void TCustomWSocket::DoDnsLookupDone(int error)
{
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, static_cast<quint16>(error));
}

void TCustomWSocket::DoError()
{
    if (OnError)
        OnError(this);
}

// ---- errors ----

void TCustomWSocket::ReportError(const QByteArray& text)
{
    if (OnError) {
        DoError();
        return;
    }
    throw ESocketException(text);
}

void TCustomWSocket::ReportErrorFmt(const char* format, int code)
{
    char text[128];
    std::snprintf(text, sizeof text, format, code);
    ReportError(QByteArray(text));
}

void TCustomWSocket::ReportWinsockError(const char* function, int code)
{
    const QByteArray text =
        "Error " + QByteArray::number(code) + " in function " + function + "\r\n" + WinsockErrorText(code);
    if (code == WSAECONNRESET || code == WSAENOTCONN) {
        const HandlerGuard guard(this);
        ReleaseHandle();
        if (m_state != wsClosed && !m_closeInvoked) {
            m_closeInvoked = true;
            DoSessionClosed(code);
            if (!guard.alive())
                return;
        }
        EnterState(wsClosed);
        if (!guard.alive())
            return;
    }
    m_lastError = code;
    ReportError(text);
}

void TCustomWSocket::HandleBgException(const std::exception& e)
{
    const HandlerGuard guard(this);
    bool canClose = true;
    if (OnBgException) {
        try {
            OnBgException(this, e, canClose);
        } catch (...) {
            // An exception from the exception handler itself has nowhere left to go.
        }
    }
    if (guard.alive() && canClose) {
        try {
            Abort();
        } catch (...) {
            // Aborting is the last resort; its own failure is not reported.
        }
    }
}

void TCustomWSocket::Protected(const std::function<void()>& fn)
{
    const HandlerGuard guard(this);
    try {
        fn();
    } catch (const std::exception& e) {
        if (guard.alive())
            HandleBgException(e);
    } catch (...) {
        if (guard.alive())
            HandleBgException(ESocketException("Unknown exception"));
    }
}
