// Speed of the manager event interpretation on a busy PBX's stream: about
// 100 MB of generated manager text, interpreted for extension 100 through the
// corvaline-events tool (as a process, 2048-byte blocks) and in-process with
// 2048-byte blocks as the telnet session delivers them. Prints figures only.
//
// Usage: events_bench [size in MB, default 100]

#include "callcardlist.h"
#include "managereventinterpreter.h"
#include "managertextgenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const QByteArray extension = QByteArrayLiteral("100");
constexpr qsizetype blockSize = 2048;

// Counts the operations, to show the run did the work.
class CountingCards : public CallCardList
{
public:
    void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                        const QByteArray& channel) override
    {
        ++operations;
        CallCardList::AddRingingCard(number, sda, key, channel);
    }
    void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override
    {
        ++operations;
        CallCardList::ShowConnectedCall(number, sda, key, channel);
    }
    void OpenCallerAgenda(const QByteArray& key) override
    {
        ++operations;
        CallCardList::OpenCallerAgenda(key);
    }
    void RemoveCallCard(const QByteArray& key) override
    {
        ++operations;
        CallCardList::RemoveCallCard(key);
    }

    qsizetype operations = 0;
};

void report(const char* what, double seconds, qsizetype bytes, qsizetype events)
{
    std::printf("%-58s %8.3f s %12.0f events/s %9.1f MB/s\n", what, seconds, double(events) / seconds,
                double(bytes) / (1024.0 * 1024.0) / seconds);
}

// Runs the tool on the file, its output thrown away; returns the seconds, or
// a negative value when it failed.
double timeTool(const QString& path)
{
    QProcess tool;
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    tool.start(QStringLiteral(CORVALINE_EVENTS_TOOL),
               {QStringLiteral("--extension"), QString::fromLatin1(extension), QStringLiteral("--block-size"),
                QString::number(blockSize), path});
    if (!tool.waitForFinished(-1) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype megabytes = arguments.size() > 1 ? arguments.at(1).toLongLong() : 100;
    if (megabytes <= 0) {
        std::fprintf(stderr, "usage: events_bench [size in MB, default 100]\n");
        return 2;
    }

    QByteArray text;
    ManagerTextGenerator generator(extension, 20261208);
    generator.generate(text, megabytes * 1024 * 1024);
    std::printf("manager text: %.1f MB, %lld events, %lld on SIP/%s (%.2f%%)\n",
                double(text.size()) / (1024.0 * 1024.0), static_cast<long long>(generator.eventCount()),
                static_cast<long long>(generator.ownEventCount()), extension.constData(),
                100.0 * double(generator.ownEventCount()) / double(generator.eventCount()));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("manager.txt"));
    QFile file(path);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush()) {
        std::fprintf(stderr, "events_bench: cannot write %s\n", qPrintable(path));
        return 1;
    }
    file.close();

    const double toolSeconds = timeTool(path);
    if (toolSeconds < 0) {
        std::fprintf(stderr, "events_bench: corvaline-events failed\n");
        return 1;
    }
    report("corvaline-events process, 2048-byte blocks, file input", toolSeconds, text.size(), generator.eventCount());

    CountingCards cards;
    qsizetype challenges = 0;
    ManagerEventInterpreter interpreter(
        cards, [] { return extension; }, [&challenges](const QByteArray&) { ++challenges; });
    QElapsedTimer timer;
    timer.start();
    for (qsizetype at = 0; at < text.size(); at += blockSize)
        interpreter.interpret(QByteArrayView(text).sliced(at, qMin(blockSize, text.size() - at)));
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    report("interpretation in-process, 2048-byte blocks", seconds, text.size(), generator.eventCount());
    std::printf("card operations called: %lld (challenges %lld)\n", static_cast<long long>(cards.operations),
                static_cast<long long>(challenges));
    return 0;
}
