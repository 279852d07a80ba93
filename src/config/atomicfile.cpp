#include "config/atomicfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every byte is handed to the kernel here and every refusal is seen: a
// buffered write fails only when the buffer is flushed at close, where it is
// easily missed, and a full disk then leaves an empty file that is renamed
// over the real one.
bool writeAll(int fd, const QByteArray& content)
{
    const char* data = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

// The temporary file and the new version's data reach the disk before the
// rename, so that the file is never replaced by less than the whole content.
const char* writeAndReplace(const QByteArray& temporary, const QByteArray& target, const QByteArray& content)
{
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return "cannot create";
    // The umask may narrow the creation mode further; the mode is made exact.
    if (::fchmod(fd, 0600) != 0 || !writeAll(fd, content) || ::fsync(fd) != 0) {
        const int writeError = errno;
        ::close(fd);
        errno = writeError;
        return "cannot write";
    }
    if (::close(fd) != 0)
        return "cannot write";
    if (::rename(temporary.constData(), target.constData()) != 0)
        return "cannot replace";
    return nullptr;
}

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& content, QString* error)
{
    // A settings file linked from elsewhere stays a link: its target is replaced.
    const QFileInfo linked(path);
    const QFileInfo info(linked.isSymLink() && linked.exists() ? linked.canonicalFilePath() : path);
    const QString temporaryPath =
        info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".%1.tmp").arg(::getpid());
    const QByteArray temporary = QFile::encodeName(temporaryPath);
    ::unlink(temporary.constData()); // left by an earlier run of this process id that was killed mid-save
    const char* failure = writeAndReplace(temporary, QFile::encodeName(info.filePath()), content);
    if (!failure)
        return true;
    const int cause = errno;
    ::unlink(temporary.constData());
    if (error)
        *error =
            QStringLiteral("%1 %2: %3").arg(QLatin1String(failure), path, QString::fromLocal8Bit(std::strerror(cause)));
    return false;
}
