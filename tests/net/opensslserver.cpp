#include "opensslserver.h"

#include "waitfor.h"

OpenSslServer::~OpenSslServer()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString OpenSslServer::Start(const QString& certificate, const QString& key, const QStringList& arguments)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral("openssl"),
                    QStringList{QStringLiteral("s_server"), QStringLiteral("-accept"), QStringLiteral("127.0.0.1:0"),
                                QStringLiteral("-cert"), certificate, QStringLiteral("-key"), key} +
                        arguments);
    if (!m_process.waitForStarted(5000))
        return QStringLiteral("openssl did not start: ") + m_process.errorString();
    // It tells the port it took: "ACCEPT 127.0.0.1:40123".
    QByteArray said;
    const auto accepting = [&] {
        said += m_process.readAll();
        const qsizetype at = said.indexOf("ACCEPT 127.0.0.1:");
        const qsizetype end = said.indexOf('\n', at);
        if (at < 0 || end < 0)
            return false;
        m_port = static_cast<quint16>(said.mid(at + 17, end - at - 17).trimmed().toUInt());
        return true;
    };
    if (!testsupport::waitFor([&] { return accepting() || m_process.state() == QProcess::NotRunning; }, 15000) ||
        m_port == 0)
        return QStringLiteral("s_server does not listen: ") + QString::fromLocal8Bit(said);
    return QString();
}
