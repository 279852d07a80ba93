#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QLocalServer;
class QLockFile;
class QLocalSocket;

// Makes one running instance per user (and per data folder) the receiver of
// click-to-dial links. The first instance holds a lock file for its whole life
// and listens on a local socket; a later instance started with a link connects,
// hands the text over and waits until the first one has handled it. The lock
// makes the choice of the first instance atomic: two starts at once, or a link
// clicked while the first instance is still starting, never make two.
//
// Socket and lock live in a folder only this user can reach, and each side
// checks that the other runs under this user's id before trusting it.
//
// On the wire: the text's length as 4 bytes, big-endian, then the text (the
// concatenated arguments, CP1252 bytes); the first instance answers one byte
// once the text is handled: '1' taken, '0' refused (too long or incomplete).
// An empty text is a start without a link asking whether the first instance is
// still starting: '1' yes (it is the one instance, the asking start ends), '0'
// no (the asking start runs as a full instance beside it).
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype MaxForwardedText = 4096;
    // How long after it began to listen an instance counts as starting: a start
    // without a link made at the same moment as a link's start goes into the
    // one instance, whichever of the two took the lock.
    static constexpr int StartingPhaseMs = 5000;

    explicit SingleInstance(int startingPhaseMs = StartingPhaseMs, QObject* parent = nullptr);
    ~SingleInstance() override;

    // "corvaline-" + user id, plus "-" + a short hash of CORVALINE_DATA_DIR when
    // it is set, so that tests and demos with their own data folder have their
    // own first instance.
    static QString serverName();
    // serverName() in this user's private runtime folder; empty when there is
    // no such folder (the reason in *reason when given).
    static QString socketPath(QString* reason = nullptr);

    // Hands text to the first instance; true once it acknowledged. False when
    // no first instance of this user answers within timeoutMs. Until a first
    // instance listens, the attempt is repeated within the time when
    // waitForListener is set (one is starting), and given up at once otherwise.
    static bool forward(const QByteArray& text, int timeoutMs = 10000, bool waitForListener = false);
    // For a start without a link that found the lock held: true when the
    // holder, once it listens, says it is still starting.
    static bool join(int timeoutMs = 10000);

    // Becomes the first instance. A name or a lock left behind by a crashed
    // instance is taken over; false when another live instance holds either,
    // or when the set-up failed (then with setUpError()).
    bool listen();
    bool isListening() const;
    // The status text of a failed set-up; empty when there was none.
    QString setUpError() const { return m_setUpError; }

signals:
    void textReceived(const QByteArray& text);
    // A connection brought a text longer than MaxForwardedText, ended with its
    // text begun but incomplete, or stalled before its text was complete.
    void receiveFailed();

private:
    static std::optional<char> exchange(const QByteArray& text, int timeoutMs, bool waitForListener);
    bool fail(const QString& reason);
    void accept();
    void readFrom(QLocalSocket* socket);
    void finish(QLocalSocket* socket, bool taken);
    void answer(QLocalSocket* socket, char byte);

    QLocalServer* m_server;
    std::unique_ptr<QLockFile> m_lock;
    const int m_startingPhaseMs;
    QElapsedTimer m_listeningSince;
    QString m_setUpError;
};
