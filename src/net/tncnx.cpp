#include "net/tncnx.h"

#include "net/esocketexception.h"
#include "net/winsockerror.h"
#include "net/wsocket.h"

#include <QLoggingCategory>
#include <cstring>

namespace {

Q_LOGGING_CATEGORY(lcTelnet, "corvaline.telnet", QtInfoMsg)

// Telnet commands and the options this client knows.
enum : unsigned char
{
    TNCH_EOR = 239,
    TNCH_SE = 240,
    TNCH_IP = 244,
    TNCH_AO = 245,
    TNCH_AYT = 246,
    TNCH_EC = 247,
    TNCH_EL = 248,
    TNCH_SB = 250,
    TNCH_WILL = 251,
    TNCH_WONT = 252,
    TNCH_DO = 253,
    TNCH_DONT = 254,
    TNCH_IAC = 255,
};

enum : unsigned char
{
    TN_TRANSMIT_BINARY = 0,
    TN_ECHO = 1,
    TN_SUPPRESS_GA = 3,
    TN_SEND_LOC = 23,
    TN_TERMTYPE = 24,
    TN_EOR = 25,
    TN_TTYPE_IS = 0,
    TN_TTYPE_SEND = 1,
};

// No option this client reads has a longer body.
constexpr qsizetype MaxSubnegotiation = 512;

// Traces carry a number running over the whole program, as four hexadecimal digits.
void Trace(const QByteArray& text)
{
    static unsigned traceNumber = 0;
    ++traceNumber;
    qCDebug(lcTelnet, "%04X %s", traceNumber & 0xFFFF, text.trimmed().constData());
}

QByteArray Command(unsigned char verb, unsigned char option)
{
    const char bytes[] = {static_cast<char>(TNCH_IAC), static_cast<char>(verb), static_cast<char>(option)};
    return QByteArray(bytes, sizeof bytes);
}

} // namespace

TTnCnx::TTnCnx(QObject* owner) : QObject(owner), m_socket(new TWSocket(this))
{
    m_socket->SetSendBufferLimit(MaxWaitingOutput);
    m_socket->OnSessionConnected = [this](TCustomWSocket*, quint16 error) {
        if (OnSessionConnected)
            OnSessionConnected(this, error);
    };
    m_socket->OnSessionClosed = [this](TCustomWSocket*, quint16 error) { SocketSessionClosed(error); };
    m_socket->OnDataAvailable = [this](TCustomWSocket*, quint16) { SocketDataAvailable(); };
}

TTnCnx::~TTnCnx()
{
    // The socket must not call back into a half-destroyed session.
    if (m_socket) {
        m_socket->OnSessionConnected = nullptr;
        m_socket->OnSessionClosed = nullptr;
        m_socket->OnDataAvailable = nullptr;
        delete m_socket.data();
    }
}

TWSocket* TTnCnx::Socket() const
{
    return m_socket.data();
}

void TTnCnx::Connect()
{
    if (!m_socket)
        return;
    if (m_socket->State() != wsClosed)
        m_socket->Close();
    if (!m_socket)
        return;
    ResetForNewConnection();
    m_socket->SetProto("tcp");
    m_socket->SetPort(m_port);
    m_socket->SetAddr(m_host);
    m_socket->Connect();
}

void TTnCnx::Close()
{
    if (m_socket)
        m_socket->Close();
}

TSocketState TTnCnx::State() const
{
    return m_socket ? m_socket->State() : wsInvalidState;
}

bool TTnCnx::SessionOpen() const
{
    return m_socket && m_socket->State() == wsConnected;
}

int TTnCnx::SendBytes(const char* data, int len)
{
    return m_socket ? m_socket->Send(data, len) : -1;
}

int TTnCnx::SendText(const QByteArray& text)
{
    return SendBytes(text.constData(), static_cast<int>(text.size()));
}

void TTnCnx::SocketSessionClosed(quint16 error)
{
    QPointer<TTnCnx> self(this);
    if (m_socket && m_socket->State() != wsClosed)
        m_socket->Close();
    if (self && OnSessionClosed)
        OnSessionClosed(this, error);
}

