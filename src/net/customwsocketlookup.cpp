// Asynchronous name lookups of a TCustomWSocket, forward and reverse.
#include "net/customwsocket.h"

#include "net/socketnotifywindow.h"
#include "net/winsockerror.h"

#include <QHostAddress>
#include <QHostInfo>
#include <arpa/inet.h>

namespace {

int LookupError(const QHostInfo& info)
{
    return info.error() == QHostInfo::HostNotFound ? WSAHOST_NOT_FOUND : WSANO_RECOVERY;
}

} // namespace

// ---- asynchronous lookups ----

void TCustomWSocket::DnsLookup(const QByteArray& hostName)
{
    if (hostName.isEmpty()) {
        ReportError("DNS lookup: invalid host name.");
        DoDnsLookupDone(WSAEINVAL);
        return;
    }
    m_lookupId = -1;
    m_dnsResult.clear();
    m_dnsResultList.clear();
    const in_addr_t address = ::inet_addr(hostName.constData());
    if (address != INADDR_NONE) {
        in_addr dotted{};
        dotted.s_addr = address;
        m_dnsResult = QByteArray(::inet_ntoa(dotted));
        m_dnsResultList.append(m_dnsResult);
        DoDnsLookupDone(0);
        return;
    }
    StartLookup(hostName, false);
}

void TCustomWSocket::ReverseDnsLookup(const QByteArray& hostAddr)
{
    if (hostAddr.isEmpty() || hostAddr.size() > 256) {
        ReportError("ReverseDnsLookup: Invalid host name.");
        DoDnsLookupDone(WSAEINVAL);
        return;
    }
    m_lookupId = -1;
    m_dnsResult.clear();
    m_dnsResultList.clear();
    in_addr address{};
    address.s_addr = ::inet_addr(hostAddr.constData());
    StartLookup(QByteArray(::inet_ntoa(address)), true);
}

void TCustomWSocket::StartLookup(const QByteArray& name, bool reverse)
{
    m_lookupReverse = reverse;
    TSocketNotifyWindow* window = m_window.get();
    // The window is the context: a lookup still running when the socket goes is dropped.
    m_lookupId = QHostInfo::lookupHost(QString::fromLatin1(name), window, [window](const QHostInfo& info) {
        window->Dispatch([&info](TCustomWSocket* socket) { socket->HandleLookupResult(info); });
    });
}

void TCustomWSocket::HandleLookupResult(const QHostInfo& info)
{
    if (info.lookupId() != m_lookupId)
        return;
    m_lookupId = -1;
    Protected([this, &info] {
        int error = 0;
        if (info.error() != QHostInfo::NoError) {
            error = LookupError(info);
        } else if (m_lookupReverse) {
            // An address without a name comes back as its own dotted text: that is no name.
            if (info.hostName().isEmpty() || !QHostAddress(info.hostName()).isNull()) {
                error = WSAHOST_NOT_FOUND;
            } else {
                m_dnsResult = info.hostName().toLatin1();
                m_dnsResultList = QByteArrayList{m_dnsResult};
            }
        } else {
            for (const QHostAddress& address : info.addresses()) {
                if (address.protocol() == QAbstractSocket::IPv4Protocol)
                    m_dnsResultList.append(address.toString().toLatin1());
            }
            if (m_dnsResultList.isEmpty())
                error = WSANO_DATA;
            else
                m_dnsResult = m_dnsResultList.first();
        }
        DoDnsLookupDone(error);
    });
}

void TCustomWSocket::CancelDnsLookup()
{
    if (m_lookupId < 0)
        return;
    // The lookup is forgotten rather than aborted: its late result no longer
    // matches and is dropped (aborting a functor lookup leaks it in Qt 6.4).
    m_lookupId = -1;
    if (!m_destroying)
        DoDnsLookupDone(WSAEINTR);
}
