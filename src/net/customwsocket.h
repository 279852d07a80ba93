#pragma once

#include "net/buffer.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QEvent>
#include <QFlags>
#include <QObject>
#include <QPointer>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>

class TSocketMessage;
class TSocketNotifyWindow;
class QHostInfo;

using TSocket = int;
inline constexpr TSocket INVALID_SOCKET = -1;

enum TSocketState
{
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed,
};

enum TSocketSendFlags
{
    wsSendNormal,
    wsSendUrgent,
};

enum TSocketLingerOnOff
{
    wsLingerOff,
    wsLingerOn,
    wsLingerNoSet,
};

enum TWSocketOption
{
    wsoNoReceiveLoop = 0x1,
    wsoTcpNoDelay = 0x2,
};
Q_DECLARE_FLAGS(TWSocketOptions, TWSocketOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TWSocketOptions)

// Message numbers of a socket's notification object, in the order the system
// always numbered them (2 and 3 were the lookup completions, which now come
// straight from QHostInfo).
enum TSocketMessageId : int
{
    MsgAsyncSelect = QEvent::User + 1,
    MsgCloseLater = QEvent::User + 4,
    MsgRelease = QEvent::User + 5,
    MsgTestException = QEvent::User + 6,
    MsgTriggerData = QEvent::User + 20,
};

// Network event bits carried in the low word of a MsgAsyncSelect's lParam; the error is in the high word.
enum TNetworkEvent : int
{
    FD_READ = 1,
    FD_WRITE = 2,
    FD_OOB = 4,
    FD_ACCEPT = 8,
    FD_CONNECT = 16,
    FD_CLOSE = 32,
};

// The non-blocking TCP/UDP socket. See wsocket.h for how to use it; this class
// holds the base behaviour, which protocol layers above it refine through the
// virtual steps below.
class TCustomWSocket : public QObject
{
public:
    explicit TCustomWSocket(QObject* owner = nullptr);
    ~TCustomWSocket() override;

    // Events: each fires only when assigned, always from the event loop except
    // where an operation documents otherwise. Errors are Winsock codes, 0 = success.
    std::function<void(TCustomWSocket*, TSocketState oldState, TSocketState newState)> OnChangeState;
    std::function<void(TCustomWSocket*, quint16 error)> OnSessionConnected;
    std::function<void(TCustomWSocket*, quint16 error)> OnSessionClosed;
    std::function<void(TCustomWSocket*, quint16 error)> OnDataAvailable;
    std::function<void(TCustomWSocket*, quint16 error)> OnDataSent;
    std::function<void(TCustomWSocket*, int bytesSent)> OnSendData;
    std::function<void(TCustomWSocket*, quint16 error)> OnSessionAvailable;
    std::function<void(TCustomWSocket*, quint16 error)> OnDnsLookupDone;
    std::function<void(TCustomWSocket*)> OnError;
    std::function<void(TCustomWSocket*, const std::exception& e, bool& canClose)> OnBgException;

    // Properties.
    QByteArray Addr() const { return m_addrStr; }
    void SetAddr(const QByteArray& value);
    QByteArray Port() const { return m_portStr; }
    virtual void SetPort(const QByteArray& value);
    QByteArray Proto() const { return m_protoStr; }
    virtual void SetProto(const QByteArray& value);
    QByteArray LocalAddr() const { return m_localAddr; }
    void SetLocalAddr(const QByteArray& value);
    QByteArray LocalPort() const { return m_localPortStr; }
    void SetLocalPort(const QByteArray& value);
    virtual QByteArray PeerAddr();
    virtual QByteArray PeerPort();
    QByteArray DnsResult() const { return m_dnsResult; }
    const QByteArrayList& DnsResultList() const { return m_dnsResultList; }
    TSocketState State() const { return m_state; }
    int ReadCount() const { return m_readCount; }
    virtual int RcvdCount();
    int LastError() const { return m_lastError; }
    bool MultiThreaded() const { return m_multiThreaded; }
    void SetMultiThreaded(bool value) { m_multiThreaded = value; }
    bool MultiCast() const { return m_multiCast; }
    void SetMultiCast(bool value) { m_multiCast = value; }
    QByteArray MultiCastAddrStr() const { return m_multiCastAddrStr; }
    void SetMultiCastAddrStr(const QByteArray& value) { m_multiCastAddrStr = value; }
    int MultiCastIpTTL() const { return m_multiCastIpTTL; }
    void SetMultiCastIpTTL(int value) { m_multiCastIpTTL = value; }
    bool ReuseAddr() const { return m_reuseAddr; }
    void SetReuseAddr(bool value) { m_reuseAddr = value; }
    TWSocketOptions ComponentOptions() const { return m_options; }
    void SetComponentOptions(TWSocketOptions value) { m_options = value; }
    TSocketSendFlags SendFlags();
    void SetSendFlags(TSocketSendFlags value);
    TSocketLingerOnOff LingerOnOff() const { return m_lingerOnOff; }
    void SetLingerOnOff(TSocketLingerOnOff value) { m_lingerOnOff = value; }
    int LingerTimeout() const { return m_lingerTimeout; }
    void SetLingerTimeout(int value) { m_lingerTimeout = value; }
    TSocket HSocket() const { return m_hSocket; }
    // Bytes queued by Send that the network has not taken yet.
    qint64 BufferedSendCount() const { return m_sendBufferCount; }
    // A Send that would leave more than this many bytes waiting is refused
    // (error 10055): a peer that stops reading cannot make the socket hold
    // its output without end. Generous enough for any one transfer the
    // program makes; a session that only carries short texts sets its own.
    static constexpr qint64 DefaultSendBufferLimit = qint64{64} << 20;
    qint64 SendBufferLimit() const { return m_sendBufferLimit; }
    void SetSendBufferLimit(qint64 value) { m_sendBufferLimit = value; }
    // A connected socket gives up on data the peer leaves unacknowledged for
    // this long (and on a peer that answers no probe), instead of after the
    // system's own quarter of an hour of retries. False when it cannot be set.
    bool SetUserTimeout(int milliseconds);

