#pragma once

#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>

// A real HTTP/1.0 server on a free port of 127.0.0.1 (tests/support/httpserver.py):
// the files of a folder of the test's own, plus the fixed pages the script
// holds (relocations, a loop, a page behind credentials, a post echo, a stall,
// and hostile answers: see the script).
class HttpServerProcess
{
public:
    HttpServerProcess();
    ~HttpServerProcess();
    HttpServerProcess(const HttpServerProcess&) = delete;
    HttpServerProcess& operator=(const HttpServerProcess&) = delete;

    // A file served at that path (folders are made as needed).
    bool serve(const QString& path, const QByteArray& content) const;
    // Starts the server; false when it did not report its port in time.
    bool start();

    // True once a GET of a path beginning with pathStart has come, within the
    // bound (the event loop runs meanwhile).
    bool waitForRequest(const QByteArray& pathStart, int boundMs);

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by the path.
    QByteArray url(const QByteArray& path = QByteArray(), const QByteArray& credentials = QByteArray()) const;

private:
    QTemporaryDir m_folder; // not a data folder: the program's stays where it is
    QProcess m_process;
    quint16 m_port = 0;
};
