// corvaline-events: shows what the program does with a stream of manager text.
//
// The text is read in blocks of the given size, as the telnet session would
// deliver it, gathered into whole messages as the program does, and handed to
// the event interpretation of the given mode for the given extension (no telnet
// decoding). Every card operation and every recorded challenge is printed as it
// happens; the cards left at the end follow.

#include "operationprinter.h"
#include "supervision/classiceventinterpreter.h"
#include "supervision/managermessages.h"
#include "supervision/managertextreader.h"
#include "supervision/moderneventinterpreter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

int fail(const QString& message, int code)
{
    std::fprintf(stderr, "corvaline-events: %s\n", qPrintable(message));
    return code;
}

struct Options
{
    QString input; // empty or "-" for standard input
    qsizetype blockSize = 2048;
    QByteArray extension;
    bool modern = false;
    QByteArrayList technologies;
};

// Parses the command line; on a bad one prints why and gives no options.
std::optional<Options> parseOptions(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the manager event interpretation over manager text and prints the card operations it calls,\n"
        "one line each, fields separated by TAB:\n"
        "  AddRingingCard, ShowConnectedCall: Number Sda Key Channel; OpenCallerAgenda, RemoveCallCard: Key;\n"
        "  Challenge: value;\n"
        "then the cards left, in creation order: CARD Key ringing|answered Number Sda Channel."));
    parser.addHelpOption();
    const QCommandLineOption blockSizeOption(QStringLiteral("block-size"),
                                             QStringLiteral("Bytes read at a time (default 2048; 0: the whole input)."),
                                             QStringLiteral("N"), QStringLiteral("2048"));
    const QCommandLineOption extensionOption(
        QStringLiteral("extension"),
        QStringLiteral("The user's extension, as typed in the console (required; in classic mode it may be empty:\n"
                       "every SIP channel)."),
        QStringLiteral("EXT"));
    const QCommandLineOption modeOption(QStringLiteral("mode"),
                                        QStringLiteral("The interpretation: classic (default) or modern."),
                                        QStringLiteral("classic|modern"), QStringLiteral("classic"));
    const QCommandLineOption technologyOption(
        QStringLiteral("technology"),
        QStringLiteral("Modern mode: the technologies whose channels can be the phone's, comma-separated\n"
                       "(default SIP,PJSIP)."),
        QStringLiteral("LIST"), QStringLiteral("SIP,PJSIP"));
    parser.addOption(blockSizeOption);
    parser.addOption(extensionOption);
    parser.addOption(modeOption);
    parser.addOption(technologyOption);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("Manager text to read; standard input if absent or -."),
                                 QStringLiteral("[file]"));

    if (!parser.parse(app.arguments())) {
        fail(parser.errorText(), exitUsage);
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);

    Options options;
    bool numeric = false;
    options.blockSize = parser.value(blockSizeOption).toLongLong(&numeric);
    if (!numeric || options.blockSize < 0) {
        fail(QStringLiteral("--block-size needs a whole number of bytes, 0 or more"), exitUsage);
        return std::nullopt;
    }
    if (!parser.isSet(extensionOption)) {
        fail(QStringLiteral("--extension is required (give --extension \"\" for every SIP channel)"), exitUsage);
        return std::nullopt;
    }
    // The extension is compared with manager bytes; it is taken as the local
    // 8-bit text the shell gave.
    options.extension = parser.value(extensionOption).toLocal8Bit();
    const QString mode = parser.value(modeOption);
    if (mode != QStringLiteral("classic") && mode != QStringLiteral("modern")) {
        fail(QStringLiteral("--mode takes classic or modern"), exitUsage);
        return std::nullopt;
    }
    options.modern = mode == QStringLiteral("modern");
    if (options.modern && options.extension.isEmpty()) {
        fail(QStringLiteral("modern mode needs a non-empty --extension"), exitUsage);
        return std::nullopt;
    }
    for (const QString& technology : parser.value(technologyOption).split(u',', Qt::SkipEmptyParts))
        options.technologies.append(technology.trimmed().toLocal8Bit());
    if (options.technologies.isEmpty()) {
        fail(QStringLiteral("--technology needs at least one technology"), exitUsage);
        return std::nullopt;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        fail(QStringLiteral("only one input file may be given"), exitUsage);
        return std::nullopt;
    }
    if (!files.isEmpty())
        options.input = files.first();
    return options;
}

// Reads up to size bytes, fewer only at the end of the input (a pipe may hand
// them over in smaller pieces).
QByteArray readBlock(QFile& input, qsizetype size)
{
    QByteArray block(size, Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < size) {
        const qint64 got = input.read(block.data() + filled, size - filled);
        if (got <= 0)
            break;
        filled += got;
    }
    block.truncate(filled);
    return block;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvaline-events"));

    const std::optional<Options> options = parseOptions(app);
    if (!options)
        return exitUsage;

    QFile input;
    bool opened = false;
    if (options->input.isEmpty() || options->input == QStringLiteral("-")) {
        opened = input.open(stdin, QIODevice::ReadOnly);
    } else {
        input.setFileName(options->input);
        opened = input.open(QIODevice::ReadOnly);
    }
    if (!opened)
        return fail(QStringLiteral("cannot read %1: %2").arg(options->input, input.errorString()), exitUsage);

    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    OperationPrinter printer(stdout);
    const QByteArray extension = options->extension;
    const auto extensionSource = [&extension] { return extension; };
    const auto challenge = [&printer](const QByteArray& value) { printer.challengeRecorded(value); };
    std::unique_ptr<EventInterpretation> interpretation;
    if (options->modern)
        interpretation =
            std::make_unique<ModernEventInterpreter>(printer, extensionSource, challenge, options->technologies);
    else
        interpretation = std::make_unique<ClassicEventInterpreter>(printer, extensionSource, challenge);

    ManagerTextReader reader([&](const ManagerText& text) { interpretation->interpret(text.text()); });
    if (options->blockSize == 0) {
        reader.read(input.readAll());
    } else {
        for (QByteArray block = readBlock(input, options->blockSize); !block.isEmpty() && !reader.lineTooLong();
             block = readBlock(input, options->blockSize))
            reader.read(block);
    }
    const bool lineTooLong = reader.lineTooLong();
    // The end of the input closes the session: what is left is handed over as it is.
    reader.finish();
    if (input.error() != QFileDevice::NoError)
        return fail(QStringLiteral("error while reading: %1").arg(input.errorString()), exitFailure);

    printer.printCards();
    if (std::fflush(stdout) != 0 || !printer.ok())
        return fail(QStringLiteral("cannot write the output"), exitFailure);
    if (lineTooLong)
        return fail(QStringLiteral("a line longer than %1 bytes: the session would close there")
                        .arg(ManagerMessages::MaxLineLength),
                    exitFailure);
    return 0;
}
