#pragma once

#include "net/customwsocket.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <bitset>
#include <functional>

class TWSocket;

// The client side of a telnet session over one TCP connection. It answers the
// server's option negotiation, removes telnet commands from the byte stream
// and hands the data to its owner in NUL-terminated blocks of at most 2048
// bytes. Decoder traces go to the logging category corvaline.telnet (debug
// level, off by default).
//
// Each option request is answered once per connection and verb: a peer that
// repeats a request gets no second answer, so two ends cannot answer each
// other's answers for ever. Output the peer leaves unread is bounded
// (MaxWaitingOutput): an owner's send past it fails with error 10055, and a
// negotiation reply past it closes the session.
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
    // When a connection's first bytes are this text (a server's banner), the
    // peer speaks no telnet: everything it sends after them is data, 255
    // included, and nothing is taken for a command or answered. Empty (the
    // default): every peer is a telnet server.
    QByteArray PlainTextBanner() const { return m_plainTextBanner; }
    void SetPlainTextBanner(const QByteArray& value) { m_plainTextBanner = value; }

    // Bytes the session lets wait for a peer that does not read. The session
    // carries short texts: a peer that leaves this much unread has stopped.
    static constexpr qint64 MaxWaitingOutput = qint64{1} << 20;

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
    // Each returns false when a handler destroyed the session or a refused reply closed it: decoding must stop.
    bool DecodeByte(unsigned char b);
    bool HandleOption(unsigned char verb, unsigned char option);
    bool FirstRequest(unsigned char verb, unsigned char option);
    bool FollowEcho(unsigned char verb);
    void WatchForBanner(unsigned char b);
    bool HandleSubnegotiation();
    bool AppendData(unsigned char b);
    bool FlushBuffer();
    bool Notify(const std::function<void(TTnCnx*)>& handler);
    bool Answer(unsigned char verb, unsigned char option);
    bool SendSubnegotiation(const QByteArray& body);
    bool SendReply(const QByteArray& bytes);
    void DisplayError(int code);
    void ResetForNewConnection();

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
    // Requests of this connection already handled, by verb (WILL, WONT, DO, DONT) and option.
    std::bitset<4 * 256> m_requestsSeen;
    QByteArray m_plainTextBanner;
    // How many of the connection's first bytes matched the banner; -1 once one did not.
    qsizetype m_bannerMatched = 0;
    bool m_plain = false;
};
