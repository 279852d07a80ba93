#include "app/singleinstance.h"
#include "appwindowsfixture.h"
#include "waitfor.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int ProcessBoundMs = 60000;

struct Outcome
{
    bool finished = false;
    int exitCode = -1;
    QByteArray output;
};

// Runs a program to its end with the event loop turning, so that the test
// process can answer the program meanwhile (as the running instance does).
Outcome run(const QString& program, const QStringList& arguments,
            const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Outcome outcome;
    outcome.finished = process.waitForStarted(ProcessBoundMs) &&
                       testsupport::waitFor([&] { return process.state() == QProcess::NotRunning; }, ProcessBoundMs);
    if (!outcome.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    outcome.output = process.readAll();
    if (outcome.finished && process.exitStatus() == QProcess::NormalExit)
        outcome.exitCode = process.exitCode();
    return outcome;
}

// The package as the test's build made it, and its files unpacked into a
// temporary root; the desktop, the settings and the user's folders of every
// program the cases start are in temporary folders too. The program's windows
// are there for the case where this process is the running instance.
class DebianPackageTest : public AppWindowsFixture
{
protected:
    void SetUp() override
    {
        AppWindowsFixture::SetUp();
        if (HasFatalFailure())
            return;
        const QDir packages(QStringLiteral(CORVALINE_PACKAGE_DIR));
        const QStringList found = packages.entryList({QStringLiteral("corvaline_*.deb")}, QDir::Files);
        ASSERT_EQ(found.size(), 1) << "built by the DebianPackage.Build case";
        package = packages.filePath(found.first());
        ASSERT_TRUE(root.isValid() && home.isValid());
        const Outcome unpacked = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), package, root.path()});
        ASSERT_EQ(unpacked.exitCode, 0) << unpacked.output.constData();
    }

    QString installed(const QString& path) const { return root.filePath(QStringLiteral("usr/") + path); }
    QString userFolder(const QString& path) const { return home.filePath(path); }

    QByteArray dpkgDeb(const QStringList& arguments)
    {
        const Outcome outcome = run(QStringLiteral("dpkg-deb"), arguments);
        EXPECT_EQ(outcome.exitCode, 0) << outcome.output.constData();
        return outcome.output;
    }

    // A desktop session whose applications are the unpacked package's and whose
    // user lives in the temporary home. xdg-open looks for a desktop handler
    // only when there is a display; none is opened (the programs run offscreen).
    QProcessEnvironment desktop() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                     "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "BROWSER"})
            environment.remove(QString::fromLatin1(variable));
        environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":corvaline-test"));
        environment.insert(QStringLiteral("HOME"), home.path());
        // Its own single instance, away from any Corvaline of this user: the
        // click-to-dial socket lives in the runtime folder.
        const QString runtime = userFolder(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), userFolder(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CONFIG_DIRS"), userFolder(QStringLiteral("etc-xdg")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), installed(QStringLiteral("share")));
        environment.insert(QStringLiteral("XDG_DATA_DIRS"), installed(QStringLiteral("share")));
        environment.insert(QStringLiteral("PATH"),
                           installed(QStringLiteral("bin")) + u':' + environment.value(QStringLiteral("PATH")));
        return environment;
    }

    QByteArray defaultLinkHandler()
    {
        const Outcome query = run(
            QStringLiteral("xdg-mime"),
            {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/numero")}, desktop());
        EXPECT_EQ(query.exitCode, 0) << query.output.constData();
        return query.output.trimmed();
    }

    // Runs one of the package's maintainer scripts as dpkg does for a package
    // installed into the temporary root.
    void runMaintainerScript(const QString& script, const QString& action)
    {
        const QString control = home.filePath(QStringLiteral("control"));
        if (!QFileInfo::exists(control))
            dpkgDeb({QStringLiteral("-e"), package, control});
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DPKG_ROOT"), root.path());
        const Outcome outcome = run(QStringLiteral("sh"), {control + u'/' + script, action}, environment);
        EXPECT_EQ(outcome.exitCode, 0) << outcome.output.constData();
    }

    // Starts the unpacked program with its own single instance and its settings
    // in the user's folder, away from any Corvaline of this user, and waits
    // until it listens for links: its platform is loaded by then.
    bool startInstalledProgram(QProcess& program, QProcessEnvironment environment)
    {
        const QString tmp = userFolder(QStringLiteral("tmp"));
        EXPECT_TRUE(QDir().mkpath(tmp));
        environment.insert(QStringLiteral("TMPDIR"), tmp);
        environment.remove(QStringLiteral("CORVALINE_DATA_DIR"));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(installed(QStringLiteral("bin/corvaline")), {});
        if (!program.waitForStarted(ProcessBoundMs))
            return false;
        const QString listener = QDir(environment.value(QStringLiteral("XDG_RUNTIME_DIR")))
                                     .filePath(QStringLiteral("corvaline-%1").arg(getuid()));
        testsupport::waitFor([&] { return QFile::exists(listener) || program.state() == QProcess::NotRunning; },
                             ProcessBoundMs);
        return QFile::exists(listener) && program.state() == QProcess::Running;
    }

    QString package;
    QTemporaryDir root;
    QTemporaryDir home;
};

TEST_F(DebianPackageTest, Control_NamesThePackageItsVersionTheLibrariesOfItsProgramsAndItsScripts)
{
    const QByteArray fields = dpkgDeb({QStringLiteral("--field"), package, QStringLiteral("Package"),
                                       QStringLiteral("Version"), QStringLiteral("Depends")});
    EXPECT_TRUE(fields.contains("Package: corvaline\n")) << fields.constData();
    EXPECT_TRUE(fields.contains("Version: " CORVALINE_VERSION "\n")) << fields.constData();
    for (const char* library :
         {"libc6 (", "libstdc++6 (", "libqt6core6 (", "libqt6widgets6 (", "libqt6network6 (", "qt6-qpa-plugins"})
        EXPECT_TRUE(fields.contains(library)) << library << " in " << fields.constData();

    const QByteArray info = dpkgDeb({QStringLiteral("--info"), package});
    for (const char* member : {" control", " md5sums", " postinst", " postrm"})
        EXPECT_TRUE(info.contains(member)) << member << " in " << info.constData();
}

TEST_F(DebianPackageTest, Contents_AreTheProgramsTheDesktopEntryTheIconsTheMetadataAndTheManPages)
{
    const QByteArray contents = dpkgDeb({QStringLiteral("--contents"), package});
    for (const char* path :
         {"./usr/bin/corvaline\n", "./usr/bin/corvaline-events\n", "./usr/bin/corvaline-pbxsim\n",
          "./usr/bin/corvaline-get\n", "./usr/share/man/man1/corvaline-get.1.gz\n",
          "./usr/share/applications/corvaline.desktop\n", "./usr/share/icons/hicolor/scalable/apps/corvaline.svg\n",
          "./usr/share/metainfo/org.corvaline.Corvaline.metainfo.xml\n", "./usr/share/doc/corvaline/copyright\n",
          "./usr/share/doc/corvaline/changelog.gz\n", "./usr/share/man/man1/corvaline.1.gz\n",
          "./usr/share/man/man1/corvaline-events.1.gz\n", "./usr/share/man/man1/corvaline-pbxsim.1.gz\n"})
        EXPECT_TRUE(contents.contains(path)) << path << "in " << contents.constData();
    // The desktop database belongs to the machine, not to a package.
    EXPECT_FALSE(contents.contains("mimeinfo.cache"));

    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString icon = QStringLiteral("share/icons/hicolor/%1x%1/apps/corvaline.png").arg(size);
        EXPECT_EQ(QImage(installed(icon)).size(), QSize(size, size)) << icon.toStdString();
    }
    QFile scalable(installed(QStringLiteral("share/icons/hicolor/scalable/apps/corvaline.svg")));
    ASSERT_TRUE(scalable.open(QIODevice::ReadOnly));
    EXPECT_TRUE(scalable.readAll().startsWith("<svg "));
}