void TTnCnx::SocketDataAvailable()
{
    if (!m_socket)
        return;
    char block[MaxBlockSize];
    const int count = m_socket->Receive(block, MaxBlockSize);
    if (count == 0) {
        if (OnDisplay)
            OnDisplay(this, QByteArrayLiteral("\r\n**** Remote has closed ****\r\n"));
        return;
    }
    if (count < 0) {
        const int error = m_socket->LastError();
        if (error != WSAEWOULDBLOCK)
            DisplayError(error);
        return;
    }
    decodeReceived(block, count);
}

void TTnCnx::DisplayError(int code)
{
    if (OnDisplay)
        OnDisplay(this, "\r\n**** ERROR: " + QByteArray::number(code) + " ****\r\n");
}

void TTnCnx::decodeReceived(const char* data, int len)
{
    for (int i = 0; i < len; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        WatchForBanner(b);
        if (!(m_plain ? AppendData(b) : DecodeByte(b)))
            return;
    }
    FlushBuffer();
}

// The banner's bytes are plain text, which the decoder passes as data anyway: the switch to plain data takes
// effect from the byte after the banner on, within the same read too.
void TTnCnx::WatchForBanner(unsigned char b)
{
    if (m_plain || m_bannerMatched < 0 || m_plainTextBanner.isEmpty())
        return;
    if (static_cast<char>(b) != m_plainTextBanner.at(m_bannerMatched)) {
        m_bannerMatched = -1;
        return;
    }
    m_plain = ++m_bannerMatched == m_plainTextBanner.size();
}

bool TTnCnx::DecodeByte(unsigned char b)
{
    if (m_verb != 0) {
        const unsigned char verb = m_verb;
        m_verb = 0;
        m_subnegotiation.clear();
        return HandleOption(verb, b);
    }
    if (m_inSubnegotiation) {
        if (b == TNCH_SE) {
            m_inSubnegotiation = false;
            const bool alive = HandleSubnegotiation();
            if (alive)
                m_subnegotiation.clear();
            return alive;
        }
        if (m_subnegotiation.size() < MaxSubnegotiation) {
            m_subnegotiation.append(static_cast<char>(b));
            return true;
        }
        // So long a body was never a subnegotiation: a peer that does not double IAC (a manager whose banner
        // was not named) sends a CP1252 "ÿú" (FF FA) that reads as IAC SB. Waiting for an SE would swallow the
        // session: this byte is data again.
        Trace("Subnegotiation over " + QByteArray::number(MaxSubnegotiation) + " bytes dropped");
        m_inSubnegotiation = false;
        m_subnegotiation.clear();
    }
    if (m_afterIac) {
        m_afterIac = false;
        switch (b) {
        case TNCH_EOR:
            Trace("TNCH_EOR");
            return Notify(OnEndOfRecord);
        case TNCH_SB:
            m_inSubnegotiation = true;
            return true;
        case TNCH_WILL:
        case TNCH_WONT:
        case TNCH_DO:
        case TNCH_DONT:
            m_verb = b;
            return true;
        case TNCH_IAC:
            return AppendData(b);
        default:
            Trace(QByteArray("Unknown ") + QByteArray::number(b, 16).toUpper().rightJustified(2, '0') + " '" +
                  static_cast<char>(b) + "'");
            return true;
        }
    }
    static const char* const commandTraces[] = {"TNCH_IP", "TNCH_AO", "TNCH_AYT", "TNCH_EC", "TNCH_EL"};
    if (b == TNCH_IAC) {
        m_afterIac = true;
        return true;
    }
    if (b >= TNCH_IP && b <= TNCH_EL)
        Trace(commandTraces[b - TNCH_IP]);
    return AppendData(b);
}

bool TTnCnx::HandleOption(unsigned char verb, unsigned char option)
{
    if (!FirstRequest(verb, option))
        return option == TN_ECHO ? FollowEcho(verb) : true;
    switch (option) {
    case TN_TRANSMIT_BINARY:
    case TN_SUPPRESS_GA:
        return verb != TNCH_WILL || Answer(TNCH_DO, option);
    case TN_ECHO:
        if (verb == TNCH_WILL && !Answer(TNCH_DO, option))
            return false;
        return FollowEcho(verb);
    case TN_SEND_LOC:
        if (verb != TNCH_DO)
            return true;
        return Answer(TNCH_WILL, option) && Notify(OnSendLoc) &&
               SendSubnegotiation(QByteArray(1, static_cast<char>(TN_SEND_LOC)) + m_location);
    case TN_TERMTYPE:
    case TN_EOR:
        return verb != TNCH_DO || Answer(TNCH_WILL, option);
    default:
        return Answer(verb == TNCH_WILL ? TNCH_DONT : TNCH_WONT, option);
    }
}

