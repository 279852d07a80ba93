#pragma once

#include "net/customwsocket.h"

#include <QEvent>
#include <QObject>
#include <functional>

class HangUpWatch;
class QSocketNotifier;

// A message to a socket: wParam names the connection it belongs to (a stale
// one is ignored), lParam carries the event bits and the error.
class TSocketMessage : public QEvent
{
public:
    TSocketMessage(int msg, quintptr wParam, qintptr lParam);

    int Msg() const { return static_cast<int>(type()); }

    quintptr wParam;
    qintptr lParam;
};

// The hidden object that plays the socket's notification window. Posted
// messages and readiness of the handle reach the socket through it, always
// from the event loop. While it is calling into the socket the socket may be
// destroyed (ReleaseLater, or a handler deleting it); the socket then detaches
// this object and leaves its deletion to the loop.
class TSocketNotifyWindow : public QObject
{
public:
    explicit TSocketNotifyWindow(TCustomWSocket* socket);
    ~TSocketNotifyWindow() override;

    // Forgets the socket and stops watching; deletes itself now or, while it
    // is calling into the socket, once control is back in the loop.
    void Release();

    void Watch(int handle);
    void Unwatch();
    void SetReadEnabled(bool enabled);
    void SetWriteEnabled(bool enabled);
    bool ReadEnabled() const;
    // Reports the next hang-up of the peer of the watched handle, once.
    void WatchHangUp();

    // Runs fn (which calls into the socket) unless the socket is gone.
    void Dispatch(const std::function<void(TCustomWSocket*)>& fn);

protected:
    bool event(QEvent* event) override;

private:
    TCustomWSocket* m_socket;
    QSocketNotifier* m_read = nullptr;
    QSocketNotifier* m_write = nullptr;
    HangUpWatch* m_hangUp = nullptr;
    int m_handle = -1;
    int m_depth = 0;
};
