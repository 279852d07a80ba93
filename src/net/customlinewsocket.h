#pragma once

#include "net/tlslayer.h"

#include <QByteArray>

#include <functional>

// Line mode on top of the socket. With LineMode on, received bytes gather in
// a line buffer and OnDataAvailable fires once per complete line (ending with
// LineEnd), during which Receive and ReceiveText return the bytes of that line
// and no more. Received bytes can be echoed to the peer and edited (backspace,
// tab) for terminal-style peers, and LineLimit guards against endless lines.
// With LineMode off (the default) the socket behaves as its base, and while
// the layers below negotiate (with a proxy, or TLS) their bytes are never
// taken as lines.
class TCustomLineWSocket : public TlsLayer
{
public:
    explicit TCustomLineWSocket(QObject* owner = nullptr);
    ~TCustomLineWSocket() override;

    // Sender, bytes buffered without a line end, and whether to drop them
    // (true on entry).
    std::function<void(TCustomWSocket*, int rcvdLength, bool& clearData)> OnLineLimitExceeded;

    bool LineMode() const { return m_lineMode; }
    virtual void SetLineMode(bool value);
    QByteArray LineEnd() const { return m_lineEnd; }
    void SetLineEnd(const QByteArray& value);
    int LineLimit() const { return m_lineLimit; }
    void SetLineLimit(int value) { m_lineLimit = value; }
    bool LineEcho() const { return m_lineEcho; }
    void SetLineEcho(bool value) { m_lineEcho = value; }
    bool LineEdit() const { return m_lineEdit; }
    void SetLineEdit(bool value) { m_lineEdit = value; }

    // In line mode: the length of the line being delivered, 0 when none.
    int RcvdCount() override;

protected:
    bool HandleMessage(TSocketMessage& msg) override;
    bool DoDataAvailable(int error) override;
    void DoSessionClosed(int error) override;
    int RawReceive(void* buffer, int size, int flags) override;
    virtual void DoLineLimitExceeded(int rcvdLength, bool& clearData);
    // Applies backspace and tab to the newCount bytes at the end of the
    // buffer; returns the lowest position the editing changed.
    virtual qsizetype EditLine(qsizetype& newCount);

private:
    bool LineDelivery() const;
    // Offers the line at the front of the buffer until it is read; false when
    // the handler leaves it (it is offered again later) or the socket went.
    bool OfferLine(const HandlerGuard& guard);
    void DeliverBufferedLines(const HandlerGuard& guard);
    void Echo(const char* data, int length);
    void TriggerData();

    QByteArray m_lineBuffer;
    QByteArray m_lineEnd = QByteArrayLiteral("\r\n");
    bool m_lineMode = false;
    qsizetype m_lineLength = 0; // the line being delivered
    qsizetype m_searched = 0;   // bytes known to start no line end
    int m_lineLimit = 65536;
    bool m_lineClearData = true;
    bool m_lineEcho = false;
    bool m_lineEdit = false;
    quint64 m_taken = 0; // bytes handed out of the buffer, to tell progress
};