// A request repeated on the same connection gets no second answer: answering every one would let two ends
// answer each other's answers for ever, and a peer that never reads pile them up.
bool TTnCnx::FirstRequest(unsigned char verb, unsigned char option)
{
    const size_t request = static_cast<size_t>(verb - TNCH_WILL) * 256 + option;
    if (m_requestsSeen.test(request))
        return false;
    m_requestsSeen.set(request);
    return true;
}

bool TTnCnx::FollowEcho(unsigned char verb)
{
    if (verb == TNCH_WILL)
        m_localEcho = false;
    else if (verb == TNCH_WONT)
        m_localEcho = true;
    return Notify(OnLocalEcho);
}

bool TTnCnx::HandleSubnegotiation()
{
    if (m_subnegotiation.size() < 2 || static_cast<unsigned char>(m_subnegotiation.at(0)) != TN_TERMTYPE ||
        static_cast<unsigned char>(m_subnegotiation.at(1)) != TN_TTYPE_SEND)
        return true;
    if (!Notify(OnTermType))
        return false;
    const char head[] = {static_cast<char>(TN_TERMTYPE), static_cast<char>(TN_TTYPE_IS)};
    return SendSubnegotiation(QByteArray(head, sizeof head) + m_termType);
}

bool TTnCnx::Notify(const std::function<void(TTnCnx*)>& handler)
{
    if (!handler)
        return true;
    QPointer<TTnCnx> self(this);
    handler(this);
    return !self.isNull();
}

bool TTnCnx::Answer(unsigned char verb, unsigned char option)
{
    return SendReply(Command(verb, option));
}

bool TTnCnx::SendSubnegotiation(const QByteArray& body)
{
    const char begin[] = {static_cast<char>(TNCH_IAC), static_cast<char>(TNCH_SB)};
    const char end[] = {static_cast<char>(TNCH_IAC), static_cast<char>(TNCH_SE)};
    return SendReply(QByteArray(begin, sizeof begin) + body + QByteArray(end, sizeof end));
}

// A reply the socket refuses, because the peer has left too much unread or for any other reason, ends the
// session: the peer's requests would otherwise make the session hold its replies without end. Returns false
// when the session was closed, so that decoding stops.
bool TTnCnx::SendReply(const QByteArray& bytes)
{
    if (!SessionOpen())
        return true;
    int sent = -1;
    try {
        sent = SendText(bytes);
    } catch (const ESocketException&) {
        // The code is in the socket's last error, shown below.
    }
    if (sent >= 0)
        return true;
    QPointer<TTnCnx> self(this);
    DisplayError(m_socket ? m_socket->LastError() : WSAENOTSOCK);
    if (self)
        Close();
    return false;
}

bool TTnCnx::AppendData(unsigned char b)
{
    // A flush always empties the buffer, so the next byte has room.
    m_buffer[m_count++] = static_cast<char>(b);
    return m_count < MaxBlockSize || FlushBuffer();
}

bool TTnCnx::FlushBuffer()
{
    const int count = m_count;
    m_count = 0;
    if (count <= 0 || !OnDataAvailable)
        return true;
    // The handler gets a copy: it may run the event loop and have the next bytes decoded into m_buffer. The copy
    // lives on the stack, so it cannot fail to be made and leave a full buffer behind.
    char block[MaxBlockSize + 1];
    std::memcpy(block, m_buffer, static_cast<size_t>(count));
    block[count] = '\0';
    QPointer<TTnCnx> self(this);
    OnDataAvailable(this, block, count);
    return !self.isNull();
}

// A command cut short by the end of the previous connection must not eat the new session's first bytes, and
// the new peer's requests are answered afresh.
void TTnCnx::ResetForNewConnection()
{
    m_count = 0;
    m_requestsSeen.reset();
    m_bannerMatched = 0;
    m_plain = false;
    m_afterIac = false;
    m_verb = 0;
    m_inSubnegotiation = false;
    m_subnegotiation.clear();
}
