// Speed of the manager event interpretation on a busy Asterisk 13-22 stream:
// about 100 MB of generated manager text, read for extension 100. Side by side,
// on the same text: a plain line splitter (the reference), the program's
// reader of manager text with each interpretation in-process, fed 2048-byte blocks as the
// telnet session delivers them, and the corvaline-events tool on a file.
// Prints figures; exits non-zero only when the modern interpretation got the
// cards wrong (cards left behind, or not the rings and answers of the stream),
// or when the splitter and the generator disagree on the number of events.
//
// Usage: events_bench [size in MB, default 100]

#include "managertextgenerator.h"
#include "supervision/callcardlist.h"
#include "supervision/classiceventinterpreter.h"
#include "supervision/managertextreader.h"
#include "supervision/moderneventinterpreter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const QByteArray extension = QByteArrayLiteral("100");
constexpr qsizetype blockSize = 2048;
// The in-process runs keep their best time: the machine is shared.
constexpr int repeats = 3;
constexpr int toolTimeoutMs = 120000;

// Counts the operations by kind, so the figures show the work was done.
class CountingCards : public CallCardList
{
public:
    void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                        const QByteArray& channel) override
    {
        ++ringing;
        CallCardList::AddRingingCard(number, sda, key, channel);
    }
    void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override
    {
        ++answered;
        CallCardList::ShowConnectedCall(number, sda, key, channel);
    }
    void OpenCallerAgenda(const QByteArray& key) override
    {
        ++agendas;
        CallCardList::OpenCallerAgenda(key);
    }
    void RemoveCallCard(const QByteArray& key) override
    {
        ++removals;
        CallCardList::RemoveCallCard(key);
    }

    qsizetype operations() const { return ringing + answered + agendas + removals; }

    qsizetype ringing = 0;
    qsizetype answered = 0;
    qsizetype agendas = 0;
    qsizetype removals = 0;
    qsizetype challenges = 0;
};

struct Figures
{
    double seconds = -1;
    qsizetype events = 0;
};

void printHeading()
{
    std::printf("%-46s %8s %13s %9s %s\n", "", "seconds", "events/s", "MB/s", "time vs splitter");
}

void report(const char* what, double seconds, qsizetype bytes, qsizetype events, double reference)
{
    if (seconds < 0) {
        std::printf("%-46s failed\n", what);
        return;
    }
    std::printf("%-46s %8.3f %13.0f %9.1f %7.1fx\n", what, seconds, double(events) / seconds,
                double(bytes) / (1024.0 * 1024.0) / seconds, seconds / reference);
}

// The reference: lines found with memchr, "Event:" lines counted.
Figures splitLines(const QByteArray& text)
{
    Figures figures;
    QElapsedTimer timer;
    timer.start();
    const char* at = text.constData();
    const char* const end = at + text.size();
    while (at < end) {
        const auto* lf = static_cast<const char*>(std::memchr(at, '\n', std::size_t(end - at)));
        const char* const lineEnd = lf ? lf : end;
        if (lineEnd - at >= 6 && std::memcmp(at, "Event:", 6) == 0)
            ++figures.events;
        at = lineEnd + 1;
    }
    figures.seconds = double(timer.nsecsElapsed()) / 1e9;
    return figures;
}

std::unique_ptr<EventInterpretation> makeInterpretation(bool modern, CountingCards& cards)
{
    const auto extensionSource = [] { return extension; };
    const auto challenge = [&cards](const QByteArray&) { ++cards.challenges; };
    if (modern)
        return std::make_unique<ModernEventInterpreter>(cards, extensionSource, challenge);
    return std::make_unique<ClassicEventInterpreter>(cards, extensionSource, challenge);
}

// The reader and the interpretation over the text in telnet-sized blocks; the cards
// of the run are left in cards.
double interpret(const QByteArray& text, bool modern, CountingCards& cards)
{
    const std::unique_ptr<EventInterpretation> interpretation = makeInterpretation(modern, cards);
    ManagerTextReader reader([&](const ManagerText& ready) { interpretation->interpret(ready.text()); });
    QElapsedTimer timer;
    timer.start();
    for (qsizetype at = 0; at < text.size(); at += blockSize)
        reader.read(QByteArrayView(text).sliced(at, qMin(blockSize, text.size() - at)));
    reader.finish();
    return double(timer.nsecsElapsed()) / 1e9;
}

