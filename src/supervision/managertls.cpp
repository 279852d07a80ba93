#include "supervision/managertls.h"

#include "net/tlslayer.h"

namespace {
const QString ClearPort = QStringLiteral("5038");
const QString TlsPort = QStringLiteral("5039");
} // namespace

void ManagerTlsSettings::applyTo(TlsLayer& socket) const
{
    // The socket refuses a change while it is not closed: what is already so
    // is left alone.
    const QByteArray name = enabled ? hostName : QByteArray();
    if (socket.Tls() != enabled)
        socket.SetTls(enabled);
    if (socket.TlsHostName() != name)
        socket.SetTlsHostName(name);
}

QString proposedManagerPort(bool tls, const QString& currentPort)
{
    if (tls && currentPort.trimmed() == ClearPort)
        return TlsPort;
    if (!tls && currentPort.trimmed() == TlsPort)
        return ClearPort;
    return currentPort;
}

QString managerLinkLine(const TlsLayer& socket)
{
    if (socket.TlsEstablished())
        return QStringLiteral("*** CONNEXION CHIFFRÉE (") + QString::fromLatin1(socket.TlsVersion()) +
               QStringLiteral(") ***");
    return QStringLiteral("*** CONNEXION EN CLAIR ***");
}
