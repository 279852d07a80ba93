#pragma once

#include "net/customwsocket.h"

#include <QPointer>
#include <array>
#include <functional>

enum TSocksAuthentication
{
    socksNoAuthentication,
    socksAuthenticateUsercode,
};

enum TSocksAuthState
{
    socksAuthStart,
    socksAuthSuccess,
    socksAuthFailure,
    socksAuthNotRequired,
};

// Where a connection through a proxy stands: spData is the open tunnel (or no
// proxy at all); the others are the steps of the negotiation with the proxy.
enum TSocksPhase
{
    spData = 0,
    spMethods = 1,
    spAuth = 2,
    spRequest = 3,
};

using TSessionConnected = std::function<void(TCustomWSocket*, quint16 error)>;
using TSocksErrorEvent = std::function<void(TCustomWSocket*, int error, const QByteArray& msg)>;
using TSocksAuthStateEvent = std::function<void(TCustomWSocket*, TSocksAuthState authState)>;

// A TCP connection through a SOCKS 4, 4A or 5 proxy. With SocksServer set,
// Connect opens the connection to the proxy, negotiates inside the read
// notifications, and the owner sees OnSessionConnected(0) only once the proxy
// has opened the tunnel; from then on the socket behaves as a direct
// connection. A failed negotiation comes as OnSocksError, then
// OnSessionConnected and OnSessionClosed with the same code. Without
// SocksServer the layer changes nothing.
//
// Every close forgets SocksServer and SocksPort and sets SocksLevel back to
// "5", as it does Addr and Port; the user code, password and authentication stay.
class TCustomSocksWSocket : public TCustomWSocket
{
public:
    explicit TCustomSocksWSocket(QObject* owner = nullptr);

    TSessionConnected OnSocksConnected;
    TSocksErrorEvent OnSocksError;
    TSocksAuthStateEvent OnSocksAuthState;

    QByteArray SocksServer() const { return m_socksServer; }
    virtual void SetSocksServer(const QByteArray& value);
    QByteArray SocksPort() const { return m_socksPort; }
    virtual void SetSocksPort(const QByteArray& value);
    QByteArray SocksLevel() const { return m_socksLevel; }
    void SetSocksLevel(const QByteArray& value);
    QByteArray SocksUsercode() const { return m_socksUsercode; }
    void SetSocksUsercode(const QByteArray& value) { m_socksUsercode = value; }
    QByteArray SocksPassword() const { return m_socksPassword; }
    void SetSocksPassword(const QByteArray& value) { m_socksPassword = value; }
    TSocksAuthentication SocksAuthentication() const { return m_socksAuthentication; }
    void SetSocksAuthentication(TSocksAuthentication value) { m_socksAuthentication = value; }
    // The address and port the version 5 proxy reports for its side of the tunnel.
    QByteArray SocksBoundAddr() const { return m_boundAddr; }
    QByteArray SocksBoundPort() const { return m_boundPort; }

    void Connect() override;
    void Listen() override;
    int RcvdCount() override;

protected:
    void ResetToDefaults() override;
    void DoSessionConnected(int error) override;
    void DoSessionClosed(int error) override;
    bool DoDataAvailable(int error) override;
    int RawReceive(void* buffer, int size, int flags) override;

    virtual void DoSocksConnected(int error);
    virtual void DoSocksError(int error, const QByteArray& msg);
    void DoSocksAuthState(TSocksAuthState authState);

    // Line mode leaves the bytes alone until the tunnel is open.
    TSocksPhase SocksPhase() const { return m_phase; }

private:
    // True while the socket exists and still holds the connection the caller started on.
    static bool SameAttempt(const QPointer<TCustomSocksWSocket>& self, quint64 attempt);

    void SendMethodRequest();
    void SendAuthRequest();
    void SendConnectRequest();
    void SendRequest(const QByteArray& request, const char* tooLongText);
    bool ReadReply(int limit);
    void ReadMethodReply();
    void ReadAuthReply();
    bool ReadSocks4Reply();
    bool ReadSocks5Reply();
    bool OpenTunnel(int replyLength);
    bool DeliverData(int error);
    void Fail(int code, const QByteArray& text);
    quint8 ReplyByte(int index) const { return static_cast<quint8>(m_reply[index]); }

    // The longest version 5 reply: a bound name of 255 bytes and the header and port around it.
    static constexpr int ReplyCapacity = 4 + 1 + 255 + 2;

    TSocksPhase m_phase = spData;
    QByteArray m_socksServer;
    QByteArray m_socksLevel = QByteArrayLiteral("5");
    QByteArray m_socksPort;
    QByteArray m_socksUsercode;
    QByteArray m_socksPassword;
    TSocksAuthentication m_socksAuthentication = socksNoAuthentication;
    quint8 m_offeredMethod = 0;
    quint16 m_targetPort = 0;
    QByteArray m_boundAddr;
    QByteArray m_boundPort;
    std::array<char, ReplyCapacity> m_reply{};
    int m_replyCount = 0;
    int m_surplusCount = 0;
    int m_surplusPosition = 0;
    quint64 m_attempt = 0;
};
