#include "net/customlinewsocket.h"

#include "net/socketnotifywindow.h"

#include <algorithm>
#include <cstring>

TCustomLineWSocket::TCustomLineWSocket(QObject* owner) : TlsLayer(owner) {}

TCustomLineWSocket::~TCustomLineWSocket() = default;

void TCustomLineWSocket::SetLineMode(bool value)
{
    if (value == m_lineMode)
        return;
    m_lineMode = value;
    // The unread rest of a line stays at the front of the buffer, in order,
    // for the reads that follow.
    if (!value)
        m_lineLength = 0;
    m_searched = 0;
    if (!m_lineBuffer.isEmpty())
        PostMessage(MsgTriggerData);
}

void TCustomLineWSocket::SetLineEnd(const QByteArray& value)
{
    m_lineEnd = value;
    m_searched = 0;
}

int TCustomLineWSocket::RcvdCount()
{
    if (m_lineMode)
        return static_cast<int>(m_lineLength);
    return TlsLayer::RcvdCount();
}

bool TCustomLineWSocket::LineDelivery() const
{
    return m_lineMode && !m_lineEnd.isEmpty() && SocksPhase() == spData && !TlsNegotiating();
}

bool TCustomLineWSocket::HandleMessage(TSocketMessage& msg)
{
    if (msg.Msg() != MsgTriggerData)
        return TlsLayer::HandleMessage(msg);
    TriggerData();
    return true;
}

void TCustomLineWSocket::TriggerData()
{
    // Buffered bytes are offered again while the offer takes some: bytes that
    // nobody reads, or no complete line, wait for the next read notification.
    const HandlerGuard guard(this);
    while (!m_lineBuffer.isEmpty()) {
        const quint64 takenBefore = m_taken;
        DoDataAvailable(0);
        if (!guard.sameConnection() || m_taken == takenBefore)
            return;
    }
}

bool TCustomLineWSocket::DoDataAvailable(int error)
{
    if (!LineDelivery())
        return TlsLayer::DoDataAvailable(error);
    const HandlerGuard guard(this);
    // A line the handler left unread comes first.
    if (m_lineLength > 0 && !OfferLine(guard))
        return true;
    int waiting = TlsLayer::RcvdCount();
    if (waiting < 0)
        return true;
    if (waiting == 0)
        waiting = 255;
    const qsizetype oldCount = m_lineBuffer.size();
    m_lineBuffer.resize(oldCount + waiting);
    const int received = Receive(m_lineBuffer.data() + oldCount, waiting);
    m_lineBuffer.resize(oldCount + std::max(received, 0));
    if (received > 0) {
        qsizetype added = received;
        if (m_lineEdit)
            m_searched = std::min(m_searched, EditLine(added));
        else if (m_lineEcho)
            Echo(m_lineBuffer.constData() + oldCount, received);
        if (!guard.sameConnection())
            return true;
    }
    DeliverBufferedLines(guard);
    return true;
}

void TCustomLineWSocket::DeliverBufferedLines(const HandlerGuard& guard)
{
    while (LineDelivery() && guard.sameConnection()) {
        const qsizetype end = m_lineBuffer.indexOf(m_lineEnd, m_searched);
        if (end < 0) {
            // A line end cut between two reads is found next time.
            m_searched = std::max<qsizetype>(0, m_lineBuffer.size() - m_lineEnd.size() + 1);
            if (m_lineLimit > 0 && m_lineBuffer.size() > m_lineLimit) {
                m_lineClearData = true;
                DoLineLimitExceeded(static_cast<int>(m_lineBuffer.size()), m_lineClearData);
                if (guard.alive() && m_lineClearData) {
                    m_lineBuffer.clear();
                    m_lineLength = 0;
                    m_searched = 0;
                }
            }
            return;
        }
        m_lineLength = end + m_lineEnd.size();
        m_searched = 0;
        if (!OfferLine(guard))
            return;
    }
}

bool TCustomLineWSocket::OfferLine(const HandlerGuard& guard)
{
    while (m_lineMode && m_lineLength > 0) {
        const qsizetype before = m_lineLength;
        if (!TCustomSocksWSocket::DoDataAvailable(0)) {
            // Nobody to read it: the line is dropped.
            m_lineBuffer.remove(0, m_lineLength);
            m_lineLength = 0;
            return true;
        }
        if (!guard.sameConnection())
            return false;
        // A handler that reads nothing would be offered the line forever; it
        // comes again with the next bytes or at the close.
        if (m_lineLength == before)
            return false;
    }
    return true;
}

int TCustomLineWSocket::RawReceive(void* buffer, int size, int flags)
{
    const qsizetype available = m_lineMode ? m_lineLength : m_lineBuffer.size();
    if (available == 0)
        return TlsLayer::RawReceive(buffer, size, flags);
    const qsizetype count = std::min<qsizetype>(std::max(size, 0), available);
    std::memcpy(buffer, m_lineBuffer.constData(), static_cast<size_t>(count));
    if ((flags & MSG_PEEK) == 0) {
        m_lineBuffer.remove(0, count);
        if (m_lineMode)
            m_lineLength -= count;
        m_searched = std::max<qsizetype>(0, m_searched - count);
        m_taken += static_cast<quint64>(count);
    }
    return static_cast<int>(count);
}

void TCustomLineWSocket::DoSessionClosed(int error)
{
    const HandlerGuard guard(this);
    // What the peer sent last, without a line end, is still a line.
    if (m_lineMode && !m_lineBuffer.isEmpty()) {
        m_lineLength = m_lineBuffer.size();
        OfferLine(guard);
        if (!guard.alive())
            return;
    }
    m_lineBuffer = QByteArray();
    m_lineLength = 0;
    m_searched = 0;
    TlsLayer::DoSessionClosed(error);
}

void TCustomLineWSocket::DoLineLimitExceeded(int rcvdLength, bool& clearData)
{
    if (OnLineLimitExceeded)
        OnLineLimitExceeded(this, rcvdLength, clearData);
}

qsizetype TCustomLineWSocket::EditLine(qsizetype& newCount)
{
    const qsizetype oldCount = m_lineBuffer.size() - newCount;
    const QByteArray fresh = m_lineBuffer.mid(oldCount);
    QByteArray echo;
    if (!fresh.contains('\b') && !fresh.contains('\t')) {
        if (m_lineEcho)
            Echo(fresh.constData(), static_cast<int>(fresh.size()));
        return oldCount;
    }
    // Backspace may take back bytes of earlier reads, down to the start.
    QByteArray edited = m_lineBuffer.left(oldCount);
    qsizetype lowest = oldCount;
    for (const char c : fresh) {
        if (c == '\b') {
            if (!edited.isEmpty()) {
                if (m_lineEcho)
                    echo += "\b \b";
                edited.chop(1);
                lowest = std::min(lowest, edited.size());
            }
        } else if (c == '\t') {
            do {
                edited += ' ';
                if (m_lineEcho)
                    echo += ' ';
            } while (edited.size() % 8 != 0);
        } else {
            edited += c;
            if (m_lineEcho)
                echo += c;
        }
    }
    m_lineBuffer = edited;
    newCount = edited.size() - lowest;
    if (!echo.isEmpty())
        Echo(echo.constData(), static_cast<int>(echo.size()));
    return lowest;
}

void TCustomLineWSocket::Echo(const char* data, int length)
{
    Send(data, length);
}