TEST_F(DebianPackageTest, DesktopEntry_IsValid)
{
    const Outcome validated = run(QStringLiteral("desktop-file-validate"),
                                  {installed(QStringLiteral("share/applications/corvaline.desktop"))});
    EXPECT_EQ(validated.exitCode, 0) << validated.output.constData();
    EXPECT_FALSE(validated.output.contains("warning")) << validated.output.constData();
}

// Software centres find the program and its link handler in the metadata,
// which must match the desktop entry it launches.
TEST_F(DebianPackageTest, Metadata_IsValidAndDeclaresTheNumeroLinkHandler)
{
    const Outcome validated =
        run(QStringLiteral("appstreamcli"), {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), root.path()});
    EXPECT_EQ(validated.exitCode, 0) << validated.output.constData();
    QFile metadata(installed(QStringLiteral("share/metainfo/org.corvaline.Corvaline.metainfo.xml")));
    ASSERT_TRUE(metadata.open(QIODevice::ReadOnly));
    EXPECT_TRUE(metadata.readAll().contains("<mediatype>x-scheme-handler/numero</mediatype>"));
}

TEST_F(DebianPackageTest, Lintian_FindsNoError)
{
    if (QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty())
        GTEST_SKIP() << "lintian is not installed (Debian package lintian)";
    const Outcome checked = run(QStringLiteral("lintian"), {QStringLiteral("--allow-root"), package});
    ASSERT_TRUE(checked.finished);
    EXPECT_EQ(checked.exitCode, 0) << checked.output.constData();
    EXPECT_FALSE(checked.output.contains("\nE: ") || checked.output.startsWith("E: ")) << checked.output.constData();
}

