#pragma once

#include "net/customsockswsocket.h"
#include "net/tlstrust.h"

#include <QByteArray>
#include <functional>
#include <memory>

class TlsEngine;

using TTlsErrorEvent = std::function<void(TCustomWSocket*, int error, const QByteArray& msg)>;

// TLS 1.2 or 1.3 over the connection, direct or through the SOCKS tunnel.
// With Tls set, the handshake starts once the connection (or the tunnel) is
// open, and the owner sees OnSessionConnected(0) only once the server's
// certificate is accepted; from then on OnDataAvailable, Receive and line
// mode see plaintext and Send encrypts. What the owner sends before is kept
// and sent encrypted after the handshake. Never does a byte of the owner go
// out, or come in, in clear.
//
// The certificate is accepted when it verifies against the system's trust
// store (and Trust().CaFile()) for TlsHostName, or when its SHA-256
// fingerprint is one of Trust()'s. Otherwise, and for any other failure of
// the handshake, the owner is told as for a failed proxy negotiation:
// OnTlsError with the code (winsockerror.h) and a text, then OnSessionConnected
// and OnSessionClosed with the same code. A refused certificate's fingerprint
// and the reason stay readable in TlsPeerCheck until the next Connect.
//
// A failure on received data after the handshake comes as OnTlsError and
// OnSessionClosed with its code; an end of the connection without the
// server's close_notify closes with TlsTruncated. Close sends close_notify.
//
// Unlike Addr and Port, Tls, TlsHostName and Trust stay through a close: a
// reconnection stays encrypted until the owner says otherwise.
class TlsLayer : public TCustomSocksWSocket
{
public:
    explicit TlsLayer(QObject* owner = nullptr);
    ~TlsLayer() override;

    TTlsErrorEvent OnTlsError;

    bool Tls() const { return m_tls; }
    void SetTls(bool value);
    // The name the certificate must carry; empty: Addr.
    QByteArray TlsHostName() const { return m_hostName; }
    void SetTlsHostName(const QByteArray& value);
    TlsTrust& Trust() { return m_trust; }
    const TlsTrust& Trust() const { return m_trust; }
    void SetTrust(const TlsTrust& value) { m_trust = value; }

    // The server's certificate and the verdict on it, from the last handshake.
    const TlsCertificateCheck& TlsPeerCheck() const { return m_check; }
    TlsVerdict TlsPeerVerdict() const { return m_verdict; }
    // The session is open: plaintext flows.
    bool TlsEstablished() const { return m_phase == Established; }
    // "TLSv1.3" or "TLSv1.2" while established.
    QByteArray TlsVersion() const;

    void Connect() override;
    void Close() override;
    int Send(const void* data, int len) override;
    int RcvdCount() override;

protected:
    void ResetToDefaults() override;
    void DoSessionConnected(int error) override;
    void DoSessionClosed(int error) override;
    void DoDataSent(int error) override;
    bool DoDataAvailable(int error) override;
    int RawReceive(void* buffer, int size, int flags) override;
    bool HasHeldData() override;
    virtual void DoTlsError(int error, const QByteArray& msg);

    // Line mode leaves the bytes alone until the session is open.
    bool TlsNegotiating() const { return m_phase == Negotiating; }

private:
    enum Phase
    {
        Off,
        Negotiating,
        Established,
    };

    void StartHandshake();
    void ContinueHandshake();
    void FailHandshake(int code, const QByteArray& text);
    void PostClose();
    // Moves what the socket holds into the engine; the bytes moved, -1 when
    // none were there (WinsockError says why), 0 at the end of the stream.
    int PullCipher();
    // Sends what the engine produced; false when the connection went meanwhile.
    bool FlushOutput();
    // Plaintext from m_held, then from the engine; 0 when none is there.
    int TakePlain(char* buffer, int size, bool peek);
    void SendCloseNotify();

    bool m_tls = false;
    QByteArray m_hostName;
    TlsTrust m_trust;
    TlsCertificateCheck m_check;
    TlsVerdict m_verdict = TlsVerdict::Unknown;
    Phase m_phase = Off;
    std::unique_ptr<TlsEngine> m_engine;
    QByteArray m_held; // decrypted ahead; what is not taken yet starts at m_heldTaken
    qsizetype m_heldTaken = 0;
    QByteArray m_early; // sent by the owner before the session was open
    bool m_endOfStream = false;
    bool m_closePosted = false;
    bool m_truncated = false;
};