// The card list of the last run is left in cards.
double bestInterpretation(const QByteArray& text, bool modern, std::unique_ptr<CountingCards>& cards)
{
    double best = -1;
    for (int i = 0; i < repeats; ++i) {
        cards = std::make_unique<CountingCards>();
        const double seconds = interpret(text, modern, *cards);
        best = best < 0 ? seconds : qMin(best, seconds);
    }
    return best;
}

// Runs the tool on the file, its output thrown away; the seconds, or a
// negative value when it failed or ran out of time.
double timeTool(const QString& path, const char* mode)
{
    QProcess tool;
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    tool.start(QStringLiteral(CORVALINE_EVENTS_TOOL),
               {QStringLiteral("--mode"), QString::fromLatin1(mode), QStringLiteral("--extension"),
                QString::fromLatin1(extension), QStringLiteral("--block-size"), QString::number(blockSize), path});
    if (!tool.waitForFinished(toolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished(5000);
        return -1;
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e9;
}

void printCards(const char* mode, const CountingCards& cards)
{
    std::printf("card operations, %s: %lld (ringing %lld, answered %lld, agenda %lld, removed %lld), "
                "cards left %zu, challenges %lld\n",
                mode, static_cast<long long>(cards.operations()), static_cast<long long>(cards.ringing),
                static_cast<long long>(cards.answered), static_cast<long long>(cards.agendas),
                static_cast<long long>(cards.removals), cards.cards().size(), static_cast<long long>(cards.challenges));
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
    std::printf("manager text: %.1f MB, %lld events (%lld messages), %lld calls, %lld with a leg on %s "
                "(rang %lld, answered %lld)\n",
                double(text.size()) / (1024.0 * 1024.0), static_cast<long long>(generator.eventCount()),
                static_cast<long long>(generator.messageCount()), static_cast<long long>(generator.callCount()),
                static_cast<long long>(generator.ownCallCount()), extension.constData(),
                static_cast<long long>(generator.ownRingingCount()),
                static_cast<long long>(generator.ownAnsweredCount()));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("manager.txt"));
    QFile file(path);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush()) {
        std::fprintf(stderr, "events_bench: cannot write %s\n", qPrintable(path));
        return 1;
    }
    file.close();

    const qsizetype events = generator.eventCount();
    Figures reference = splitLines(text);
    for (int i = 1; i < repeats; ++i)
        reference.seconds = qMin(reference.seconds, splitLines(text).seconds);
    int status = 0;
    if (reference.events != events) {
        std::printf("WARNING: the splitter counted %lld events, the generator wrote %lld\n",
                    static_cast<long long>(reference.events), static_cast<long long>(events));
        status = 1;
    }

    printHeading();
    report("plain line splitter (memchr), reference", reference.seconds, text.size(), events, reference.seconds);
    std::unique_ptr<CountingCards> classic;
    report("in process, classic, 2048-byte blocks", bestInterpretation(text, false, classic), text.size(), events,
           reference.seconds);
    std::unique_ptr<CountingCards> modern;
    report("in process, modern, 2048-byte blocks", bestInterpretation(text, true, modern), text.size(), events,
           reference.seconds);
    report("corvaline-events --mode classic, file", timeTool(path, "classic"), text.size(), events, reference.seconds);
    report("corvaline-events --mode modern, file", timeTool(path, "modern"), text.size(), events, reference.seconds);
    printCards("classic", *classic);
    printCards("modern", *modern);

    // Every generated call ends: the modern interpretation must leave no card,
    // and must have rung and answered the extension's calls of the stream.
    if (!modern->cards().empty()) {
        std::printf("WARNING: the modern interpretation left %zu cards at the end of the stream\n",
                    modern->cards().size());
        status = 1;
    }
    if (modern->ringing != generator.ownRingingCount() || modern->answered != generator.ownAnsweredCount()) {
        std::printf("WARNING: the modern interpretation rang %lld and answered %lld cards; the stream has %lld "
                    "and %lld\n",
                    static_cast<long long>(modern->ringing), static_cast<long long>(modern->answered),
                    static_cast<long long>(generator.ownRingingCount()),
                    static_cast<long long>(generator.ownAnsweredCount()));
        status = 1;
    }
    return status;
}
