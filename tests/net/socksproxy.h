#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real SOCKS proxy from Debian, run as a child process on a free port of
// 127.0.0.1 for one test and stopped with it. Dante answers versions 4 and 5
// (with user code and password: checked against private copies of the
// account files, mounted over the real ones in a mount namespace of its own,
// which takes root); microsocks answers version 5 only.
class SocksProxy
{
public:
    enum Kind
    {
        Dante,
        DanteUsercode,
        Microsocks,
        MicrosocksUsercode,
    };

    // The account the proxies that check a user code accept.
    static constexpr const char* Usercode = "corvsocks";
    static constexpr const char* Password = "Proxy-Pass5";

    explicit SocksProxy(Kind kind);
    ~SocksProxy();
    SocksProxy(const SocksProxy&) = delete;
    SocksProxy& operator=(const SocksProxy&) = delete;

    // Why this machine cannot run that proxy at all (not root, no mount namespace), or empty.
    static QString Unavailable(Kind kind);
    // Starts the proxy and waits (bounded) until it accepts connections; empty
    // on success, otherwise what went wrong with the proxy's own messages.
    QString Start();
    QByteArray PortText() const { return QByteArray::number(m_port); }

private:
    QString WriteDanteFiles();
    bool Accepting() const;

    Kind m_kind;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};
