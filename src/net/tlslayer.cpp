#include "net/tlslayer.h"

#include "net/socketcalls.h"
#include "net/tlsengine.h"
#include "net/winsockerror.h"

#include <algorithm>
#include <cstring>
#include <sys/socket.h>

namespace {

// Ciphertext is moved from the socket in pieces of this size: a few records.
constexpr int CipherReadSize = 65536;
// Plaintext decrypted ahead, when the socket's loop asks whether any is held.
constexpr int HeldReadSize = 16384;

QByteArray RefusalText(TlsVerdict verdict, const TlsCertificateCheck& check)
{
    const QByteArray what = verdict == TlsVerdict::Changed ? QByteArrayLiteral("TLS certificate changed")
                                                           : QByteArrayLiteral("TLS certificate refused");
    return what + " (" + check.reason + "), SHA-256 fingerprint " +
           (check.fingerprint.isEmpty() ? QByteArrayLiteral("none") : check.fingerprint);
}

} // namespace

TlsLayer::TlsLayer(QObject* owner) : TCustomSocksWSocket(owner) {}

TlsLayer::~TlsLayer()
{
    // Straight to the system, whatever it makes of it: a socket being
    // destroyed tells nobody, and the base closes the connection next.
    if (m_phase != Established || State() != wsConnected || m_endOfStream || m_engine->PeerClosed())
        return;
    m_engine->Shutdown();
    const QByteArray cipher = m_engine->TakeOutput();
    if (!cipher.isEmpty())
        SocketCalls::send(HSocket(), cipher.constData(), static_cast<size_t>(cipher.size()), 0);
}

// ---- properties ----

void TlsLayer::SetTls(bool value)
{
    if (State() != wsClosed) {
        ReportError("Can't change TLS if not closed");
        return;
    }
    m_tls = value;
}

void TlsLayer::SetTlsHostName(const QByteArray& value)
{
    if (State() != wsClosed) {
        ReportError("Can't change TLS host name if not closed");
        return;
    }
    m_hostName = value.trimmed();
}

QByteArray TlsLayer::TlsVersion() const
{
    return m_phase == Established ? m_engine->Version() : QByteArray();
}

void TlsLayer::ResetToDefaults()
{
    TCustomSocksWSocket::ResetToDefaults();
    m_phase = Off;
    m_engine.reset();
    m_held.clear();
    m_heldTaken = 0;
    m_early.clear();
    m_endOfStream = false;
    m_closePosted = false;
    m_truncated = false;
}

// ---- opening ----

void TlsLayer::Connect()
{
    if (HSocket() == INVALID_SOCKET || State() == wsClosed) {
        m_check = TlsCertificateCheck();
        m_verdict = TlsVerdict::Unknown;
    }
    TCustomSocksWSocket::Connect();
}

void TlsLayer::DoSessionConnected(int error)
{
    // The connection to a proxy is the proxy layer's; the session starts in its tunnel.
    if (!m_tls || error != 0 || SocksPhase() != spData || m_phase != Off) {
        TCustomSocksWSocket::DoSessionConnected(error);
        return;
    }
    StartHandshake();
}

void TlsLayer::StartHandshake()
{
    m_engine = std::make_unique<TlsEngine>(m_hostName.isEmpty() ? Addr() : m_hostName, m_trust.CaFile());
    if (m_engine->Error() != 0) {
        FailHandshake(m_engine->Error(), m_engine->ErrorText());
        return;
    }
    m_phase = Negotiating;
    ContinueHandshake();
}

