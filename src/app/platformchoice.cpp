#include "app/platformchoice.h"

#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStringList>

#include <cstring>

namespace {

bool platformNamedByUser(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i) {
        // Qt takes "--platform" as "-platform".
        const char* argument = argv[i];
        if (std::strncmp(argument, "--", 2) == 0)
            ++argument;
        if (std::strcmp(argument, "-platform") == 0)
            return true;
    }
    return false;
}

bool waylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland";
}

// The folders Qt looks in for its platform plugins, in its own order.
QStringList platformPluginFolders()
{
    QStringList folders;
    const QString platformPath = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    if (!platformPath.isEmpty())
        folders << platformPath;
    const QStringList pluginPaths =
        qEnvironmentVariable("QT_PLUGIN_PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString& path : pluginPaths)
        folders << path + QStringLiteral("/platforms");
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
    return folders;
}

bool xcbPlatformInstalled()
{
    for (const QString& folder : platformPluginFolders()) {
        if (QFileInfo(folder + QStringLiteral("/libqxcb.so")).isFile())
            return true;
    }
    return false;
}

} // namespace

bool chooseWindowPlatform(int argc, char** argv)
{
    if (platformNamedByUser(argc, argv) || !waylandSession() || qEnvironmentVariableIsEmpty("DISPLAY") ||
        !xcbPlatformInstalled())
        return false;
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

void forgetChosenPlatform()
{
    qunsetenv("QT_QPA_PLATFORM");
}
