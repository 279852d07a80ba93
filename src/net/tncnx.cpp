#include "net/tncnx.h"

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
    // A command cut short by the end of the previous connection must not eat the new session's first bytes.
    ResetDecoder();
    m_count = 0;
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
        if (error != WSAEWOULDBLOCK && OnDisplay)
            OnDisplay(this, "\r\n**** ERROR: " + QByteArray::number(error) + " ****\r\n");
        return;
    }
    decodeReceived(block, count);
}

void TTnCnx::decodeReceived(const char* data, int len)
{
    for (int i = 0; i < len; ++i) {
        if (!DecodeByte(static_cast<unsigned char>(data[i])))
            return;
    }
    FlushBuffer();
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
        // So long a body was never a subnegotiation: the manager does not double IAC, so a CP1252 "ÿú" (FF FA) in
        // a caller name reads as IAC SB. Waiting for an SE would swallow the session: this byte is data again.
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
    switch (option) {
    case TN_TRANSMIT_BINARY:
    case TN_SUPPRESS_GA:
        if (verb == TNCH_WILL)
            Answer(TNCH_DO, option);
        return true;
    case TN_ECHO:
        if (verb == TNCH_WILL) {
            Answer(TNCH_DO, option);
            m_localEcho = false;
        } else if (verb == TNCH_WONT) {
            m_localEcho = true;
        }
        return Notify(OnLocalEcho);
    case TN_SEND_LOC:
        if (verb != TNCH_DO)
            return true;
        Answer(TNCH_WILL, option);
        if (!Notify(OnSendLoc))
            return false;
        SendSubnegotiation(QByteArray(1, static_cast<char>(TN_SEND_LOC)) + m_location);
        return true;
    case TN_TERMTYPE:
    case TN_EOR:
        if (verb == TNCH_DO)
            Answer(TNCH_WILL, option);
        return true;
    default:
        Answer(verb == TNCH_WILL ? TNCH_DONT : TNCH_WONT, option);
        return true;
    }
}

bool TTnCnx::HandleSubnegotiation()
{
    if (m_subnegotiation.size() < 2 || static_cast<unsigned char>(m_subnegotiation.at(0)) != TN_TERMTYPE ||
        static_cast<unsigned char>(m_subnegotiation.at(1)) != TN_TTYPE_SEND)
        return true;
    if (!Notify(OnTermType))
        return false;
    const char head[] = {static_cast<char>(TN_TERMTYPE), static_cast<char>(TN_TTYPE_IS)};
    SendSubnegotiation(QByteArray(head, sizeof head) + m_termType);
    return true;
}

bool TTnCnx::Notify(const std::function<void(TTnCnx*)>& handler)
{
    if (!handler)
        return true;
    QPointer<TTnCnx> self(this);
    handler(this);
    return !self.isNull();
}

void TTnCnx::Answer(unsigned char verb, unsigned char option)
{
    SendText(Command(verb, option));
}

void TTnCnx::SendSubnegotiation(const QByteArray& body)
{
    const char begin[] = {static_cast<char>(TNCH_IAC), static_cast<char>(TNCH_SB)};
    const char end[] = {static_cast<char>(TNCH_IAC), static_cast<char>(TNCH_SE)};
    SendText(QByteArray(begin, sizeof begin) + body + QByteArray(end, sizeof end));
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

void TTnCnx::ResetDecoder()
{
    m_afterIac = false;
    m_verb = 0;
    m_inSubnegotiation = false;
    m_subnegotiation.clear();
}
