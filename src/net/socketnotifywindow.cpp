#include "net/socketnotifywindow.h"

#include "net/customwsocket.h"
#include "net/hangupwatch.h"

#include <QSocketNotifier>

TSocketMessage::TSocketMessage(int msg, quintptr wParam, qintptr lParam)
    : QEvent(static_cast<QEvent::Type>(msg)), wParam(wParam), lParam(lParam)
{}

TSocketNotifyWindow::TSocketNotifyWindow(TCustomWSocket* socket) : m_socket(socket) {}

TSocketNotifyWindow::~TSocketNotifyWindow() = default;

void TSocketNotifyWindow::Release()
{
    m_socket = nullptr;
    Unwatch();
    if (m_depth > 0)
        deleteLater();
    else
        delete this;
}

void TSocketNotifyWindow::Watch(int handle)
{
    Unwatch();
    m_handle = handle;
    m_read = new QSocketNotifier(handle, QSocketNotifier::Read, this);
    m_write = new QSocketNotifier(handle, QSocketNotifier::Write, this);
    m_read->setEnabled(false);
    m_write->setEnabled(false);
    connect(m_read, &QSocketNotifier::activated, this,
            [this] { Dispatch([](TCustomWSocket* socket) { socket->HandleReadReady(); }); });
    connect(m_write, &QSocketNotifier::activated, this,
            [this] { Dispatch([](TCustomWSocket* socket) { socket->HandleWriteReady(); }); });
}

void TSocketNotifyWindow::Unwatch()
{
    // The notifiers may be the ones whose signal is being delivered right now:
    // switch them off at once, delete them from the loop.
    for (QSocketNotifier* notifier : {m_read, m_write}) {
        if (notifier != nullptr) {
            notifier->setEnabled(false);
            notifier->disconnect(this);
            notifier->deleteLater();
        }
    }
    m_read = nullptr;
    m_write = nullptr;
    if (m_hangUp != nullptr)
        m_hangUp->disarm();
    m_handle = -1;
}

void TSocketNotifyWindow::SetReadEnabled(bool enabled)
{
    if (m_read != nullptr)
        m_read->setEnabled(enabled);
}

void TSocketNotifyWindow::SetWriteEnabled(bool enabled)
{
    if (m_write != nullptr)
        m_write->setEnabled(enabled);
}

bool TSocketNotifyWindow::ReadEnabled() const
{
    return m_read != nullptr && m_read->isEnabled();
}

void TSocketNotifyWindow::WatchHangUp()
{
    if (m_handle < 0)
        return;
    if (m_hangUp == nullptr)
        m_hangUp = new HangUpWatch([this] { Dispatch([](TCustomWSocket* socket) { socket->HandleHangUp(); }); }, this);
    m_hangUp->arm(m_handle);
}

void TSocketNotifyWindow::Dispatch(const std::function<void(TCustomWSocket*)>& fn)
{
    if (m_socket == nullptr)
        return;
    ++m_depth;
    fn(m_socket);
    --m_depth;
}

bool TSocketNotifyWindow::event(QEvent* event)
{
    if (event->type() < QEvent::User || event->type() > QEvent::MaxUser)
        return QObject::event(event);
    auto* msg = static_cast<TSocketMessage*>(event);
    Dispatch([msg](TCustomWSocket* socket) { socket->ProcessMessage(*msg); });
    return true;
}
