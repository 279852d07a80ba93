#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// One sipp phone (Debian's sip-tester) on 127.0.0.1, playing one call of a
// scenario of tests/realpbx/sipp: "answer" (rings for delayMs, answers, talks
// until hung up), "ring" (rings until cancelled), "busy" (486), and the
// callers "call" (talks until hung up or for delayMs), "giveup" (hangs up
// after ringing delayMs) and "callbusy" (expects 486). A caller's keys
// fromuser (who the PBX takes it for), idname and idnumber (the identity it
// asserts) and its target's number are in arguments.
class SippPhone
{
public:
    struct Call
    {
        QString target;     // "127.0.0.1:<port>" of the PBX for a caller, empty for a phone that is called
        QByteArray dialled; // the number a caller dials
        QByteArray fromUser = "trunk";
        QByteArray idName;
        QByteArray idNumber;
    };

    SippPhone(const char* scenario, quint16 port, int delayMs, const Call& call, const QString& workDir, int calls = 1);
    ~SippPhone();
    SippPhone(const SippPhone&) = delete;
    SippPhone& operator=(const SippPhone&) = delete;

    bool start();
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    // Waits for the end of its calls; true when every call went as its
    // scenario says.
    bool waitForSuccess();
    void kill();
    // What sipp wrote about errors.
    QByteArray errors() const;
    quint16 port() const { return m_port; }

private:
    const char* m_scenario;
    quint16 m_port;
    int m_delayMs;
    Call m_call;
    QString m_workDir;
    int m_calls;
    QProcess m_process;
};
