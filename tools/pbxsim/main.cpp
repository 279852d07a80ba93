#include "actionlog.h"
#include "incomingcallloop.h"
#include "managerserver.h"
#include "simulatoroptions.h"
#include "stopsignals.h"
#include "transcript.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <exception>

using namespace pbxsim;

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "corvaline-pbxsim: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const ParsedOptions parsed = parseSimulatorOptions(QCoreApplication::arguments());
    if (!parsed.options) {
        std::fprintf(parsed.exitCode == 0 ? stdout : stderr, "%s\n", qPrintable(parsed.message));
        return parsed.exitCode;
    }
    const SimulatorOptions& options = *parsed.options;
    // Watched from the start, so that a stop sent as soon as the port is
    // reported is never taken with the default, abrupt action.
    StopSignals stop;
    QObject::connect(&stop, &StopSignals::stopRequested, &app, &QCoreApplication::quit);

    SessionSettings settings{options.user, options.secret, {}, 50};
    if (!options.replayFile.isEmpty()) {
        QFile transcript(options.replayFile);
        if (!transcript.open(QIODevice::ReadOnly))
            return fail(options.replayFile + QStringLiteral(": ") + transcript.errorString());
        settings.replayBlocks = splitTranscript(transcript.readAll());
    }
    ActionLog log;
    if (!options.logFile.isEmpty() && !log.open(options.logFile))
        return fail(options.logFile + QStringLiteral(": ") + log.errorString());

    SimulatedPbx pbx(options.style, options.timings, options.technology);
    ManagerServer server(pbx, settings, options.logFile.isEmpty() ? nullptr : &log);
    quint16 port = 0;
    try {
        port = server.listen(options.bindAddress, options.port);
    } catch (const std::exception& error) {
        return fail(QString::fromLocal8Bit(error.what()));
    }
    // Tools that start the simulator read this line to learn the port.
    std::printf("listening on %u\n", static_cast<unsigned>(port));
    std::fflush(stdout);

    IncomingCallLoop calls(pbx, options.extension);
    if (options.scriptedCalls && options.callsAfterLogin)
        QObject::connect(
            &server, &ManagerServer::clientLoggedIn, &calls, [&calls, &options] { calls.start(options.firstCallMs); },
            Qt::SingleShotConnection);
    else if (options.scriptedCalls)
        calls.start(options.firstCallMs);

    return app.exec();
}