TEST_F(DebianPackageTest, UnpackedProgram_StartsOffscreenAndKeepsItsSettingsInTheUserConfigurationFolder)
{
    QProcess program;
    ASSERT_TRUE(startInstalledProgram(program, desktop()));

    // The end it is asked for closes its windows, which writes the settings.
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(testsupport::waitFor([&] { return program.state() == QProcess::NotRunning; }, ProcessBoundMs));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    // The program's folder is writable here; an installed program keeps to
    // the user's folder all the same.
    const QString settings = userFolder(QStringLiteral("config/corvaline/serie.ini"));
    EXPECT_TRUE(QFile::exists(settings));
    EXPECT_FALSE(QFile::exists(installed(QStringLiteral("bin/serie.ini"))));
    EXPECT_EQ(QFile::permissions(userFolder(QStringLiteral("config/corvaline"))) & QFileDevice::ReadOther,
              QFileDevice::Permissions());
}

// An X server of the test's own, on the display number it chooses itself.
class XvfbDisplay
{
public:
    XvfbDisplay()
    {
        const QString numberFile = folder.filePath(QStringLiteral("display"));
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(QStringLiteral("sh"),
                     {QStringLiteral("-c"), QStringLiteral("exec Xvfb -displayfd 3 -nolisten tcp 3>\"$1\""),
                      QStringLiteral("sh"), numberFile});
        QFile file(numberFile);
        testsupport::waitFor(
            [&] {
                if (file.isOpen() || file.open(QIODevice::ReadOnly))
                    number += file.readAll();
                return number.endsWith('\n') || server.state() == QProcess::NotRunning;
            },
            ProcessBoundMs);
        number = number.trimmed();
    }
    ~XvfbDisplay()
    {
        server.terminate();
        server.waitForFinished(ProcessBoundMs);
    }
    bool ready() const { return !number.isEmpty() && server.state() == QProcess::Running; }
    QString name() const { return u':' + QString::fromLatin1(number); }

private:
    QTemporaryDir folder;
    QProcess server;
    QByteArray number;
};

// The Qt platform plugins a running process has loaded, by file name.
QStringList loadedPlatformPlugins(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    QStringList plugins;
    if (!maps.open(QIODevice::ReadOnly))
        return plugins;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const int at = line.indexOf("/platforms/");
        const QString plugin = QFileInfo(QString::fromLocal8Bit(line.mid(at))).fileName();
        if (at != -1 && !plugins.contains(plugin))
            plugins << plugin;
    }
    return plugins;
}

struct PlatformCase
{
    const char* name;
    std::vector<std::pair<const char*, const char*>> environment;
    const char* loadedPlugin;
};

void PrintTo(const PlatformCase& platformCase, std::ostream* out)
{
    *out << platformCase.name;
}

// A desktop that has both a Wayland compositor and XWayland's X display. The
// compositor is a socket that takes connections and ends them: the program
// must not use it.
class WindowPlatformTest : public DebianPackageTest, public ::testing::WithParamInterface<PlatformCase>
{
};