    // Operations.
    virtual void Connect();
    virtual void Close();
    virtual void CloseLater();
    virtual void ReleaseLater();
    virtual void Abort();
    virtual void Flush();
    virtual void WaitUntilClosed();
    virtual void Listen();
    virtual TSocket Accept();
    virtual void Dup(TSocket handle);
    virtual int Receive(void* buffer, int size);
    virtual QByteArray ReceiveText();
    virtual int ReceiveFrom(void* buffer, int size, sockaddr_in& from, int& fromLen);
    virtual int Send(const void* data, int len);
    virtual int SendTo(const sockaddr_in& dest, int destLen, const void* data, int len);
    virtual int SendText(const QByteArray& text);
    virtual void DnsLookup(const QByteArray& hostName);
    virtual void ReverseDnsLookup(const QByteArray& hostAddr);
    virtual void CancelDnsLookup();
    virtual int QueryPeerAddress(sockaddr_in& addr, int& addrLen);
    virtual int QueryLocalAddress(sockaddr_in& addr, int& addrLen);
    virtual QByteArray BoundPort();
    virtual QByteArray BoundAddr();
    virtual void Shutdown(int how);
    virtual int PauseEvents();
    virtual int ResumeEvents();
    virtual void PumpMessages();
    // Sleeps until the event loop has events and handles them, or until the
    // deadline: a wait that costs no processor time.
    void AwaitEvents(const QDeadlineTimer& deadline);

    // Posts a message to the socket's notification object, handled from the loop.
    void PostMessage(int msg, quintptr wParam = 0, qintptr lParam = 0);

protected:
    virtual bool HandleMessage(TSocketMessage& msg);
    virtual void ResetToDefaults();
    virtual void DoClose(bool halfClose, int error);
    virtual bool BindLocal();
    virtual int RawSend(const char* data, int len);
    virtual void ReportErrorFmt(const char* format, int code);
    virtual void ReportError(const QByteArray& text);
    virtual void HandleBgException(const std::exception& e);
    virtual bool DoDataAvailable(int error);
    virtual void DoSessionAvailable(int error);
    virtual void DoSessionConnected(int error);
    virtual void DoSessionClosed(int error);
    virtual void DoDataSent(int error);
    virtual void DoChangeState(TSocketState oldState, TSocketState newState);
    virtual void DoDnsLookupDone(int error);
    virtual void DoError();
    virtual int RawReceive(void* buffer, int size, int flags);
    virtual int RawReceiveFrom(void* buffer, int size, sockaddr_in& from, int& fromLen);

    void ReportWinsockError(const char* function, int code);
    // The next Connect goes to this address and port (both in network order)
    // instead of resolving Addr and Port: a proxy layer connects to its proxy
    // and names the target itself.
    void SetConnectEndpoint(in_addr_t address, quint16 port);
    void EnterState(TSocketState newState);
    void DiscardSendBuffer();
    void TryToSend();
    bool ApplyLinger();
    // Passes of the receive loop per read notification, unless it reads to the end.
    static constexpr int MaxReceivePasses = 32;
    void ReceiveLoop(int error, TWSocketOptions options, bool toTheEnd);
    // A layer that holds received bytes the system's socket no longer shows
    // (decrypted ahead) says so: the receive loop goes on offering them, and
    // when it yields, a read notification of its own brings it back.
    virtual bool HasHeldData() { return false; }
    // A read that a layer served from what it holds counts as a read.
    void NoteReceiveCall() { ++m_receiveCalls; }
    // Posts network events for the connection open now, as the system would notify them.
    void PostNetworkEvents(int events, int error = 0);

