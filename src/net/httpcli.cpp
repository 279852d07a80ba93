// The request engine of THttpCli: starting a request, the lookup, the
// connection, the request header and the post body, the reading of received
// bytes into lines, and the end of the request.
#include "net/httpcli.h"

#include "net/ehttpexception.h"
#include "net/quitrequest.h"
#include "net/urlroutines.h"
#include "net/winsockerror.h"
#include "net/wsocket.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {

// Unconsumed received bytes at most: a longer line without its end fails.
constexpr qsizetype ReceiveBufferSize = 8192;
// The document is read in larger pieces: it is handed on as it comes, and
// fewer, larger reads keep a download as fast as the network allows.
constexpr qsizetype BodyReadSize = 65536;
constexpr qint64 SendChunkSize = 8193;

QByteArray ErrorReason(int code)
{
    return WinsockErrorText(code) + " (Error #" + QByteArray::number(code) + ")";
}

} // namespace

THttpCli::THttpCli(QObject* owner) : QObject(owner), m_socket(new TWSocket(this)), m_requestTimer(new QTimer(this))
{
    m_requestTimer->setSingleShot(true);
    connect(m_requestTimer, &QTimer::timeout, this,
            [this] { Fail(WSAETIMEDOUT, "request not over after " + QByteArray::number(RequestTimeoutMs) + " ms"); });
    // Every sign of the server counts against the stall limit of a synchronous request.
    m_socket->OnDnsLookupDone = [this](TCustomWSocket*, quint16 error) {
        m_lastActivity.restart();
        LookupDone(error);
    };
    m_socket->OnSessionConnected = [this](TCustomWSocket*, quint16 error) {
        m_lastActivity.restart();
        ConnectionOpened(error);
    };
    m_socket->OnSessionClosed = [this](TCustomWSocket*, quint16 error) {
        // A server may leave out its close_notify after the whole document.
        if (error == TlsTruncated && DocumentComplete())
            error = 0;
        if (m_followOnClose)
            FollowLocation();
        else
            ConnectionClosed(error);
    };
    m_socket->OnDataAvailable = [this](TCustomWSocket*, quint16) {
        m_lastActivity.restart();
        DataArrived();
    };
    m_socket->OnDataSent = [this](TCustomWSocket*, quint16) { BodyChunkSent(); };
    m_socket->OnError = [this](TCustomWSocket*) { SocketFailed(); };
    m_socket->OnSocksConnected = [this](TCustomWSocket* socket, quint16 error) {
        if (OnSocksConnected)
            OnSocksConnected(socket, error);
    };
    m_socket->OnTlsError = [this](TCustomWSocket*, int error, const QByteArray& message) { TlsFailed(error, message); };
    m_socket->OnSocksError = [this](TCustomWSocket* socket, int error, const QByteArray& message) {
        m_socksError = message;
        if (OnSocksError)
            OnSocksError(socket, error, message);
    };
}

THttpCli::~THttpCli()
{
    m_socket->OnSessionClosed = nullptr;
    m_socket->OnError = nullptr;
}

