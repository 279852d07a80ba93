#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QTimer>
#include <QVariant>
#include <QtEndian>

#include <unistd.h>

namespace {

constexpr qsizetype HeaderSize = 4;
constexpr int StalledConnectionMs = 5000;
constexpr int ListenerRetryMs = 50;
constexpr char Taken = '1';
constexpr char Refused = '0';
const char* const PendingProperty = "corvalineHandled";

QByteArray header(qsizetype length)
{
    QByteArray bytes(HeaderSize, '\0');
    qToBigEndian(quint32(length), bytes.data());
    return bytes;
}

} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance()
{
    // The name goes before the lock: the next instance must find both free.
    m_server->close();
}

QString SingleInstance::serverName()
{
    QString name = QStringLiteral("corvaline-") + QString::number(getuid());
    const QByteArray dataDir = qgetenv("CORVALINE_DATA_DIR");
    if (!dataDir.isEmpty())
        name += QLatin1Char('-') +
                QString::fromLatin1(QCryptographicHash::hash(dataDir, QCryptographicHash::Sha1).toHex().left(10));
    return name;
}

bool SingleInstance::forward(const QByteArray& text, int timeoutMs, bool waitForListener)
{
    QElapsedTimer clock;
    clock.start();
    const auto remaining = [&] { return int(qMax<qint64>(0, timeoutMs - clock.elapsed())); };
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(serverName());
        if (socket.waitForConnected(remaining()))
            break;
        if (!waitForListener || remaining() < ListenerRetryMs)
            return false;
        QThread::msleep(ListenerRetryMs);
    }
    socket.write(header(text.size()) + text);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(remaining()))
            return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(remaining()))
            return false;
    // Refused or taken, the first instance has dealt with the text.
    return true;
}

bool SingleInstance::listen()
{
    const QString name = serverName();
    auto lock = std::make_unique<QLockFile>(QDir::temp().filePath(name + QStringLiteral(".lock")));
    // Only an owner that no longer runs frees the lock, however long ago it
    // was taken.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    // With access options Qt builds the socket aside and renames it over the
    // name, so listen() alone would quietly take the name from a live first
    // instance (and remove it when this one ends). Look first: a name that
    // answers belongs to a running instance; one that does not is what a crash
    // left behind.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(1000)) {
        probe.disconnectFromServer();
        return false;
    }
    QLocalServer::removeServer(name);
    if (!m_server->listen(name))
        return false;
    m_lock = std::move(lock);
    return true;
}

bool SingleInstance::isListening() const
{
    return m_server->isListening();
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            // A connection that ends without a byte is another instance looking
            // whether this one is alive, not a text that went wrong.
            if (!socket->property(PendingProperty).toBool()) {
                socket->setProperty(PendingProperty, true);
                if (socket->bytesAvailable() > 0)
                    emit receiveFailed();
            }
            socket->deleteLater();
        });
        QTimer::singleShot(StalledConnectionMs, socket, [this, socket] {
            if (!socket->property(PendingProperty).toBool())
                finish(socket, false);
        });
        readFrom(socket);
    }
}

void SingleInstance::readFrom(QLocalSocket* socket)
{
    if (socket->property(PendingProperty).toBool() || socket->bytesAvailable() < HeaderSize)
        return;
    const QByteArray head = socket->peek(HeaderSize);
    const quint32 length = qFromBigEndian<quint32>(head.constData());
    if (length > quint32(MaxForwardedText)) {
        finish(socket, false);
        return;
    }
    if (socket->bytesAvailable() < HeaderSize + qint64(length))
        return;
    socket->read(HeaderSize);
    const QByteArray text = socket->read(length);
    // Marked before the handler runs: it may process events, and the same
    // connection must not be handled twice.
    socket->setProperty(PendingProperty, true);
    emit textReceived(text);
    finish(socket, true);
}

void SingleInstance::finish(QLocalSocket* socket, bool taken)
{
    socket->setProperty(PendingProperty, true);
    if (!taken)
        emit receiveFailed();
    socket->write(QByteArray(1, taken ? Taken : Refused));
    socket->disconnectFromServer();
}
