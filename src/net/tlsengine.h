#pragma once

#include "net/tlstrust.h"
#include "net/winsockerror.h"

#include <QByteArray>
#include <QString>

struct ssl_st;
struct ssl_ctx_st;
struct bio_st;

// The client side of one TLS 1.2 or 1.3 session over memory buffers: the
// bytes to and from the peer pass through Feed and TakeOutput, so that the
// socket that carries them keeps its own events, states and errors (and may
// be a tunnel through a proxy). It knows nothing of sockets: the fuzz target
// drives it with made-up server bytes.
//
// The certificate is checked against the system's trust store (and CaFile)
// and the host name during the handshake, but the verdict is left to the
// caller (PeerCheck, TlsTrust::Judge): a certificate that does not verify may
// still be one the user trusts by its fingerprint.
class TlsEngine
{
public:
    enum Progress
    {
        Negotiating,
        Established,
        Failed,
    };

    // A client of the server known as hostName (a name or an address, which
    // the certificate must name), trusting the system's authorities and those
    // of caFile when given.
    TlsEngine(const QByteArray& hostName, const QString& caFile);
    ~TlsEngine();
    TlsEngine(const TlsEngine&) = delete;
    TlsEngine& operator=(const TlsEngine&) = delete;

    // Bytes received from the peer.
    void Feed(const char* data, int length);
    // Bytes to send to the peer, taken out of the engine.
    QByteArray TakeOutput();
    bool HasOutput() const;

    // Takes the handshake as far as the bytes fed so far allow.
    Progress Handshake();
    TlsCertificateCheck PeerCheck() const;
    // "TLSv1.3", "TLSv1.2".
    QByteArray Version() const;

    // Plaintext received: the bytes copied (peek leaves them), 0 when no
    // whole record is there yet or the peer closed (PeerClosed), -1 on a
    // failure (Error, ErrorText).
    int Read(char* buffer, int size, bool peek);
    bool PeerClosed() const { return m_peerClosed; }
    // Encrypts the whole of data into the output; false on a failure.
    bool Write(const char* data, int length);
    // Puts the close_notify alert into the output.
    void Shutdown();

    int Error() const { return m_error; }
    QByteArray ErrorText() const { return m_errorText; }

private:
    void Fail(int code, const QByteArray& what);
    void SetHostName(const QByteArray& hostName);

    ssl_ctx_st* m_context = nullptr;
    ssl_st* m_ssl = nullptr;
    bio_st* m_input = nullptr;  // owned by m_ssl
    bio_st* m_output = nullptr; // owned by m_ssl
    bool m_peerClosed = false;
    int m_error = 0;
    QByteArray m_errorText;
};
