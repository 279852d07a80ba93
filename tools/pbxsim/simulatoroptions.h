#pragma once

#include "eventwriter.h"
#include "simulatedpbx.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace pbxsim {

// The command line of corvaline-pbxsim. Other tools start it with these
// options, so their names and meanings are a contract.
struct SimulatorOptions
{
    QByteArray bindAddress = "127.0.0.1";
    quint16 port = 5038; // 0: any free port, reported on the first line of output
    QByteArray user = "admin";
    QByteArray secret = "admin";
    QByteArray extension = "100";
    bool scriptedCalls = false;
    HeaderStyle style = HeaderStyle::New;
    QByteArray technology = "SIP"; // of the phones' channels: SIP or PJSIP
    CallTimings timings;
    int firstCallMs = 2000;
    // The first call's delay counts from the first accepted login instead of
    // the start, so that a slow client misses none of it.
    bool callsAfterLogin = false;
    QString replayFile;
    QString logFile;
};

struct ParsedOptions
{
    std::optional<SimulatorOptions> options; // empty when the program must stop
    QString message;                         // help text or the error, for the user
    int exitCode = 0;
};

ParsedOptions parseSimulatorOptions(const QStringList& arguments);

} // namespace pbxsim
