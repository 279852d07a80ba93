#include "app/singleinstance.h"

#include "app/peercredentials.h"
#include "app/privateruntimefolder.h"

#include <QCryptographicHash>
#include <QDir>
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
constexpr char Starting = '1';
constexpr char Started = '0';
const char* const PendingProperty = "corvalineHandled";

QByteArray header(qsizetype length)
{
    QByteArray bytes(HeaderSize, '\0');
    qToBigEndian(quint32(length), bytes.data());
    return bytes;
}

// A listener that answers at path under this user's id: a running instance.
// One of another user is not, whatever it answers.
bool runningInstanceAt(const QString& path)
{
    QLocalSocket probe;
    probe.connectToServer(path);
    if (!probe.waitForConnected(1000))
        return false;
    const bool ours = peerIsThisUser(probe.socketDescriptor());
    probe.disconnectFromServer();
    return ours;
}

} // namespace

SingleInstance::SingleInstance(int startingPhaseMs, QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)), m_startingPhaseMs(startingPhaseMs)
{
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

QString SingleInstance::socketPath(QString* reason)
{
    QString why;
    const QString folder = PrivateRuntimeFolder::path(&why);
    if (reason)
        *reason = why;
    return folder.isEmpty() ? QString() : QDir(folder).filePath(serverName());
}

bool SingleInstance::forward(const QByteArray& text, int timeoutMs, bool waitForListener)
{
    // Refused or taken, the first instance has dealt with the text.
    return exchange(text, timeoutMs, waitForListener).has_value();
}

bool SingleInstance::join(int timeoutMs)
{
    return exchange({}, timeoutMs, true) == Starting;
}

std::optional<char> SingleInstance::exchange(const QByteArray& text, int timeoutMs, bool waitForListener)
{
    const QString path = socketPath();
    if (path.isEmpty())
        return {};
    QElapsedTimer clock;
    clock.start();
    const auto remaining = [&] { return int(qMax<qint64>(0, timeoutMs - clock.elapsed())); };
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(path);
        if (socket.waitForConnected(remaining()))
            break;
        if (!waitForListener || remaining() < ListenerRetryMs)
            return {};
        QThread::msleep(ListenerRetryMs);
    }
    if (!peerIsThisUser(socket.socketDescriptor()))
        return {};
    socket.write(header(text.size()) + text);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(remaining()))
            return {};
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(remaining()))
            return {};
    char byte = 0;
    socket.getChar(&byte);
    return byte;
}

bool SingleInstance::listen()
{
    m_setUpError.clear();
    QString reason;
    const QString path = socketPath(&reason);
    if (path.isEmpty())
        return fail(reason);
    auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    // Only an owner that no longer runs frees the lock, however long ago it
    // was taken.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError)
            return false;
        return fail(QStringLiteral("verrou %1.lock inutilisable").arg(path));
    }
    // Qt's listen() would fail on a name left by a crash, so the name is
    // removed first; it must not be one a live first instance listens on.
    if (runningInstanceAt(path))
        return false;
    QLocalServer::removeServer(path);
    if (!m_server->listen(path))
        return fail(m_server->errorString());
    m_listeningSince.start();
    m_lock = std::move(lock);
    return true;
}

bool SingleInstance::fail(const QString& reason)
{
    m_setUpError = QStringLiteral("Erreur InstanceUnique : ") + reason;
    return false;
}

bool SingleInstance::isListening() const
{
    return m_server->isListening();
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (!peerIsThisUser(socket->socketDescriptor())) {
            // Another user's process: nothing it sends is read.
            socket->abort();
            socket->deleteLater();
            continue;
        }
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
    if (length == 0) {
        answer(socket, m_listeningSince.elapsed() < m_startingPhaseMs ? Starting : Started);
        return;
    }
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
    answer(socket, taken ? Taken : Refused);
}

void SingleInstance::answer(QLocalSocket* socket, char byte)
{
    socket->setProperty(PendingProperty, true);
    socket->write(QByteArray(1, byte));
    socket->disconnectFromServer();
}
