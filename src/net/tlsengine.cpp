#include "net/tlsengine.h"

#include <QHostAddress>

#include <algorithm>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace {

// What OpenSSL said last, for the failure's text.
QByteArray OpenSslReason()
{
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0)
        return QByteArrayLiteral("unknown error");
    const char* reason = ERR_reason_error_string(code);
    return reason != nullptr ? QByteArray(reason) : "error " + QByteArray::number(static_cast<qulonglong>(code), 16);
}

// The context every connection shares unless it names authorities of its own:
// the system's trust store is read once.
SSL_CTX* NewContext(const QString& caFile)
{
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr)
        return nullptr;
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(context, TLS1_3_VERSION);
    // A server may not renegotiate a session under way.
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
    // Records are taken out of the input in one read each rather than header and body apart.
    SSL_CTX_set_read_ahead(context, 1);
    // The verdict on the certificate is taken after the handshake (TlsTrust):
    // the result of the checks is kept all the same.
    SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
    const bool loaded =
        SSL_CTX_set_default_verify_paths(context) == 1 &&
        (caFile.isEmpty() || SSL_CTX_load_verify_locations(context, caFile.toLocal8Bit().constData(), nullptr) == 1);
    if (!loaded) {
        SSL_CTX_free(context);
        return nullptr;
    }
    return context;
}

SSL_CTX* SharedContext()
{
    static SSL_CTX* const context = NewContext(QString());
    return context;
}

} // namespace

TlsEngine::TlsEngine(const QByteArray& hostName, const QString& caFile)
{
    m_context = caFile.isEmpty() ? SharedContext() : NewContext(caFile);
    if (m_context == nullptr) {
        Fail(TlsSetupFailed, caFile.isEmpty() ? QByteArrayLiteral("TLS unavailable: ")
                                              : "cannot read the authorities of " + caFile.toLocal8Bit() + ": ");
        return;
    }
    if (caFile.isEmpty())
        SSL_CTX_up_ref(m_context);
    m_ssl = SSL_new(m_context);
    m_input = BIO_new(BIO_s_mem());
    m_output = BIO_new(BIO_s_mem());
    if (m_ssl == nullptr || m_input == nullptr || m_output == nullptr) {
        BIO_free(m_input);
        BIO_free(m_output);
        m_input = m_output = nullptr;
        Fail(TlsSetupFailed, "TLS unavailable: ");
        return;
    }
    // An empty input is "come back later", not the end of the stream.
    BIO_set_mem_eof_return(m_input, -1);
    SSL_set_bio(m_ssl, m_input, m_output);
    SSL_set_connect_state(m_ssl);
    SetHostName(hostName);
}

TlsEngine::~TlsEngine()
{
    SSL_free(m_ssl);
    SSL_CTX_free(m_context);
}

void TlsEngine::SetHostName(const QByteArray& hostName)
{
    // Without a name to check, any certificate of a known authority would do.
    if (hostName.isEmpty()) {
        m_error = TlsSetupFailed;
        m_errorText = "TLS needs the server's name to check its certificate";
        return;
    }
    const bool address = !QHostAddress(QString::fromLatin1(hostName)).isNull();
    const bool set = address ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), hostName.constData()) == 1
                             : SSL_set1_host(m_ssl, hostName.constData()) == 1 &&
                                   SSL_set_tlsext_host_name(m_ssl, hostName.constData()) == 1;
    if (!set)
        Fail(TlsSetupFailed, "invalid server name " + hostName + ": ");
}

void TlsEngine::Fail(int code, const QByteArray& what)
{
    m_error = code;
    m_errorText = what + OpenSslReason();
}

void TlsEngine::Feed(const char* data, int length)
{
    if (m_input != nullptr && length > 0)
        BIO_write(m_input, data, length);
}

bool TlsEngine::HasOutput() const
{
    return m_output != nullptr && BIO_ctrl_pending(m_output) > 0;
}

QByteArray TlsEngine::TakeOutput()
{
    if (!HasOutput())
        return QByteArray();
    QByteArray bytes(static_cast<qsizetype>(BIO_ctrl_pending(m_output)), Qt::Uninitialized);
    const int taken = BIO_read(m_output, bytes.data(), static_cast<int>(bytes.size()));
    bytes.truncate(std::max(taken, 0));
    return bytes;
}

TlsEngine::Progress TlsEngine::Handshake()
{
    if (m_error != 0 || m_ssl == nullptr)
        return Failed;
    ERR_clear_error();
    const int result = SSL_do_handshake(m_ssl);
    if (result == 1)
        return Established;
    if (SSL_get_error(m_ssl, result) == SSL_ERROR_WANT_READ)
        return Negotiating;
    Fail(TlsHandshakeFailed, "TLS handshake failed: ");
    return Failed;
}

TlsCertificateCheck TlsEngine::PeerCheck() const
{
    TlsCertificateCheck check;
    X509* certificate = m_ssl != nullptr ? SSL_get1_peer_certificate(m_ssl) : nullptr;
    if (certificate == nullptr) {
        check.reason = "no certificate";
        return check;
    }
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    if (length > 0)
        check.fingerprint = TlsTrust::FingerprintOf(QByteArray(reinterpret_cast<const char*>(der), length));
    OPENSSL_free(der);
    X509_free(certificate);
    const long result = SSL_get_verify_result(m_ssl);
    check.verified = result == X509_V_OK && !check.fingerprint.isEmpty();
    if (!check.verified)
        check.reason = X509_verify_cert_error_string(result);
    return check;
}

QByteArray TlsEngine::Version() const
{
    return m_ssl != nullptr ? QByteArray(SSL_get_version(m_ssl)) : QByteArray();
}

int TlsEngine::Read(char* buffer, int size, bool peek)
{
    if (m_error != 0 || m_peerClosed || size <= 0)
        return m_error != 0 ? -1 : 0;
    ERR_clear_error();
    const int result = peek ? SSL_peek(m_ssl, buffer, size) : SSL_read(m_ssl, buffer, size);
    if (result > 0)
        return result;
    switch (SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_WANT_READ:
        return 0;
    case SSL_ERROR_ZERO_RETURN:
        m_peerClosed = true;
        return 0;
    default:
        Fail(TlsRecordError, "TLS error on received data: ");
        return -1;
    }
}

bool TlsEngine::Write(const char* data, int length)
{
    if (m_error != 0)
        return false;
    if (length <= 0)
        return true;
    ERR_clear_error();
    // A memory output takes everything: the write is whole or fails.
    if (SSL_write(m_ssl, data, length) == length)
        return true;
    Fail(TlsRecordError, "TLS error on sent data: ");
    return false;
}

void TlsEngine::Shutdown()
{
    if (m_ssl != nullptr && m_error == 0 && SSL_is_init_finished(m_ssl)) {
        ERR_clear_error();
        SSL_shutdown(m_ssl);
    }
}
