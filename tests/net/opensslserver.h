#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// openssl s_server on a port of 127.0.0.1 that the system chooses, run for
// one test and stopped with it. With -rev it sends every line back reversed.
class OpenSslServer
{
public:
    OpenSslServer() = default;
    ~OpenSslServer();
    OpenSslServer(const OpenSslServer&) = delete;
    OpenSslServer& operator=(const OpenSslServer&) = delete;

    // Starts it with the certificate, key and further arguments and waits
    // (bounded) until it accepts; empty on success, otherwise its messages.
    QString Start(const QString& certificate, const QString& key, const QStringList& arguments);
    quint16 Port() const { return m_port; }
    QByteArray PortText() const { return QByteArray::number(m_port); }

private:
    QProcess m_process;
    quint16 m_port = 0;
};
