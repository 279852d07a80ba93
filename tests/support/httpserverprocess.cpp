#include "httpserverprocess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "waitfor.h"

HttpServerProcess::HttpServerProcess() = default;

HttpServerProcess::~HttpServerProcess()
{
    m_process.kill();
    m_process.waitForFinished();
}

bool HttpServerProcess::serve(const QString& path, const QByteArray& content) const
{
    QDir(m_folder.path()).mkpath(QFileInfo(path).path());
    QFile file(m_folder.filePath(path));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool HttpServerProcess::start()
{
    m_process.start(QStringLiteral("python3"),
                    {QStringLiteral(CORVALINE_SUPPORT_DIR "/httpserver.py"), m_folder.path()});
    if (!m_process.waitForReadyRead(10000))
        return false;
    m_port = m_process.readLine().mid(5).trimmed().toUShort();
    return m_port != 0;
}

bool HttpServerProcess::waitForRequest(const QByteArray& pathStart, int boundMs)
{
    return testsupport::waitFor(
        [&] {
            while (m_process.canReadLine()) {
                if (m_process.readLine().startsWith("GET " + pathStart))
                    return true;
            }
            return false;
        },
        boundMs);
}

QByteArray HttpServerProcess::url(const QByteArray& path, const QByteArray& credentials) const
{
    return "http://" + credentials + "127.0.0.1:" + QByteArray::number(m_port) + path;
}