void THttpCli::RunRequest(THttpRequest type)
{
    BeginRequest(type);
    const QPointer<THttpCli> self(this);
    // The loop sleeps until an event comes. A server silent for too long, the
    // request's deadline or the program's quit request ends the request, so
    // that nobody waits on it for ever.
    while (self && m_state != httpReady) {
        if (QuitRequest::raised())
            Fail(WSAECONNABORTED, "request abandoned: the program is quitting");
        const qint64 left = StallTimeoutMs - m_lastActivity.elapsed();
        if (left <= 0) {
            Fail(WSAETIMEDOUT, "no answer from the server for " + QByteArray::number(StallTimeoutMs) + " ms");
            m_lastActivity.restart();
            continue;
        }
        QTimer wake;
        wake.setSingleShot(true);
        wake.start(std::chrono::milliseconds(left));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (self && Status > 399)
        throw EHttpException(Reason, Status);
}

void THttpCli::BeginRequest(THttpRequest type)
{
    if (m_state != httpReady)
        throw EHttpException("HTTP component is busy", 1);
    if (type == httpPOST && PostStream == nullptr)
        throw EHttpException("HTTP component has nothing to post", 2);
    m_followOnClose = false;
    m_ending = false;
    m_relocations = 0;
    ChangeState(httpNotConnected);
    RequestType = type;
    ResetResponse();

    const TUrlParts url = SplitUrl(URL);
    m_targetHost = url.host;
    m_targetPort = url.port;
    m_sendCredentials = true;
    DocumentName = url.path;
    if (!url.user.isEmpty())
        Username = url.user;
    if (!url.password.isEmpty())
        Password = url.password;
    if (Proxy.isEmpty()) {
        m_requestPath = url.path;
        m_connectHost = url.host;
        m_connectPort = url.port.isEmpty() ? DefaultPort(url.scheme) : url.port;
    } else {
        m_requestPath = (url.scheme.isEmpty() ? QByteArrayLiteral("http") : url.scheme) + "://" + url.host +
                        (url.port.isEmpty() ? QByteArray() : ":" + url.port) + url.path;
        const TUrlParts proxy = SplitUrl(Proxy);
        m_connectHost = proxy.host;
        m_connectPort = proxy.port.isEmpty() ? ProxyPort : proxy.port;
    }
    if (m_requestPath.isEmpty())
        m_requestPath = "/";
    DeriveDocName();
    m_lastActivity.start();
    if (RequestTimeoutMs > 0)
        m_requestTimer->start(RequestTimeoutMs);
    StartLookup();
}

void THttpCli::ResetResponse()
{
    ResponseHeader.clear();
    m_doneError = 0;
    DocumentName.clear();
    Status = 0;
    Reason.clear();
    ReceivedBytes = 0;
    SentBytes = 0;
    m_headerLines = 0;
    m_headerBytes = 0;
    m_bodyPieces = 0;
    DocLength = -1;
    DocType.clear();
    m_bodySending = false;
    m_inHeader = false;
    m_locationSeen = false;
    m_received.clear();
    CurrentLocation = URL;
}

void THttpCli::StartLookup()
{
    // A proxy would be sent the request, and would send the answer back, in clear.
    m_secure = CurrentScheme().compare("https", Qt::CaseInsensitive) == 0;
    if (m_secure && !Proxy.isEmpty()) {
        Fail(0, "https through an HTTP proxy is not supported");
        return;
    }
    ChangeState(httpDnsLookup);
    m_socket->SetLocalAddr(LocalAddr);
    // A refused lookup reports through OnError and then OnDnsLookupDone.
    m_socket->DnsLookup(m_connectHost);
}

void THttpCli::LookupDone(int error)
{
    if (m_state != httpDnsLookup)
        return;
    if (error != 0) {
        Fail(error, "can't resolve hostname to IP address");
        return;
    }
    ChangeState(httpDnsLookupDone);
    m_socket->SetAddr(m_socket->DnsResult());
    m_socket->SetLocalAddr(LocalAddr);
    m_socket->SetPort(m_connectPort);
    m_socket->SetProto("tcp");
    m_socksError.clear();
    m_socket->SetSocksServer(SocksServer);
    m_socket->SetSocksPort(SocksPort);
    m_socket->SetSocksLevel(SocksLevel);
    m_socket->SetSocksUsercode(SocksUsercode);
    m_socket->SetSocksPassword(SocksPassword);
    m_socket->SetSocksAuthentication(SocksAuthentication);
    m_tlsError.clear();
    m_socket->SetTls(m_secure);
    // The certificate must name the host of the address, whatever it resolved to.
    m_socket->SetTlsHostName(m_targetHost);
    m_socket->SetTrust(Trust);
    // A connect that fails at once reports through OnError.
    m_socket->Connect();
}

void THttpCli::ConnectionOpened(int error)
{
    if (error != 0) {
        // A failed proxy negotiation or TLS handshake says best what went wrong.
        const QByteArray said = !m_tlsError.isEmpty() ? m_tlsError : m_socksError;
        Fail(error, said.isEmpty() ? ErrorReason(error) : said + " (Error #" + QByteArray::number(error) + ")");
        return;
    }
    ChangeState(httpConnected);
    if (OnSessionConnected)
        OnSessionConnected(this);
    ChangeState(httpWaitingHeader);
    switch (RequestType) {
    case httpPOST:
        SendRequestHeader("POST");
        if (OnSendBegin)
            OnSendBegin(this);
        m_bodySending = true;
        BodyChunkSent();
        break;
    case httpHEAD:
        SendRequestHeader("HEAD");
        break;
    default:
        SendRequestHeader("GET");
        break;
    }
}

void THttpCli::SendRequestHeader(const QByteArray& method)
{
    if (OnRequestHeaderBegin)
        OnRequestHeaderBegin(this);
    m_requestBuffer.clear();
    QByteArrayList lines{method + ' ' + m_requestPath + " HTTP/1.0"};
    const auto add = [&lines](bool condition, const QByteArray& line) {
        if (condition)
            lines.append(line);
    };
    const bool post = method == "POST";
    add(!Sender.isEmpty(), "From: " + Sender);
    add(!Accept.isEmpty(), "Accept: " + Accept);
    add(!Reference.isEmpty(), "Referer: " + Reference);
    add(!AcceptLanguage.isEmpty(), "Accept-Language: " + AcceptLanguage);
    add(post && !ContentTypePost.isEmpty(), "Content-Type: " + ContentTypePost);
    add(!Agent.isEmpty(), "User-Agent: " + Agent);
    add(true, HostLine());
    add(NoCache, "Pragma: no-cache");
    add(post, "Content-Length: " + QByteArray::number(PostStream ? PostStream->size() : 0));
    add(ModifiedSince.isValid(), "If-Modified-Since: " + HttpDate(ModifiedSince) + " GMT");
    add(m_sendCredentials && !Username.isEmpty(), "Authorization: Basic " + EncodeText(Username + ':' + Password));
    add(!Proxy.isEmpty() && !ProxyUsername.isEmpty(),
        "Proxy-Authorization: Basic " + EncodeText(ProxyUsername + ':' + ProxyPassword));
    add(!Cookie.isEmpty(), "Cookie: " + Cookie);
    if (!ContentRangeBegin.isEmpty() || !ContentRangeEnd.isEmpty()) {
        lines.append("Range: bytes=" + ContentRangeBegin + '-' + ContentRangeEnd);
        ContentRangeBegin.clear();
        ContentRangeEnd.clear();
    }
    AcceptRanges.clear();
    if (OnBeforeHeaderSend)
        OnBeforeHeaderSend(this, method, lines);
    for (const QByteArray& line : std::as_const(lines))
        QueueHeaderLine(line);
    if (OnRequestHeaderEnd)
        OnRequestHeaderEnd(this);
    QueueHeaderLine(QByteArray());
    m_socket->SendText(std::exchange(m_requestBuffer, QByteArray()));
}

void THttpCli::QueueHeaderLine(QByteArray line)
{
    if (OnCommand)
        OnCommand(this, line);
    m_requestBuffer += line + "\r\n";
}

void THttpCli::BodyChunkSent()
{
    if (!m_bodySending || PostStream == nullptr)
        return;
    const QByteArray chunk = PostStream->read(SendChunkSize);
    if (!chunk.isEmpty()) {
        SentBytes += chunk.size();
        if (OnSendData)
            OnSendData(this, chunk.constData(), static_cast<int>(chunk.size()));
        m_socket->SendText(chunk);
        return;
    }
    m_bodySending = false;
    if (OnSendEnd)
        OnSendEnd(this);
}

void THttpCli::DataArrived()
{
    // A line this long without its end fails the request: thrown from here,
    // the socket would swallow the error and the request would never end.
    if (m_received.size() >= ReceiveBufferSize) {
        Fail(0, "HTTP line too long");
        return;
    }
    const qsizetype before = m_received.size();
    const qsizetype room = (m_state == httpWaitingBody ? BodyReadSize : ReceiveBufferSize) - before;
    m_received.resize(before + room);
    const int count = m_socket->Receive(m_received.data() + before, static_cast<int>(room));
    m_received.resize(before + std::max(count, 0));
    if (RequestType == httpAbort || count <= 0)
        return;
    if (m_state == httpWaitingBody) {
        DeliverBufferedBody();
        return;
    }
    const QPointer<THttpCli> self(this);
    while (self && m_state == httpWaitingHeader) {
        // Lines end in LF, with or without a CR before it.
        const qsizetype lf = m_received.indexOf('\n');
        if (lf < 0)
            return;
        const qsizetype end = lf > 0 && m_received.at(lf - 1) == '\r' ? lf - 1 : lf;
        const QByteArray line = m_received.left(end);
        const QByteArray lineEnd = m_received.mid(end, lf + 1 - end);
        m_received.remove(0, lf + 1);
        HeaderLine(line, lineEnd);
    }
}

QByteArray THttpCli::HostLine() const
{
    // A server behind another port than the default one tells its sites apart by it.
    const bool defaultPort = m_targetPort.isEmpty() || m_targetPort == DefaultPort(CurrentScheme());
    return "Host: " + m_targetHost + (defaultPort ? QByteArray() : ":" + m_targetPort);
}

void THttpCli::Abort(const QByteArray& reason)
{
    if (m_state != httpReady)
        Fail(WSAECONNABORTED, reason);
}

void THttpCli::TlsFailed(int error, const QByteArray& message)
{
    m_tlsError = message;
    // A failed handshake ends the request through ConnectionOpened.
    if (m_state != httpWaitingHeader && m_state != httpWaitingBody)
        return;
    if (error == TlsTruncated && DocumentComplete())
        return;
    Fail(error, message + " (Error #" + QByteArray::number(error) + ")");
}

bool THttpCli::DocumentComplete() const
{
    return m_state == httpWaitingBody && DocLength >= 0 && ReceivedBytes >= DocLength;
}

void THttpCli::SocketFailed()
{
    if (OnSocketError)
        OnSocketError(this);
    // A failure told only here must end the request all the same.
    if (m_state == httpReady)
        return;
    const int code = m_socket->LastError();
    Fail(code, (m_state == httpDnsLookupDone ? "can't connect: " : "socket error: ") + ErrorReason(code));
}

void THttpCli::Fail(int error, const QByteArray& reason)
{
    if (m_ending)
        return;
    m_doneError = error;
    Status = 404;
    Reason = reason;
    m_followOnClose = false;
    m_locationSeen = false;
    if (m_socket->State() != wsClosed)
        m_socket->Abort();
    ConnectionClosed(error);
}

void THttpCli::ConnectionClosed(int error)
{
    if (m_ending)
        return;
    m_ending = true;
    if (error != 0)
        m_doneError = error;
    ChangeState(httpNotConnected);
    if (m_inHeader) {
        m_inHeader = false;
        if (OnHeaderEnd)
            OnHeaderEnd(this);
        if (m_locationSeen) {
            FollowLocation();
            return;
        }
        // Closed in the middle of the header: the request ends with what came.
    } else if (m_bodyPieces > 0 && OnDocEnd) {
        OnDocEnd(this);
    }
    MakeReady();
}

void THttpCli::MakeReady()
{
    QMetaObject::invokeMethod(
        this, [this] { ChangeState(httpReady); }, Qt::QueuedConnection);
}

void THttpCli::ChangeState(THttpState state)
{
    if (m_state == state)
        return;
    m_state = state;
    if (OnStateChange)
        OnStateChange(this);
    if (state != httpReady)
        return;
    m_requestTimer->stop();
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (OnRequestDone)
                OnRequestDone(this, RequestType, static_cast<quint16>(m_doneError));
        },
        Qt::QueuedConnection);
}
