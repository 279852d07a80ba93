#pragma once

#include "net/customsockswsocket.h"
#include "net/tlstrust.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>

#include <functional>

class QIODevice;
class QTimer;
class TCustomWSocket;
class TWSocket;

enum THttpRequest
{
    httpAbort,
    httpGET,
    httpPOST,
    httpHEAD,
};

// Where a request stands; ready means a new request may start.
enum THttpState : quint8
{
    httpReady,
    httpNotConnected,
    httpConnected,
    httpDnsLookup,
    httpDnsLookupDone,
    httpWaitingHeader,
    httpWaitingBody,
};

// The HTTP/1.0 client: one request at a time, each on a new connection that
// the server closes at the end of the document. It resolves the host,
// connects (directly or through a proxy), sends the request, reads the status
// and header lines, follows relocations and delivers the document to
// ReceiveStream and OnDocData as it arrives. Get runs a request to its end
// while the event loop keeps going; BeginRequest starts one and OnRequestDone
// tells its end. An https address goes over TLS (port 443 by default),
// through a SOCKS proxy too, but not through an HTTP proxy.
class THttpCli : public QObject
{
public:
    // Relocations followed in one request before it fails.
    static constexpr int MaxRelocations = 20;
    // Bytes of one response's status and header lines at most: a longer header fails.
    static constexpr qsizetype MaxHeaderSize = 65536;

    explicit THttpCli(QObject* owner = nullptr);
    ~THttpCli() override;

