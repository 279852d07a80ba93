// Speed of the receive path of the manager session over TLS against the same
// path in clear: the program's telnet session (TTnCnx over TWSocket) reads
// about 200 MB of a busy Asterisk stream from a loopback sender (a thread of
// this program, OpenSSL for the TLS runs) that writes it and closes. Each
// kind runs three times, alternating; the best run of each counts. Prints MB/s
// of each and their ratio. Exits non-zero when a run could not be made or
// lost bytes.
//
// Usage: tls_bench [size in MB, default 200]

#include "managertextgenerator.h"
#include "net/tncnx.h"
#include "net/wsocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

constexpr int Runs = 3;
constexpr int RunTimeoutMs = 170000;

// A listening socket of 127.0.0.1 on a port the system chose.
int Listen(quint16& port)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener);
        return -1;
    }
    port = ntohs(address.sin_port);
    return listener;
}

bool WriteAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= sent;
    }
    return true;
}

// Accepts one connection and writes the stream on it, in clear or over TLS, then closes.
void Serve(int listener, const QByteArray& stream, SSL_CTX* context)
{
    const int peer = ::accept(listener, nullptr, nullptr);
    ::close(listener);
    if (peer < 0)
        return;
    constexpr qsizetype Piece = 16384;
    if (context == nullptr) {
        WriteAll(peer, stream.constData(), stream.size());
    } else {
        SSL* ssl = SSL_new(context);
        SSL_set_fd(ssl, peer);
        if (SSL_accept(ssl) == 1) {
            for (qsizetype at = 0; at < stream.size(); at += Piece) {
                const int piece = static_cast<int>(std::min(Piece, stream.size() - at));
                if (SSL_write(ssl, stream.constData() + at, piece) != piece)
                    break;
            }
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
    }
    ::close(peer);
}

struct Run
{
    bool closed = false;
    qint64 received = 0;
    double seconds = 0;
};

Run Receive(const QByteArray& stream, SSL_CTX* context, const QString& certificate)
{
    Run run;
    quint16 port = 0;
    const int listener = Listen(port);
    if (listener < 0)
        return run;
    std::thread sender(Serve, listener, std::cref(stream), context);
    TTnCnx session;
    QEventLoop loop;
    QElapsedTimer clock;
    session.OnSessionConnected = [&](TTnCnx*, quint16 error) {
        if (error != 0)
            loop.quit();
    };
    session.OnDataAvailable = [&](TTnCnx*, const char*, int length) { run.received += length; };
    session.OnSessionClosed = [&](TTnCnx*, quint16) {
        run.closed = true;
        run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        loop.quit();
    };
    if (context != nullptr) {
        session.Socket()->SetTls(true);
        session.Socket()->Trust().SetCaFile(certificate);
    }
    session.SetHost("127.0.0.1");
    session.SetPort(QByteArray::number(port));
    QTimer::singleShot(RunTimeoutMs, &loop, &QEventLoop::quit);
    clock.start();
    session.Connect();
    loop.exec();
    sender.join();
    return run;
}

// A key and a certificate of its own for 127.0.0.1, which the client trusts as an authority.
SSL_CTX* ServerContext(const QTemporaryDir& dir)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                   QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes"),
                   QStringLiteral("-keyout"), dir.filePath(QStringLiteral("key.pem")), QStringLiteral("-out"),
                   dir.filePath(QStringLiteral("cert.pem")), QStringLiteral("-subj"), QStringLiteral("/CN=bench"),
                   QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1")});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return nullptr;
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (SSL_CTX_use_certificate_file(context, qPrintable(dir.filePath(QStringLiteral("cert.pem"))), SSL_FILETYPE_PEM) !=
            1 ||
        SSL_CTX_use_PrivateKey_file(context, qPrintable(dir.filePath(QStringLiteral("key.pem"))), SSL_FILETYPE_PEM) !=
            1) {
        SSL_CTX_free(context);
        return nullptr;
    }
    return context;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qsizetype megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200;
    QByteArray stream;
    ManagerTextGenerator("100", 7).generate(stream, megabytes << 20);
    QTemporaryDir dir;
    SSL_CTX* context = ServerContext(dir);
    if (context == nullptr) {
        std::fprintf(stderr, "tls_bench: cannot make the server's certificate\n");
        return 1;
    }
    const QString certificate = dir.filePath(QStringLiteral("cert.pem"));
    double clear = 0;
    double tls = 0;
    for (int i = 0; i < Runs; ++i) {
        for (SSL_CTX* kind : {static_cast<SSL_CTX*>(nullptr), context}) {
            const Run run = Receive(stream, kind, certificate);
            if (!run.closed || run.received != stream.size()) {
                std::fprintf(stderr, "tls_bench: %s run got %lld of %lld bytes%s\n", kind ? "TLS" : "clear",
                             static_cast<long long>(run.received), static_cast<long long>(stream.size()),
                             run.closed ? "" : " and did not end");
                return 1;
            }
            const double rate = static_cast<double>(stream.size()) / 1e6 / run.seconds;
            double& best = kind ? tls : clear;
            best = std::max(best, rate);
        }
    }
    SSL_CTX_free(context);
    std::printf("%lld MB of manager text through TTnCnx, best of %d runs:\n", static_cast<long long>(megabytes), Runs);
    std::printf("  clear  %8.1f MB/s\n", clear);
    std::printf("  TLS    %8.1f MB/s\n", tls);
    std::printf("  ratio  %8.2f\n", tls / clear);
    return 0;
}