    // The Winsock code of the last failed system call of this socket (WSAGetLastError).
    int WinsockError() const { return m_winsockError; }
    void SetWinsockError(int code) { m_winsockError = code; }

    // Taken before a call into a user handler, which may delete the socket,
    // close it or open a new connection on it: the socket asks the guard
    // before it touches itself again.
    class HandlerGuard
    {
    public:
        explicit HandlerGuard(TCustomWSocket* socket) : HandlerGuard(socket, socket->m_generation) {}
        // For the connection a message was posted for.
        HandlerGuard(TCustomWSocket* socket, quintptr generation) : m_socket(socket), m_generation(generation) {}

        // The socket still exists.
        bool alive() const { return !m_socket.isNull(); }
        // It still exists and holds the same connection, open or not.
        bool sameConnection() const { return alive() && m_socket->m_generation == m_generation; }
        // It still exists and the same connection is still open.
        bool connectionOpen() const { return sameConnection() && m_socket->m_hSocket != INVALID_SOCKET; }

    private:
        QPointer<TCustomWSocket> m_socket;
        quintptr m_generation;
    };

private:
    friend class TSocketNotifyWindow;

    bool AcceptsRemoteSetting(const QByteArray& value, const QByteArray& stored, bool assigned, const char* name);
    bool ResolveAddress(const char* prefix, bool withLocalPort);
    void AppendToSendBuffer(const char* data, int len);
    void AdoptHandle(TSocket handle);
    void ReleaseHandle();
    void ConnectDatagram();
    bool JoinMulticastGroup();
    bool CloseHandle(const char* function);
    void StartWatching(bool armWrite);
    void RearmRead();
    void ArmWrite();
    void ProcessMessage(TSocketMessage& msg);
    void Protected(const std::function<void()>& fn);
    void DispatchNetworkEvents(quintptr generation, int events, int error);
    void HandleReadReady();
    void HandleWriteReady();
    void HandleHangUp();
    void RepostHeldData();
    void StartLookup(const QByteArray& name, bool reverse);
    void HandleLookupResult(const QHostInfo& info);
    bool SetIntOption(int level, int option, int value, const char* function);

    std::unique_ptr<TSocketNotifyWindow> m_window;
    std::deque<std::unique_ptr<TBuffer>> m_sendBuffer;
    qint64 m_sendBufferCount = 0;
    qint64 m_sendBufferLimit = DefaultSendBufferLimit;
    int m_sendFlags = 0;
    int m_lookupId = -1;
    bool m_lookupReverse = false;
    TSocket m_hSocket = INVALID_SOCKET;
    quintptr m_generation = 0;
    QByteArray m_addrStr;
    bool m_addrAssigned = false;
    bool m_addrResolved = false;
    int m_proto = IPPROTO_TCP;
    bool m_protoAssigned = true;
    bool m_protoResolved = false;
    QByteArray m_protoStr = QByteArrayLiteral("tcp");
    QByteArray m_portStr;
    bool m_portAssigned = false;
    bool m_portResolved = false;
    quint16 m_portNum = 0;
    QByteArray m_localPortStr = QByteArrayLiteral("0");
    bool m_localPortResolved = false;
    quint16 m_localPortNum = 0;
    QByteArray m_localAddr = QByteArrayLiteral("0.0.0.0");
    int m_type = SOCK_STREAM;
    TSocketLingerOnOff m_lingerOnOff = wsLingerOn;
    int m_lingerTimeout = 0;
    bool m_allSent = true;
    int m_readCount = 0;
    bool m_paused = false;
    bool m_closeInvoked = false;
    bool m_connectPending = false;
    bool m_readClosed = false;
    bool m_writeWanted = false;
    int m_eventMask = 0;
    sockaddr_in m_sin{};
    TSocketState m_state = wsClosed;
    QByteArray m_dnsResult;
    QByteArrayList m_dnsResultList;
    int m_lastError = 0;
    int m_winsockError = 0;
    bool m_multiThreaded = false;
    bool m_multiCast = false;
    QByteArray m_multiCastAddrStr;
    int m_multiCastIpTTL = 1;
    bool m_reuseAddr = false;
    TWSocketOptions m_options;
    bool m_destroying = false;
    quint64 m_receiveCalls = 0;
};
