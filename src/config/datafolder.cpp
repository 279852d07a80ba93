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

// Creates the folder and any missing parent readable by the user only: the
// settings hold the manager's secret and the journals the calls.
void makePrivatePath(const QString& folder)
{
    const QString absolute = QDir::cleanPath(QDir(folder).absolutePath());
    if (QFileInfo(absolute).isDir())
        return;
    const QString parent = QFileInfo(absolute).path();
    if (parent != absolute)
        makePrivatePath(parent);
    QDir().mkdir(absolute, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// An installation puts the desktop entry at this path, relative to the folder
// of the program (the build passes the layout it installs).
bool isInstalledIn(const QString& programFolder)
{
    return QFileInfo::exists(QDir(programFolder).filePath(QStringLiteral(CORVALINE_DESKTOP_ENTRY_FROM_BINDIR)));
}

} // namespace

QString DataFolder::path()
{
    const QString overridden = qEnvironmentVariable("CORVALINE_DATA_DIR");
    if (!overridden.isEmpty()) {
        makePrivatePath(overridden);
        return withSlash(QDir::cleanPath(QDir(overridden).absolutePath()));
    }
    return pathForProgramIn(QCoreApplication::applicationDirPath());
}

QString DataFolder::filePath(const QString& name)
{
    return path() + name;
}

QString DataFolder::pathForProgramIn(const QString& programFolder)
{
    if (programFolder.isEmpty() || isInstalledIn(programFolder) || !QFileInfo(programFolder).isWritable())
        return userFolder();
    return withSlash(programFolder);
}

QString DataFolder::userFolder()
{
    // Named after the program rather than the application object, so that every
    // process of the program (and every tool) finds the same folder.
    const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString folder = QDir(configHome).filePath(QStringLiteral("corvaline"));
    makePrivatePath(folder);
    return withSlash(folder);
}
