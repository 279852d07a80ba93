#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// The real corvaline-pbxsim program on a loopback port, optionally with an
// action log in a file of the test's own. It can be killed and started again
// on the port it had, as a PBX that goes down and comes back.
class SimulatorProcess
{
public:
    // The program's path, for the cases that run it by hand.
    static QString program();

    explicit SimulatorProcess(const QStringList& arguments, const QString& logPath = QString());
    ~SimulatorProcess();

    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // Starts the program on a free port (the first time) or on the port it had
    // (later, in a later second than the last start, so that no channel name
    // comes again); true once it has reported the port it listens on. Bounded.
    bool start();
    // Sends SIGTERM and waits (bounded) for the end; true when it ended by itself.
    bool stop();
    // Kills the program outright (no goodbye to its clients) and waits for its end.
    bool kill();
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    quint16 port() const { return m_port; }
    QByteArray portText() const { return QByteArray::number(m_port); }
    QProcess& process() { return m_process; }

    // The actions received so far, byte for byte, over every run.
    QByteArray log() const;
    // Runs the event loop until the log holds text at least count times; bounded.
    bool waitForLog(const QByteArray& text, qsizetype count = 1, int timeoutMs = 10000) const;
    // What the program wrote on its error output, for failure messages.
    QByteArray errors();

private:
    QProcess m_process;
    QStringList m_arguments;
    QString m_logPath;
    quint16 m_port = 0;
    qint64 m_startSecond = 0; // of the last start, since the epoch
};
