// Sending on a TCustomWSocket: the send buffer and the chain that empties it
// as the network takes the data.
#include "net/customwsocket.h"

#include "net/socketcalls.h"
#include "net/winsockerror.h"

namespace {

constexpr int SendBufferBlockSize = 1460;

bool IsConnectionLoss(int code)
{
    return code == WSAECONNRESET || code == WSAENOTSOCK || code == WSAENOTCONN || code == WSAEINVAL ||
           code == WSAECONNABORTED;
}

} // namespace

// ---- sending ----

int TCustomWSocket::Send(const void* data, int len)
{
    if (m_state != wsConnected) {
        ReportWinsockError("Send", WSAENOTCONN);
        return -1;
    }
    if (len > 0 && m_sendBufferCount + len > m_sendBufferLimit) {
        ReportWinsockError("Send", WSAENOBUFS);
        return -1;
    }
    m_allSent = false;
    int result = 0;
    if (len > 0) {
        AppendToSendBuffer(static_cast<const char*>(data), len);
        result = len;
    }
    const HandlerGuard guard(this);
    TryToSend();
    // When everything left at once, OnDataSent still comes from the loop, never from
    // inside Send. A write notification already on its way stands for it.
    if (guard.connectionOpen() && m_allSent && !m_writeWanted)
        PostMessage(MsgAsyncSelect, m_generation, FD_WRITE);
    return result;
}

int TCustomWSocket::SendText(const QByteArray& text)
{
    if (text.isEmpty())
        return 0;
    return Send(text.constData(), static_cast<int>(text.size()));
}

void TCustomWSocket::AppendToSendBuffer(const char* data, int len)
{
    if (m_sendBuffer.empty())
        m_sendBuffer.push_back(std::make_unique<TBuffer>(SendBufferBlockSize));
    int done = m_sendBuffer.back()->Append(data, len);
    while (done < len) {
        m_sendBuffer.push_back(std::make_unique<TBuffer>(SendBufferBlockSize));
        done += m_sendBuffer.back()->Append(data + done, len - done);
    }
    m_sendBufferCount += len;
}

void TCustomWSocket::DiscardSendBuffer()
{
    m_sendBuffer.clear();
    m_sendBufferCount = 0;
}

void TCustomWSocket::TryToSend()
{
    if (m_hSocket == INVALID_SOCKET)
        return;
    if (m_sendBuffer.empty()) {
        m_allSent = true;
        return;
    }
    const HandlerGuard guard(this);
    for (;;) {
        TBuffer& block = *m_sendBuffer.front();
        const auto [data, length] = block.Peek();
        if (length == 0) {
            if (m_sendBuffer.size() == 1) {
                m_allSent = true;
                return;
            }
            m_sendBuffer.pop_front();
            continue;
        }
        const int sent = RawSend(data, length);
        if (!guard.connectionOpen())
            return;
        if (sent < 0) {
            const int code = WinsockError();
            if (IsConnectionLoss(code)) {
                m_closeInvoked = true;
                Close();
                if (guard.alive())
                    DoSessionClosed(code);
            } else if (code == WSAEWOULDBLOCK) {
                ArmWrite();
            } else {
                ReportWinsockError("TryToSend failed", code);
            }
            return;
        }
        block.Consume(sent);
        m_sendBufferCount -= sent;
        if (sent < length) {
            // The network took part of the block: the rest goes on the next write notification.
            ArmWrite();
            return;
        }
    }
}

int TCustomWSocket::RawSend(const char* data, int len)
{
    const size_t length = static_cast<size_t>(len);
    const ssize_t result = m_type == SOCK_DGRAM
                               ? SocketCalls::sendTo(m_hSocket, data, length, m_sendFlags, m_sin, sizeof m_sin)
                               : SocketCalls::send(m_hSocket, data, length, m_sendFlags);
    if (result < 0) {
        SetWinsockError(SocketCalls::lastError());
        return -1;
    }
    if (result > 0 && OnSendData)
        OnSendData(this, static_cast<int>(result));
    return static_cast<int>(result);
}