    // Settings of the request.
    QByteArray URL;
    QByteArray LocalAddr = QByteArrayLiteral("0.0.0.0");
    QByteArray Proxy;
    QByteArray ProxyPort = QByteArrayLiteral("80");
    QByteArray Sender;
    QByteArray Agent = QByteArrayLiteral("Mozilla/3.0 (compatible)");
    QByteArray Accept = QByteArrayLiteral("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    QByteArray AcceptLanguage;
    QByteArray Reference;
    QByteArray Username;
    QByteArray Password;
    QByteArray ProxyUsername;
    QByteArray ProxyPassword;
    bool NoCache = false;
    QDateTime ModifiedSince;
    QByteArray Cookie;
    QByteArray ContentTypePost = QByteArrayLiteral("application/x-www-form-urlencoded");
    QByteArray ContentRangeBegin;
    QByteArray ContentRangeEnd;
    // The proxy of the socket's SOCKS layer, given to it again for every
    // connection (a close makes the socket forget it); empty SocksServer: none.
    QByteArray SocksServer;
    QByteArray SocksPort;
    QByteArray SocksLevel = QByteArrayLiteral("5");
    QByteArray SocksUsercode;
    QByteArray SocksPassword;
    TSocksAuthentication SocksAuthentication = socksNoAuthentication;
    // Which server certificates an https request accepts besides those that
    // verify (trusted fingerprints, authorities of a file of their own). After
    // a refusal CtrlSocket()->TlsPeerCheck() holds what to show the user.
    TlsTrust Trust;
    // A synchronous request fails after this long without any sign of the server.
    int StallTimeoutMs = 30000;
    // Any request, relocations and all, fails when it is not over after this
    // long, however steadily the server trickles; 0: no limit.
    int RequestTimeoutMs = 300000;
    QIODevice* ReceiveStream = nullptr; // not owned
    QIODevice* PostStream = nullptr;    // not owned

    // What the last response said.
    int Status = 0;
    QByteArray Reason;
    qint64 DocLength = -1;
    QByteArray DocType;
    QByteArrayList ResponseHeader;
    QByteArray AcceptRanges;
    qint64 ReceivedBytes = 0;
    qint64 SentBytes = 0;
    QByteArray DocumentName;
    QByteArray CurrentLocation;
    THttpRequest RequestType = httpGET;
    THttpState RequestState() const { return m_state; }
    // The socket error that ended the last request, 0 when none did.
    int DoneError() const { return m_doneError; }
    TWSocket* CtrlSocket() const { return m_socket; }

    // Events, fired only when assigned.
    std::function<void(THttpCli*)> OnStateChange;
    std::function<void(THttpCli*)> OnSessionConnected;
    std::function<void(THttpCli*, QByteArray& line)> OnCommand;
    std::function<void(THttpCli*, const QByteArray& method, QByteArrayList& headers)> OnBeforeHeaderSend;
    std::function<void(THttpCli*)> OnRequestHeaderBegin;
    std::function<void(THttpCli*)> OnRequestHeaderEnd;
    std::function<void(THttpCli*)> OnHeaderBegin;
    std::function<void(THttpCli*)> OnHeaderData;
    std::function<void(THttpCli*)> OnHeaderEnd;
    std::function<void(THttpCli*)> OnDocBegin;
    std::function<void(THttpCli*, const char* buffer, int len)> OnDocData;
    std::function<void(THttpCli*)> OnDocEnd;
    std::function<void(THttpCli*)> OnSendBegin;
    std::function<void(THttpCli*, const char* buffer, int len)> OnSendData;
    std::function<void(THttpCli*)> OnSendEnd;
    std::function<void(THttpCli*)> OnLocationChange;
    std::function<void(THttpCli*, const QByteArray& data, bool& accept)> OnCookie;
    std::function<void(THttpCli*)> OnSocketError;
    TSessionConnected OnSocksConnected;
    TSocksErrorEvent OnSocksError;
    std::function<void(THttpCli*, THttpRequest requestType, quint16 error)> OnRequestDone;

    // Synchronous requests: they return once the request is over and raise
    // EHttpException for a status of 400 or more.
    void Get() { RunRequest(httpGET); }
    void Post() { RunRequest(httpPOST); }
    void Head() { RunRequest(httpHEAD); }
    void RunRequest(THttpRequest type);
    // Starts a request; OnRequestDone tells its end.
    void BeginRequest(THttpRequest type);
    // Ends the running request at once, as a failure (Status 404) with that
    // reason; a handler of the document's pieces may call it.
    void Abort(const QByteArray& reason);

private:
    void ResetResponse();
    void StartLookup();
    void LookupDone(int error);
    void ConnectionOpened(int error);
    void SendRequestHeader(const QByteArray& method);
    void QueueHeaderLine(QByteArray line);
    void BodyChunkSent();
    void DataArrived();
    void HeaderLine(const QByteArray& line, const QByteArray& lineEnd);
    void HeaderField(const QByteArray& line);
    void NoteLocation(const QByteArray& value);
    void HeaderEnded();
    void BodyData(const QByteArray& piece);
    void DeliverBufferedBody();
    void ConnectionClosed(int error);
    void FollowLocation();
    void SocketFailed();
    void Fail(int error, const QByteArray& reason);
    void Disconnect();
    void MakeReady();
    void ChangeState(THttpState state);
    void DeriveDocName();
    QByteArray CurrentScheme() const;
    QByteArray HostLine() const;
    void TlsFailed(int error, const QByteArray& message);
    // The body came to its announced length.
    bool DocumentComplete() const;

    TWSocket* m_socket;
    THttpState m_state = httpReady;
    QByteArray m_targetHost;
    QByteArray m_targetPort; // empty: the default port
    QByteArray m_connectHost;
    QByteArray m_connectPort;
    QByteArray m_requestPath;
    QByteArray m_requestBuffer;
    QByteArray m_received; // unconsumed bytes, at most ReceiveBufferSize
    int m_doneError = 0;
    bool m_locationSeen = false;
    bool m_inHeader = false;
    bool m_bodySending = false;
    bool m_followOnClose = false; // the close of a relocation answer follows it
    bool m_ending = false;        // the request's end is under way
    // The credentials go only to the site they were given for.
    bool m_sendCredentials = true;
    int m_headerLines = 0;
    qsizetype m_headerBytes = 0;
    int m_bodyPieces = 0;
    int m_relocations = 0;
    QElapsedTimer m_lastActivity;
    QTimer* m_requestTimer;
    QByteArray m_socksError; // what the proxy negotiation said last
    QByteArray m_tlsError;   // what the TLS layer said last
    bool m_secure = false;   // the connection under way is https
};
