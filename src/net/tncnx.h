#pragma once

#include "net/customwsocket.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <functional>

class TWSocket;

// The client side of a telnet session over one TCP connection. It answers the
// server's option negotiation, removes telnet commands from the byte stream
// and hands the data to its owner in NUL-terminated blocks of at most 2048
// bytes. Decoder traces go to the logging category corvaline.telnet (debug
// level, off by default).
class TTnCnx : public QObject
{
public:
    explicit TTnCnx(QObject* owner = nullptr);
    ~TTnCnx() override;

    std::function<void(TTnCnx*, quint16 error)> OnSessionConnected;
    std::function<void(TTnCnx*, quint16 error)> OnSessionClosed;
    // buffer[len] is a NUL; the block belongs to the session and is valid only during the call.
    std::function<void(TTnCnx*, const char* buffer, int len)> OnDataAvailable;
    std::function<void(TTnCnx*, const QByteArray& text)> OnDisplay;
    std::function<void(TTnCnx*)> OnEndOfRecord;
    std::function<void(TTnCnx*)> OnSendLoc;
    std::function<void(TTnCnx*)> OnTermType;
    std::function<void(TTnCnx*)> OnLocalEcho;

    QByteArray Port() const { return m_port; }
    void SetPort(const QByteArray& value) { m_port = value; }
    QByteArray Host() const { return m_host; }
    void SetHost(const QByteArray& value) { m_host = value; }
    QByteArray Location() const { return m_location; }
    void SetLocation(const QByteArray& value) { m_location = value; }
    QByteArray TermType() const { return m_termType; }
    void SetTermType(const QByteArray& value) { m_termType = value; }
    bool LocalEcho() const { return m_localEcho; }
    void SetLocalEcho(bool value) { m_localEcho = value; }

    void Connect();
    void Close();
    TSocketState State() const;
    bool SessionOpen() const;
    int SendBytes(const char* data, int len);
    int SendText(const QByteArray& text);

    // The socket carrying the session; null once someone else destroyed it.
    TWSocket* Socket() const;

    // Decodes bytes as if the socket had just received them: the socket's reads come through here, and so can
    // bytes from elsewhere. The data is handed to OnDataAvailable before the call returns.
    void decodeReceived(const char* data, int len);

private:
    void SocketDataAvailable();
    void SocketSessionClosed(quint16 error);
    // Each returns false when a handler destroyed the session: decoding must stop.
    bool DecodeByte(unsigned char b);
    bool HandleOption(unsigned char verb, unsigned char option);
    bool HandleSubnegotiation();
    bool AppendData(unsigned char b);
    bool FlushBuffer();
    bool Notify(const std::function<void(TTnCnx*)>& handler);
    void Answer(unsigned char verb, unsigned char option);
    void SendSubnegotiation(const QByteArray& body);
    void ResetDecoder();

    QPointer<TWSocket> m_socket;
    QByteArray m_port = QByteArrayLiteral("23");
    QByteArray m_host;
    QByteArray m_location = QByteArrayLiteral("TNCNX");
    QByteArray m_termType = QByteArrayLiteral("VT100");
    bool m_localEcho = false;
    static constexpr int MaxBlockSize = 2048;
    char m_buffer[MaxBlockSize];
    int m_count = 0;
    bool m_afterIac = false;
    unsigned char m_verb = 0;
    bool m_inSubnegotiation = false;
    QByteArray m_subnegotiation;
};
