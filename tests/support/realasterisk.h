#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QString>
#include <QTemporaryDir>

// Where an Asterisk to test against is: its program, its modules and its
// libraries. Found through CORVALINE_ASTERISK (an installed prefix, or one of
// the relocatable .tar.xz builds, unpacked once into a cache folder), else an
// asterisk on PATH. An empty program means there is none; reason says why.
struct AsteriskInstallation
{
    QString program;    // sbin/asterisk
    QString modulesDir; // lib/asterisk/modules
    QString libraryDir; // what the relocatable builds need in LD_LIBRARY_PATH
    QString reason;

    bool found() const { return !program.isEmpty(); }
    bool hasModule(const QString& name) const;

    static AsteriskInstallation find();
};

// A real Asterisk of the test's own on loopback. Its configuration is written
// from the templates of a folder (every file, "@RUN@" and "@MODULES@" filled
// in, and each other "@NAME@" given a port of 127.0.0.1 free for both TCP and
// UDP), into a temporary run folder that holds all of its files. The ports
// stay the same across restarts. A test may add configuration files of its
// own, filled in the same way.
class RealAsterisk
{
public:
    RealAsterisk(AsteriskInstallation installation, const QString& templateDir);
    ~RealAsterisk();
    RealAsterisk(const RealAsterisk&) = delete;
    RealAsterisk& operator=(const RealAsterisk&) = delete;

    // One more configuration file (or one in place of a template's), written
    // at the first start.
    void addConfiguration(const QString& fileName, const QByteArray& text) { m_added.insert(fileName, text); }
    // Starts it and waits for its full boot; false (with errors() telling why)
    // when it did not come up.
    bool start();
    // "core stop now", then a kill when it does not end.
    bool stop();
    // Ends it at once, as a crash would.
    bool kill();
    bool running() const { return m_process.state() != QProcess::NotRunning; }

    // The port given to the templates' "@name@".
    quint16 port(const QByteArray& name) const { return m_ports.value(name); }
    // What the remote console answers to the command.
    QByteArray cli(const QString& command) const;
    // The PBX's own list of live channels ("core show channels concise"), one
    // line per channel: name!context!exten!priority!state!application!...
    QByteArrayList channels() const;
    // The live channels in the given state ("Up", "Ringing", "Ring"...).
    QByteArrayList channelsIn(const QByteArray& state) const;
    const AsteriskInstallation& installation() const { return m_installation; }
    QString errors() const { return m_errors; }
    // The PBX's own log of this run folder (notices, warnings, errors, verbose 3).
    QByteArray log() const;

    // A port of 127.0.0.1 that nothing uses right now, on TCP and UDP, and
    // that no PBX of this process has in its configuration (its phones' ports
    // are free until their phones run).
    static quint16 freePort();
    static bool reserved(quint16 port);

private:
    bool writeConfiguration();
    QString configFile() const;
    QProcessEnvironment environment() const;

    AsteriskInstallation m_installation;
    QString m_templateDir;
    QTemporaryDir m_run;
    QMap<QByteArray, quint16> m_ports;
    QMap<QString, QByteArray> m_added;
    bool m_configured = false;
    QProcess m_process;
    QString m_errors;
};
