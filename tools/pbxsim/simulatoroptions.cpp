#include "simulatoroptions.h"

#include <QCommandLineParser>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace pbxsim {

namespace {

// Reads a number of seconds (fractions allowed) as milliseconds.
std::optional<int> milliseconds(const QString& text, double minimumSeconds)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < minimumSeconds || seconds > 86400)
        return std::nullopt;
    return static_cast<int>(std::lround(seconds * 1000));
}

ParsedOptions failure(const QString& message)
{
    return {std::nullopt, message, 2};
}

std::optional<HeaderStyle> styleNamed(const QString& name)
{
    static const QList<QPair<QString, HeaderStyle>> styles = {
        {u"old"_s, HeaderStyle::Old}, {u"new"_s, HeaderStyle::New}, {u"modern"_s, HeaderStyle::Modern}};
    for (const auto& [styleName, style] : styles) {
        if (name == styleName)
            return style;
    }
    return std::nullopt;
}

} // namespace

ParsedOptions parseSimulatorOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Asterisk manager simulator for Corvaline's tests and demo."_s);
    const QCommandLineOption help({u"h"_s, u"help"_s}, u"Shows this help."_s);
    const QCommandLineOption port(u"port"_s, u"Port to listen on; 0 picks a free one (default 5038)."_s, u"N"_s);
    const QCommandLineOption bind(u"bind"_s, u"Address to listen on (default 127.0.0.1)."_s, u"ADDRESS"_s);
    const QCommandLineOption user(u"user"_s, u"Manager user name (default admin)."_s, u"NAME"_s);
    const QCommandLineOption secret(u"secret"_s, u"Manager secret (default admin)."_s, u"TEXT"_s);
    const QCommandLineOption extension(u"extension"_s, u"Extension the scripted calls ring (default 100)."_s, u"EXT"_s);
    const QCommandLineOption calls(u"calls"_s,
                                   u"Loop of incoming calls in the old, new or modern header style, or none."_s,
                                   u"old|new|modern|none"_s);
    const QCommandLineOption style(u"style"_s, u"Header style when --calls is none (default new)."_s,
                                   u"old|new|modern"_s);
    const QCommandLineOption technology(u"technology"_s, u"Technology of the phones' channels (default SIP)."_s,
                                        u"SIP|PJSIP"_s);
    const QCommandLineOption replay(u"replay"_s, u"Transcript sent to each client after its login."_s, u"FILE"_s);
    const QCommandLineOption log(u"log"_s, u"File to which every action received is appended."_s, u"FILE"_s);
    const QCommandLineOption interval(u"call-interval"_s, u"Seconds between two scripted calls (default 6)."_s,
                                      u"SECONDS"_s);
    const QCommandLineOption ring(u"ring-time"_s, u"Seconds a phone rings before it answers (default 4)."_s,
                                  u"SECONDS"_s);
    const QCommandLineOption talk(u"talk-time"_s, u"Seconds an answered call lasts (default 8)."_s, u"SECONDS"_s);
    const QCommandLineOption first(u"first-call"_s, u"Seconds before the first scripted call (default 2)."_s,
                                   u"SECONDS"_s);
    const QCommandLineOption afterLogin(u"calls-after-login"_s,
                                        u"The first call's delay counts from the first accepted login."_s);
    parser.addOptions({help, port, bind, user, secret, extension, calls, style, technology, replay, log, interval, ring,
                       talk, first, afterLogin});
    if (!parser.parse(arguments))
        return failure(parser.errorText());
    if (parser.isSet(help))
        return {std::nullopt, parser.helpText(), 0};
    if (!parser.positionalArguments().isEmpty())
        return failure(u"Unexpected argument: "_s + parser.positionalArguments().first());

    SimulatorOptions options;
    if (parser.isSet(port)) {
        bool ok = false;
        const uint value = parser.value(port).toUInt(&ok);
        if (!ok || value > 65535)
            return failure(u"--port needs a number from 0 to 65535"_s);
        options.port = static_cast<quint16>(value);
    }
    if (parser.isSet(bind))
        options.bindAddress = parser.value(bind).toLocal8Bit();
    if (parser.isSet(user))
        options.user = parser.value(user).toLocal8Bit();
    if (parser.isSet(secret))
        options.secret = parser.value(secret).toLocal8Bit();
    if (parser.isSet(extension))
        options.extension = parser.value(extension).toLocal8Bit();
    if (options.extension.isEmpty())
        return failure(u"--extension cannot be empty"_s);

    if (parser.isSet(style)) {
        const auto chosen = styleNamed(parser.value(style));
        if (!chosen)
            return failure(u"--style takes old, new or modern"_s);
        options.style = *chosen;
    }
    const QString callsText = parser.isSet(calls) ? parser.value(calls) : u"none"_s;
    if (const auto callStyle = styleNamed(callsText)) {
        options.scriptedCalls = true;
        options.style = *callStyle;
    } else if (callsText != u"none"_s) {
        return failure(u"--calls takes old, new or none, or modern for Asterisk 13 to 22"_s);
    }
    options.callsAfterLogin = parser.isSet(afterLogin);
    if (parser.isSet(technology)) {
        options.technology = parser.value(technology).toUpper().toLatin1();
        if (options.technology != "SIP" && options.technology != "PJSIP")
            return failure(u"--technology takes SIP or PJSIP"_s);
    }

    const struct
    {
        const QCommandLineOption& option;
        int& target;
        double minimumSeconds;
    } durations[] = {{interval, options.timings.pauseMs, 0},
                     {ring, options.timings.ringMs, 0.05},
                     {talk, options.timings.talkMs, 0.05},
                     {first, options.firstCallMs, 0}};
    for (const auto& duration : durations) {
        if (!parser.isSet(duration.option))
            continue;
        const auto value = milliseconds(parser.value(duration.option), duration.minimumSeconds);
        if (!value)
            return failure(u"--"_s + duration.option.names().first() + u" needs a number of seconds"_s);
        duration.target = *value;
    }
    options.replayFile = parser.value(replay);
    options.logFile = parser.value(log);
    return {options, {}, 0};
}

} // namespace pbxsim
