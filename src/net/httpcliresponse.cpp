// How THttpCli reads a response: the status and header lines, relocations,
// the document, and the name the document is given.
#include "net/httpcli.h"

#include "net/urlroutines.h"
#include "net/wsocket.h"

#include <QIODevice>

#include <algorithm>
#include <utility>

namespace {

bool HasControlCharacter(const QByteArray& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

// The text before the first c, or all of it when there is none.
QByteArray BeforeFirst(const QByteArray& text, char c)
{
    const qsizetype at = text.indexOf(c);
    return at < 0 ? text : text.left(at);
}

} // namespace

void THttpCli::HeaderLine(const QByteArray& line, const QByteArray& lineEnd)
{
    if (m_headerLines == 0) {
        m_inHeader = true;
        if (OnHeaderBegin)
            OnHeaderBegin(this);
    }
    ++m_headerLines;
    // Every line is bounded by the receive buffer; their number is bounded here.
    m_headerBytes += line.size() + lineEnd.size();
    if (m_headerBytes > MaxHeaderSize) {
        Fail(0, "HTTP header too long (more than " + QByteArray::number(MaxHeaderSize) + " bytes)");
        return;
    }
    if (line.left(6).toUpper() == "<HTML>") {
        // No header at all: the document starts here, line ends and all.
        if (DocType.isEmpty())
            DocType = "text/html";
        ChangeState(httpWaitingBody);
        m_inHeader = false;
        if (OnHeaderEnd)
            OnHeaderEnd(this);
        BodyData(line + lineEnd);
        DeliverBufferedBody();
        return;
    }
    if (line.isEmpty()) {
        HeaderEnded();
        return;
    }
    HeaderField(line);
    if (OnHeaderData)
        OnHeaderData(this);
}

void THttpCli::HeaderField(const QByteArray& line)
{
    ResponseHeader.append(line);
    if (line.startsWith("HTTP/1.0") || line.startsWith("HTTP/1.1")) {
        Status = line.mid(9, 3).toInt();
        Reason = line.mid(13);
        return;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return;
    const QByteArray name = line.left(colon).toLower();
    qsizetype start = colon + 1;
    while (start < line.size() && line.at(start) == ' ')
        ++start;
    const QByteArray value = line.mid(start);
    if (name == "location") {
        NoteLocation(value);
    } else if (name == "content-length") {
        // A length that is no number says nothing: the document runs to the close.
        bool number = false;
        DocLength = value.trimmed().toLongLong(&number);
        if (!number)
            DocLength = -1;
    } else if (name == "content-range") {
        // "bytes 100-199/1000"
        const qsizetype dash = value.indexOf('-');
        const qsizetype slash = value.indexOf('/');
        ContentRangeBegin = value.mid(6, dash < 0 ? -1 : dash - 6);
        ContentRangeEnd = dash < 0 ? QByteArray() : value.mid(dash + 1, slash < 0 ? -1 : slash - dash - 1);
    } else if (name == "accept-ranges") {
        AcceptRanges = value;
    } else if (name == "content-type") {
        DocType = value.toLower();
    } else if (name == "set-cookie") {
        bool accept = true;
        if (OnCookie)
            OnCookie(this, value, accept);
    }
}

QByteArray THttpCli::CurrentScheme() const
{
    const QByteArray scheme = SplitUrl(CurrentLocation).scheme;
    return scheme.isEmpty() ? QByteArrayLiteral("http") : scheme;
}

void THttpCli::NoteLocation(const QByteArray& value)
{
    // Such an address would end up inside the next request's lines.
    if (HasControlCharacter(value)) {
        Fail(0, "relocation refused: control character in its address");
        return;
    }
    m_locationSeen = true;
    if (value.startsWith("http://") || value.startsWith("https://")) {
        const TUrlParts url = SplitUrl(value);
        const QByteArray scheme = CurrentScheme().toLower();
        const QByteArray portNow = m_targetPort.isEmpty() ? DefaultPort(scheme) : m_targetPort;
        // The credentials of one site are not handed to another one, and
        // those given over TLS never go out in clear.
        if (url.scheme != scheme || url.host.toLower() != m_targetHost.toLower() ||
            (url.port.isEmpty() ? DefaultPort(url.scheme) : url.port) != portNow)
            m_sendCredentials = false;
        const bool downgrade = scheme == "https" && url.scheme == "http";
        if (!url.user.isEmpty() && !url.password.isEmpty() && !downgrade) {
            Username = url.user;
            Password = url.password;
            m_sendCredentials = true;
        }
        m_targetHost = url.host;
        m_targetPort = url.port;
        const QByteArray path = url.path.isEmpty() ? QByteArrayLiteral("/") : url.path;
        const QByteArray site = url.scheme + "://" + url.host + (url.port.isEmpty() ? QByteArray() : ":" + url.port);
        CurrentLocation = site + (url.path.isEmpty() ? QByteArray() : path);
        if (Proxy.isEmpty()) {
            m_connectHost = url.host;
            m_connectPort = url.port.isEmpty() ? DefaultPort(url.scheme) : url.port;
            m_requestPath = path;
        } else {
            // Through a proxy the connection stays with the proxy.
            m_requestPath = site + path;
        }
        return;
    }
    // A rooted path keeps the site; a bare name is joined to the directory of
    // the current path, with one separator between them.
    const TUrlParts current = SplitUrl(Proxy.isEmpty() ? CurrentLocation : m_requestPath);
    QByteArray path = value;
    if (!value.startsWith('/')) {
        QByteArray directory = UrlDirectory(current.path);
        if (!directory.endsWith('/'))
            directory += '/';
        path = directory + value;
    }
    const QByteArray site =
        CurrentScheme() + "://" + m_targetHost +
        (current.port.isEmpty() || current.port == DefaultPort(CurrentScheme()) ? QByteArray() : ":" + current.port);
    CurrentLocation = site + path;
    m_requestPath = Proxy.isEmpty() ? path : CurrentLocation;
}

void THttpCli::HeaderEnded()
{
    m_inHeader = false;
    if (m_locationSeen) {
        if (OnHeaderEnd)
            OnHeaderEnd(this);
        // The body of the relocation answer is not read: its close starts the
        // next request.
        m_received.clear();
        m_headerLines = 0;
        m_headerBytes = 0;
        m_bodyPieces = 0;
        m_followOnClose = true;
        m_socket->Close();
        return;
    }
    if (DocLength == 0) {
        if (OnHeaderEnd)
            OnHeaderEnd(this);
        m_ending = true;
        m_socket->Close();
        ChangeState(httpNotConnected);
        MakeReady();
        return;
    }
    const qsizetype slash = DocumentName.lastIndexOf('/');
    const qsizetype dot = DocumentName.lastIndexOf('.');
    const QByteArray extension = dot > slash ? DocumentName.mid(dot).toLower() : QByteArray();
    if ((extension == ".exe" || extension.isEmpty()) && DocType == "text/html")
        DocumentName = ChangeExt(DocumentName, "htm");
    ChangeState(httpWaitingBody);
    if (OnHeaderEnd)
        OnHeaderEnd(this);
    DeliverBufferedBody();
    // The rest of an error document is not read.
    if (Status >= 400)
        m_socket->Close();
}

void THttpCli::DeliverBufferedBody()
{
    if (!m_received.isEmpty())
        BodyData(std::exchange(m_received, QByteArray()));
}

void THttpCli::BodyData(const QByteArray& piece)
{
    if (m_bodyPieces == 0 && OnDocBegin)
        OnDocBegin(this);
    ++m_bodyPieces;
    ReceivedBytes += piece.size();
    if (ReceiveStream != nullptr)
        ReceiveStream->write(piece);
    if (OnDocData)
        OnDocData(this, piece.constData(), static_cast<int>(piece.size()));
}

void THttpCli::FollowLocation()
{
    m_followOnClose = false;
    m_locationSeen = false;
    if (++m_relocations > MaxRelocations) {
        Fail(0, "too many relocations (more than " + QByteArray::number(MaxRelocations) + ")");
        return;
    }
    DocumentName = SplitUrl(BeforeFirst(CurrentLocation, '#')).path;
    DeriveDocName();
    ChangeState(httpNotConnected);
    if (RequestType == httpPOST)
        RequestType = httpGET;
    if (OnLocationChange)
        OnLocationChange(this);
    ResponseHeader.clear();
    m_headerLines = 0;
    m_headerBytes = 0;
    m_bodyPieces = 0;
    DocLength = -1;
    DocType.clear();
    Status = 0;
    m_ending = false;
    // From the loop: the socket is still inside its close. A request that
    // failed meanwhile (its deadline, a quit) stays over.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_ending)
                StartLookup();
        },
        Qt::QueuedConnection);
}

void THttpCli::DeriveDocName()
{
    QByteArray name = BeforeFirst(DocumentName, '?');
    if (name.isEmpty() || name.endsWith('/')) {
        DocumentName = "document.htm";
        return;
    }
    name = name.mid(name.lastIndexOf('/') + 1).left(255);
    DocumentName = BeforeFirst(name, '?');
}
