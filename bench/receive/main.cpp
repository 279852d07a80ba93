// Speed of the whole receive path without a window: the program's manager
// session (modern mode, extension 100) and a card list, connected through the
// session's own telnet session to a loopback sender that writes about 100 MB
// of a busy Asterisk 13-22 stream and closes. Run twice, with the journal on
// (written once per turn of the event loop, as the console does) and off.
// Prints the events per second until the session closes, the longest gap of a
// 50 ms timer (how long the program went without answering) and the cards
// left. Prints figures only; exits non-zero when a run could not be made or
// left cards behind.
//
// Usage: receive_bench [size in MB, default 100]

#include "forwardingcardcounter.h"
#include "managertextgenerator.h"
#include "net/tncnx.h"
#include "streamsender.h"
#include "supervision/callcardlist.h"
#include "supervision/journal.h"
#include "supervision/managersession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace {

const QByteArray extension = QByteArrayLiteral("100");
constexpr int tickMs = 50;
// Longest a run may take before it is abandoned.
constexpr int runTimeoutMs = 170000;

// What the sender writes before the events: the banner, the login's answer.
const QByteArray sessionStart = QByteArrayLiteral("Asterisk Call Manager/7.0.3\r\n"
                                                  "Response: Success\r\n"
                                                  "Message: Authentication accepted\r\n"
                                                  "\r\n"
                                                  "Event: FullyBooted\r\n"
                                                  "Privilege: system,all\r\n"
                                                  "Uptime: 8123\r\n"
                                                  "LastReload: 8123\r\n"
                                                  "Status: Fully Booted\r\n"
                                                  "\r\n");

struct Run
{
    bool closed = false;
    double seconds = 0;
    qint64 sent = 0;
    bool completed = false;
    qint64 longestGapMs = 0;
    int cardsLeft = 0;
    qsizetype operations = 0;
    qsizetype ringing = 0;
    qsizetype answered = 0;
    qint64 journalBytes = 0;
};

// The session's journal entries, written once per turn of the event loop.
class JournalWriter : public QObject
{
public:
    void add(const QByteArray& entry)
    {
        m_entries.append(entry);
        if (m_entries.size() == 1)
            QMetaObject::invokeMethod(
                this, [this] { m_journal.writeEntries(std::exchange(m_entries, {})); }, Qt::QueuedConnection);
    }
    QString path() const { return m_journal.currentFilePath(); }

private:
    Journal m_journal;
    QByteArrayList m_entries;
};

// Waits for the session to close, the timer measuring the gaps meanwhile.
Run receive(const QByteArray& stream, bool journal)
{
    Run run;
    StreamSender sender(stream);
    const quint16 port = sender.start();
    if (port == 0)
        return run;
    ManagerSessionSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = QString::number(port);
    settings.loginAction = QStringLiteral("Login");
    settings.events = QStringLiteral("On");
    settings.modern = true;
    settings.extension = QString::fromLatin1(extension);
    settings.journal = journal;
    CallCardList cardList;
    ForwardingCardCounter cards(cardList, ManagerSession::DisconnectionKey);
    JournalWriter journalWriter;
    ManagerSession session;
    session.setSettingsSource([&settings] { return settings; });
    session.callCards = &cards;
    QObject::connect(&session, &ManagerSession::journalEntry, &journalWriter, &JournalWriter::add);

    QEventLoop loop;
    QObject::connect(&session, &ManagerSession::sessionShown, &loop, [&](bool connected) {
        if (!connected)
            loop.quit();
    });
    QTimer::singleShot(runTimeoutMs, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    QTimer tick;
    tick.setInterval(tickMs);
    qint64 lastTick = 0;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.elapsed();
        run.longestGapMs = qMax(run.longestGapMs, now - lastTick);
        lastTick = now;
    });
    clock.start();
    tick.start();
    session.connectToManager();
    loop.exec();
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    tick.stop();
    // A gap still running when the session closed counts too.
    run.longestGapMs = qMax(run.longestGapMs, clock.elapsed() - lastTick);
    run.closed = !session.telnet()->SessionOpen() && sender.accepted();
    session.callCards = nullptr;
    QCoreApplication::sendPostedEvents();
    run.sent = sender.sentBytes();
    run.completed = sender.completed();
    run.operations = cards.operations();
    run.ringing = cards.ringing();
    run.answered = cards.answered();
    run.cardsLeft = int(cardList.cards().size()) - (cardList.HasCallCard(ManagerSession::DisconnectionKey) ? 1 : 0);
    if (journal)
        run.journalBytes = QFileInfo(journalWriter.path()).size();
    return run;
}

// Prints the run's figures; false when the run failed or left cards behind.
bool report(const char* what, const Run& run, qsizetype events, const ManagerTextGenerator& stream)
{
    if (!run.closed) {
        std::printf("%-30s failed: the session did not close in time (%lld bytes sent)\n", what,
                    static_cast<long long>(run.sent));
        return false;
    }
    std::printf("%-30s %7.3f s %9.0f events/s %6.1f MB/s, longest gap %5lld ms, cards left %d, "
                "card operations %lld, journal %.1f MB%s\n",
                what, run.seconds, double(events) / run.seconds, double(run.sent) / (1024.0 * 1024.0) / run.seconds,
                static_cast<long long>(run.longestGapMs), run.cardsLeft, static_cast<long long>(run.operations),
                double(run.journalBytes) / (1024.0 * 1024.0), run.completed ? "" : " (stream cut short)");
    if (run.ringing != stream.ownRingingCount() || run.answered != stream.ownAnsweredCount())
        std::printf("WARNING: %lld cards rang and %lld were answered; the stream has %lld and %lld\n",
                    static_cast<long long>(run.ringing), static_cast<long long>(run.answered),
                    static_cast<long long>(stream.ownRingingCount()),
                    static_cast<long long>(stream.ownAnsweredCount()));
    if (run.cardsLeft == 0)
        return true;
    std::printf("WARNING: %d cards left at the end of the stream\n", run.cardsLeft);
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype megabytes = arguments.size() > 1 ? arguments.at(1).toLongLong() : 100;
    if (megabytes <= 0) {
        std::fprintf(stderr, "usage: receive_bench [size in MB, default 100]\n");
        return 2;
    }

    // The journals go to a folder of the run's own.
    QTemporaryDir data;
    if (!data.isValid()) {
        std::fprintf(stderr, "receive_bench: no temporary folder\n");
        return 1;
    }
    qputenv("CORVALINE_DATA_DIR", QFile::encodeName(data.path()));

    QByteArray stream = sessionStart;
    ManagerTextGenerator generator(extension, 20261208);
    generator.generate(stream, megabytes * 1024 * 1024);
    // The login's answer holds no event; FullyBooted is one.
    const qsizetype events = generator.eventCount() + 1;
    std::printf("manager stream: %.1f MB, %lld events, %lld calls, %lld with a leg on %s\n",
                double(stream.size()) / (1024.0 * 1024.0), static_cast<long long>(events),
                static_cast<long long>(generator.callCount()), static_cast<long long>(generator.ownCallCount()),
                extension.constData());

    const bool withJournal = report("modern, journal on", receive(stream, true), events, generator);
    const bool withoutJournal = report("modern, journal off", receive(stream, false), events, generator);
    return withJournal && withoutJournal ? 0 : 1;
}
