#include "config/datafolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString withSlash(const QString& folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

QString DataFolder::path()
{
    const QString overridden = qEnvironmentVariable("CORVALINE_DATA_DIR");
    if (!overridden.isEmpty()) {
        QDir().mkpath(overridden);
        return withSlash(QDir::cleanPath(QDir(overridden).absolutePath()));
    }
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (!programFolder.isEmpty() && QFileInfo(programFolder).isWritable())
        return withSlash(programFolder);
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(userFolder);
    return withSlash(userFolder);
}

QString DataFolder::filePath(const QString& name)
{
    return path() + name;
}
