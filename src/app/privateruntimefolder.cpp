#include "app/privateruntimefolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

QString PrivateRuntimeFolder::path(QString* reason)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && isPrivate(runtime))
        return runtime;

    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("corvaline-%1").arg(geteuid()));
    if (::mkdir(QFile::encodeName(own).constData(), 0700) != 0 && errno != EEXIST) {
        *reason = QStringLiteral("%1 : %2").arg(own, QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    if (!isPrivate(own)) {
        *reason = QStringLiteral("%1 n'est pas un dossier privé de l'utilisateur").arg(own);
        return {};
    }
    return own;
}

bool PrivateRuntimeFolder::isPrivate(const QString& path)
{
    struct stat status
    {
    };
    // lstat: a link planted under the name is not the folder it points to.
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    return S_ISDIR(status.st_mode) && status.st_uid == geteuid() && (status.st_mode & 0777) == 0700;
}