TEST_P(WindowPlatformTest, OnAWaylandDesktop_TheProgramRunsOnTheXDisplayUnlessTheUserNamedAPlatform)
{
    XvfbDisplay display;
    ASSERT_TRUE(display.ready());
    QProcessEnvironment environment = desktop();
    const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    QLocalServer compositor;
    ASSERT_TRUE(compositor.listen(QDir(runtime).filePath(QStringLiteral("wayland-corvaline"))));
    int compositorClients = 0;
    QObject::connect(&compositor, &QLocalServer::newConnection, [&] {
        while (QLocalSocket* client = compositor.nextPendingConnection()) {
            ++compositorClients;
            client->abort();
            client->deleteLater();
        }
    });

    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("XDG_SESSION_TYPE"));
    environment.insert(QStringLiteral("DISPLAY"), display.name());
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-corvaline"));
    for (const auto& [variable, value] : GetParam().environment)
        environment.insert(QString::fromLatin1(variable), QString::fromLatin1(value));
    QProcess program;
    ASSERT_TRUE(startInstalledProgram(program, environment));

    EXPECT_EQ(loadedPlatformPlugins(program.processId()), QStringList{QString::fromLatin1(GetParam().loadedPlugin)});
    EXPECT_EQ(compositorClients, 0);
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(testsupport::waitFor([&] { return program.state() == QProcess::NotRunning; }, ProcessBoundMs));
    EXPECT_EQ(program.exitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, WindowPlatformTest,
    ::testing::Values(PlatformCase{"WaylandSession", {{"XDG_SESSION_TYPE", "wayland"}}, "libqxcb.so"},
                      PlatformCase{"WaylandDisplayAlone", {}, "libqxcb.so"},
                      PlatformCase{"PlatformChosenByTheUser",
                                   {{"XDG_SESSION_TYPE", "wayland"}, {"QT_QPA_PLATFORM", "offscreen"}},
                                   "libqoffscreen.so"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DebianPackageTest, MaintainerScripts_RecordTheProgramAsTheHandlerOfNumeroLinksWhileItIsInstalled)
{
    const QString applications = installed(QStringLiteral("share/applications/"));
    const auto handlers = [&] {
        QFile cache(applications + QStringLiteral("mimeinfo.cache"));
        return cache.open(QIODevice::ReadOnly) ? cache.readAll() : QByteArray();
    };
    const QByteArray handler = "x-scheme-handler/numero=corvaline.desktop;";
    EXPECT_FALSE(handlers().contains(handler));
    runMaintainerScript(QStringLiteral("postinst"), QStringLiteral("configure"));
    EXPECT_TRUE(handlers().contains(handler)) << handlers().constData();

    // dpkg removes the files, then runs the script.
    ASSERT_TRUE(QFile::remove(applications + QStringLiteral("corvaline.desktop")));
    runMaintainerScript(QStringLiteral("postrm"), QStringLiteral("remove"));
    EXPECT_FALSE(handlers().contains(handler)) << handlers().constData();
}

TEST_F(DebianPackageTest, XdgOpenOfANumeroLink_PutsTheNumberInTheRunningInstancesDialWindow)
{
    runMaintainerScript(QStringLiteral("postinst"), QStringLiteral("configure"));
    EXPECT_EQ(defaultLinkHandler(), QByteArray("corvaline.desktop"));
    // This process is the running instance, with the program's windows, in
    // the runtime folder the started programs are given.
    const QProcessEnvironment environment = desktop();
    qputenv("XDG_RUNTIME_DIR", environment.value(QStringLiteral("XDG_RUNTIME_DIR")).toLocal8Bit());
    SingleInstance instance;
    ASSERT_TRUE(instance.listen());
    QObject::connect(&instance, &SingleInstance::textReceived, form1, &TForm1::receiveForwardedText);
    form3->Check_codea->setChecked(false);
    form3->Check_0->setChecked(false);
    form3->Check_masque->setChecked(false);

    const Outcome opened = run(QStringLiteral("xdg-open"), {QStringLiteral("numero:01.23.45.67.89")}, environment);
    ASSERT_TRUE(opened.finished);
    EXPECT_EQ(opened.exitCode, 0) << opened.output.constData();
    EXPECT_TRUE(form5->isVisible());
    EXPECT_EQ(form5->Edit1->text(), QStringLiteral("0123456789"));
    EXPECT_EQ(form5->Edit2->text(), QStringLiteral("0123456789"));
}

TEST(SourceInstall, PutsTheFilesUnderItsPrefixAndRegistersTheLinkHandlerThere)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DESTDIR"));
    const Outcome installation = run(
        QStringLiteral(CORVALINE_CMAKE),
        {QStringLiteral("--install"), QStringLiteral(CORVALINE_BUILD_DIR), QStringLiteral("--prefix"), prefix.path()},
        environment);
    ASSERT_EQ(installation.exitCode, 0) << installation.output.constData();
    for (const char* path : {"bin/corvaline", "share/applications/corvaline.desktop",
                             "share/icons/hicolor/48x48/apps/corvaline.png", "share/man/man1/corvaline.1.gz"})
        EXPECT_TRUE(QFile::exists(prefix.filePath(QString::fromLatin1(path)))) << path;

    QFile cache(prefix.filePath(QStringLiteral("share/applications/mimeinfo.cache")));
    ASSERT_TRUE(cache.open(QIODevice::ReadOnly));
    EXPECT_TRUE(cache.readAll().contains("x-scheme-handler/numero=corvaline.desktop;"));
}

} // namespace
