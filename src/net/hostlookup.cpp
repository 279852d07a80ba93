#include "net/hostlookup.h"

#include "net/wsocketresolve.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QTimer>

#include <utility>

namespace {

HostLookup::Resolver& testResolver()
{
    static HostLookup::Resolver resolver;
    return resolver;
}

void systemResolver(const QByteArray& hostName, QObject* context, HostLookup::Answer answer)
{
    QHostInfo::lookupHost(QString::fromLatin1(hostName), context, [answer](const QHostInfo& info) {
        for (const QHostAddress& address : info.addresses()) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol) {
                answer(address.toString().toLatin1());
                return;
            }
        }
        answer({});
    });
}

} // namespace

HostLookup::HostLookup(QObject* parent) : QObject(parent), m_deadline(new QTimer(this))
{
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] { finish(m_lookup, {}); });
}

void HostLookup::setResolverForTests(Resolver resolver)
{
    testResolver() = std::move(resolver);
}

void HostLookup::lookUp(const QByteArray& hostName, int timeoutMs, Answer answer)
{
    cancel();
    const quint64 lookup = ++m_lookup;
    m_answer = std::move(answer);
    if (IsDottedIP(hostName)) {
        QMetaObject::invokeMethod(
            this, [this, lookup, hostName] { finish(lookup, hostName); }, Qt::QueuedConnection);
        return;
    }
    m_deadline->start(timeoutMs);
    const Resolver& resolver = testResolver() ? testResolver() : Resolver(&systemResolver);
    resolver(hostName, this, [this, lookup](const QByteArray& address) { finish(lookup, address); });
}

void HostLookup::cancel()
{
    ++m_lookup;
    m_answer = nullptr;
    m_deadline->stop();
}

void HostLookup::finish(quint64 lookup, const QByteArray& address)
{
    if (lookup != m_lookup || !m_answer)
        return;
    m_deadline->stop();
    // Taken first: the answer may start the next lookup.
    const Answer answer = std::exchange(m_answer, nullptr);
    answer(address);
}
