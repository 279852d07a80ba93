// Processor time of the socket's waits while the peer stays silent: each wait
// lasts about 2 s (WaitForFlag until its timeout, Flush until the socket is
// closed from a timer, WaitUntilClosed until the peer closes) and the share of
// one core it used is printed. A wait that spins shows close to 100%. Prints
// figures only; exits non-zero when a run could not be made.

#include "net/wsocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace {

constexpr int WaitMs = 2000;

double processorSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A loopback peer that accepts, never reads and never writes.
struct SilentPeer
{
    QTcpServer server;
    QTcpSocket* accepted = nullptr;

    SilentPeer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            accepted = server.nextPendingConnection();
            accepted->setReadBufferSize(1);
        });
    }
};

// Connects a socket to a silent peer and runs the wait; false when it could not.
bool measure(const char* name, const std::function<void(TWSocket&, SilentPeer&)>& wait,
             const std::function<void(TWSocket&)>& prepare = {})
{
    SilentPeer peer;
    TWSocket socket;
    socket.SetAddr("127.0.0.1");
    socket.SetPort(QByteArray::number(peer.server.serverPort()));
    bool connected = false;
    socket.OnSessionConnected = [&](TCustomWSocket*, quint16 error) { connected = error == 0; };
    socket.SetWaitTimeout(5000);
    socket.RunAndWait(connected, [&] { socket.Connect(); });
    QElapsedTimer settle;
    settle.start();
    while (!peer.accepted && settle.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (!connected || !peer.accepted) {
        std::fprintf(stderr, "%s: no connection\n", name);
        return false;
    }
    if (prepare)
        prepare(socket);
    QElapsedTimer wall;
    const double before = processorSeconds();
    wall.start();
    wait(socket, peer);
    const double seconds = double(wall.elapsed()) / 1000.0;
    const double used = processorSeconds() - before;
    std::printf("%-16s %.2f s waited, %.1f%% of one core\n", name, seconds, 100.0 * used / seconds);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool ok = measure("WaitForFlag", [](TWSocket& socket, SilentPeer&) {
        bool never = false;
        socket.SetWaitTimeout(WaitMs);
        socket.WaitForFlag(never);
    });
    ok = measure(
             "Flush",
             [](TWSocket& socket, SilentPeer&) {
                 QTimer::singleShot(WaitMs, [&socket] { socket.Abort(); });
                 socket.Flush();
             },
             // More than the two socket buffers hold: the rest waits for a
             // reader that never comes, until the timer closes the socket.
             [](TWSocket& socket) { socket.SendText(QByteArray(16 << 20, 'x')); }) &&
         ok;
    ok = measure("WaitUntilClosed",
                 [](TWSocket& socket, SilentPeer& peer) {
                     QTimer::singleShot(WaitMs, peer.accepted, [&peer] { peer.accepted->abort(); });
                     socket.WaitUntilClosed();
                 }) &&
         ok;
    return ok ? 0 : 1;
}
