#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>

class QTimer;

// Finds the IPv4 address of a host name without holding the calling thread:
// a name server that does not answer must not freeze the window that asks,
// at every reconnection attempt. A dotted address is its own answer. The
// answer comes from the event loop, at the latest after the time limit (then
// empty, as for a name that has no address). A new lookup replaces the one
// in progress, whose answer is dropped.
class HostLookup : public QObject
{
    Q_OBJECT

public:
    using Answer = std::function<void(const QByteArray& address)>;
    // Looks the name up and calls the answer once, from the event loop.
    using Resolver = std::function<void(const QByteArray& hostName, QObject* context, Answer answer)>;

    explicit HostLookup(QObject* parent = nullptr);

    void lookUp(const QByteArray& hostName, int timeoutMs, Answer answer);
    void cancel();

    // Replaces the system's resolver, for tests that need a slow one; an empty
    // function brings the system's back.
    static void setResolverForTests(Resolver resolver);

private:
    void finish(quint64 lookup, const QByteArray& address);

    QTimer* m_deadline;
    Answer m_answer;
    quint64 m_lookup = 0; // numbers the lookups, so a late answer is recognised
};