void TlsLayer::ContinueHandshake()
{
    const TlsEngine::Progress progress = m_engine->Handshake();
    if (!FlushOutput())
        return;
    if (progress == TlsEngine::Failed) {
        FailHandshake(m_engine->Error(), m_engine->ErrorText());
        return;
    }
    if (progress == TlsEngine::Negotiating) {
        if (m_endOfStream)
            FailHandshake(TlsHandshakeFailed, "TLS handshake failed: connection closed by the server");
        return;
    }
    m_check = m_engine->PeerCheck();
    m_verdict = m_trust.Judge(m_check);
    if (!TlsTrust::Accepts(m_verdict)) {
        FailHandshake(m_verdict == TlsVerdict::Changed ? TlsCertificateChanged : TlsCertificateRefused,
                      RefusalText(m_verdict, m_check));
        return;
    }
    m_phase = Established;
    const HandlerGuard guard(this);
    if (!m_early.isEmpty()) {
        const QByteArray early = std::exchange(m_early, QByteArray());
        Send(early.constData(), static_cast<int>(early.size()));
        if (!guard.connectionOpen())
            return;
    }
    TCustomSocksWSocket::DoSessionConnected(0);
}

void TlsLayer::FailHandshake(int code, const QByteArray& text)
{
    const HandlerGuard guard(this);
    DoTlsError(code, text);
    if (!guard.sameConnection())
        return;
    m_phase = Off;
    m_early.clear();
    TCustomSocksWSocket::DoSessionConnected(code);
    if (guard.connectionOpen())
        DoClose(true, code);
}

void TlsLayer::DoTlsError(int error, const QByteArray& msg)
{
    if (OnTlsError)
        OnTlsError(this, error, msg);
}

// ---- receiving ----

int TlsLayer::PullCipher()
{
    char cipher[CipherReadSize];
    const int received = TCustomSocksWSocket::RawReceive(cipher, sizeof cipher, 0);
    if (received > 0)
        m_engine->Feed(cipher, received);
    else if (received == 0)
        m_endOfStream = true;
    return received;
}

bool TlsLayer::DoDataAvailable(int error)
{
    // What the reads of the owner left for the server (a key update's answer) goes first.
    if (m_phase == Established && !FlushOutput())
        return true;
    if (m_phase != Negotiating)
        return TCustomSocksWSocket::DoDataAvailable(error);
    if (error != 0) {
        FailHandshake(error, "TLS handshake failed: " + WinsockErrorText(error));
        return true;
    }
    const HandlerGuard guard(this);
    const int received = PullCipher();
    if (!guard.connectionOpen())
        return true;
    if (received >= 0)
        ContinueHandshake();
    return true;
}

int TlsLayer::TakePlain(char* buffer, int size, bool peek)
{
    if (m_heldTaken < m_held.size()) {
        // Taken from the front without moving the rest: reads of a few bytes stay cheap.
        const int count = static_cast<int>(std::min<qsizetype>(size, m_held.size() - m_heldTaken));
        std::memcpy(buffer, m_held.constData() + m_heldTaken, static_cast<size_t>(count));
        if (!peek)
            m_heldTaken += count;
        return count;
    }
    if (m_engine->Error() != 0)
        return -1;
    const bool closedBefore = m_engine->PeerClosed();
    const int count = m_engine->Read(buffer, size, peek);
    if (count < 0 || (!closedBefore && m_engine->PeerClosed()))
        PostClose();
    return count;
}

int TlsLayer::RawReceive(void* buffer, int size, int flags)
{
    if (m_phase != Established)
        return TCustomSocksWSocket::RawReceive(buffer, size, flags);
    char* const plain = static_cast<char*>(buffer);
    const bool peek = (flags & MSG_PEEK) != 0;
    for (;;) {
        const int count = TakePlain(plain, std::max(size, 0), peek);
        if (count != 0) {
            if (count > 0)
                NoteReceiveCall();
            else
                SetWinsockError(m_engine->Error());
            return count;
        }
        if (size <= 0 || m_engine->PeerClosed())
            return 0;
        if (m_endOfStream) {
            // The server's end came without its close_notify.
            m_truncated = true;
            return 0;
        }
        if (PullCipher() < 0)
            return -1;
    }
}

bool TlsLayer::HasHeldData()
{
    if (m_phase != Established)
        return TCustomSocksWSocket::HasHeldData();
    if (m_heldTaken == m_held.size() && m_engine->Error() == 0) {
        m_held.resize(HeldReadSize);
        const int count = m_engine->Read(m_held.data(), HeldReadSize, false);
        m_held.resize(std::max(count, 0));
        m_heldTaken = 0;
        if (count < 0 || m_engine->PeerClosed())
            PostClose();
    }
    return m_heldTaken < m_held.size();
}

int TlsLayer::RcvdCount()
{
    if (m_phase != Established)
        return TCustomSocksWSocket::RcvdCount();
    if (HasHeldData())
        return static_cast<int>(m_held.size() - m_heldTaken);
    return TCustomSocksWSocket::RcvdCount();
}

void TlsLayer::PostClose()
{
    // From the loop, as the system's own close notification: the owner may be
    // inside a Receive or a Send, where no handler of its may run.
    if (m_closePosted)
        return;
    m_closePosted = true;
    PostNetworkEvents(FD_CLOSE);
}

void TlsLayer::DoSessionClosed(int error)
{
    // A failure of the session, or an end without close_notify, is told here,
    // from the loop, rather than inside the read or send that met it.
    const bool failed = m_engine && m_engine->Error() != 0 && m_phase == Established;
    if (error == 0 && (failed || m_truncated)) {
        error = failed ? m_engine->Error() : TlsTruncated;
        const HandlerGuard guard(this);
        DoTlsError(error, failed ? m_engine->ErrorText()
                                 : QByteArrayLiteral("TLS connection closed without the server's close_notify"));
        if (!guard.alive())
            return;
    }
    TCustomSocksWSocket::DoSessionClosed(error);
}

// ---- sending ----

int TlsLayer::Send(const void* data, int len)
{
    if (!m_tls || State() != wsConnected)
        return TCustomSocksWSocket::Send(data, len);
    if (m_phase != Established) {
        if (len > 0 && m_early.size() + len > SendBufferLimit()) {
            ReportWinsockError("Send", WSAENOBUFS);
            return -1;
        }
        m_early.append(static_cast<const char*>(data), std::max(len, 0));
        return std::max(len, 0);
    }
    if (!m_engine->Write(static_cast<const char*>(data), len)) {
        SetWinsockError(m_engine->Error());
        PostClose();
        return -1;
    }
    const QByteArray cipher = m_engine->TakeOutput();
    if (cipher.isEmpty())
        return TCustomSocksWSocket::Send(nullptr, 0) < 0 ? -1 : len;
    return TCustomSocksWSocket::Send(cipher.constData(), static_cast<int>(cipher.size())) < 0 ? -1 : len;
}

bool TlsLayer::FlushOutput()
{
    if (!m_engine->HasOutput())
        return true;
    const HandlerGuard guard(this);
    const QByteArray cipher = m_engine->TakeOutput();
    TCustomSocksWSocket::Send(cipher.constData(), static_cast<int>(cipher.size()));
    return guard.connectionOpen();
}

void TlsLayer::DoDataSent(int error)
{
    // The handshake's own bytes are no concern of the owner.
    if (m_phase != Negotiating)
        TCustomSocksWSocket::DoDataSent(error);
}

// ---- closing ----

void TlsLayer::SendCloseNotify()
{
    // Once, and not to a server that has already gone.
    if (m_endOfStream || m_engine->PeerClosed() || m_engine->Error() != 0)
        return;
    m_engine->Shutdown();
    const QByteArray cipher = m_engine->TakeOutput();
    m_phase = Off;
    TCustomSocksWSocket::Send(cipher.constData(), static_cast<int>(cipher.size()));
}

void TlsLayer::Close()
{
    if (m_phase == Established && State() == wsConnected) {
        const HandlerGuard guard(this);
        SendCloseNotify();
        if (!guard.connectionOpen())
            return;
    }
    TCustomSocksWSocket::Close();
}
