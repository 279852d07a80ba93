// Speed of the whole receive path as the user runs it: the program's real
// windows (offscreen, over a data folder of the benchmark's own), modern mode,
// extension 100, connected through the console's own telnet session to a
// loopback sender that writes about 100 MB of a busy Asterisk 13-22 stream and
// closes. Run twice, with the journal (and the memo) on and off. Prints the
// events per second until the session closes, the longest gap of a 50 ms timer
// (how long the window went without answering) and the cards left. Prints
// figures only; exits non-zero when a run could not be made or left cards behind.
//
// Usage: receive_bench [size in MB, default 100]

#include "gui/applicationwindows.h"
#include "gui/mainwindow.h"
#include "gui/agendasettings.h"
#include "gui/messagebox.h"
#include "gui/svgeditini.h"
#include "forwardingcardcounter.h"
#include "managertextgenerator.h"
#include "net/tncnx.h"
#include "streamsender.h"
#include "gui/browser.h"
#include "gui/callcard.h"
#include "gui/managerconsole.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

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

// Waits for the session to close, the timer measuring the gaps meanwhile.
Run receive(const QByteArray& stream, bool journal)
{
    TSvgEditIni::ResetForTests();
    ApplicationWindows windows;
    TForm1* form1 = windows.form1();
    TForm2* console = windows.form2();
    // The start-up connection would go to the saved host: this run connects itself.
    form1->Timer1->stop();
    // The console keeps these controls to itself: they are found by name.
    auto* mode = console->findChild<QComboBox*>(QStringLiteral("mode_as"));
    mode->setCurrentIndex(mode->findText(QStringLiteral("Moderne")));
    console->poste_as->setText(QString::fromLatin1(extension));
    console->findChild<QCheckBox*>(QStringLiteral("journal_enre"))->setChecked(journal);
    // An office's agenda: answered calls open their page (counted, never shown).
    windows.form3()->adresse_ob->setText(QStringLiteral("http://127.0.0.1/agenda"));
    ForwardingCardCounter cards(*form1, TFrame4::DisconnectionKey);
    console->CallCards = &cards;

    Run run;
    StreamSender sender(stream);
    const quint16 port = sender.start();
    if (port == 0) {
        console->CallCards = form1;
        return run;
    }
    console->findChild<QLineEdit*>(QStringLiteral("HostEdit_as"))->setText(QStringLiteral("127.0.0.1"));
    console->findChild<QLineEdit*>(QStringLiteral("PortEdit_as"))->setText(QString::number(port));

    QEventLoop loop;
    QObject::connect(console, &TForm2::SessionShown, &loop, [&](bool connected) {
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
    console->ConnectButtonClick();
    loop.exec();
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    tick.stop();
    // A gap still running when the session closed counts too.
    run.longestGapMs = qMax(run.longestGapMs, clock.elapsed() - lastTick);
    run.closed = !console->TnCnx->SessionOpen() && sender.accepted();
    console->CallCards = form1;
    run.sent = sender.sentBytes();
    run.completed = sender.completed();
    run.operations = cards.operations();
    run.ringing = cards.ringing();
    run.answered = cards.answered();
    run.cardsLeft = form1->CallCardCount() - (form1->HasCallCard(TFrame4::DisconnectionKey) ? 1 : 0);
    if (journal)
        run.journalBytes = QFileInfo(console->ManagerJournal.currentFilePath()).size();
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
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype megabytes = arguments.size() > 1 ? arguments.at(1).toLongLong() : 100;
    if (megabytes <= 0) {
        std::fprintf(stderr, "usage: receive_bench [size in MB, default 100]\n");
        return 2;
    }

    // serie.ini and the journals go to a folder of the run's own; dialogs and
    // browser pages are counted, never shown.
    QTemporaryDir data;
    if (!data.isValid()) {
        std::fprintf(stderr, "receive_bench: no temporary folder\n");
        return 1;
    }
    qputenv("CORVALINE_DATA_DIR", QFile::encodeName(data.path()));
    qsizetype messages = 0;
    qsizetype pages = 0;
    SetMessageSinkForTests([&messages](const QString&) { ++messages; });
    SetBrowserHookForTests([&pages](const QString&) { ++pages; });

    QByteArray stream = sessionStart;
    ManagerTextGenerator generator(extension, 20261208);
    generator.generate(stream, megabytes * 1024 * 1024);
    // The login's answer holds no event; FullyBooted is one.
    const qsizetype events = generator.eventCount() + 1;
    std::printf("manager stream: %.1f MB, %lld events, %lld calls, %lld with a leg on %s\n",
                double(stream.size()) / (1024.0 * 1024.0), static_cast<long long>(events),
                static_cast<long long>(generator.callCount()), static_cast<long long>(generator.ownCallCount()),
                extension.constData());

    const bool withJournal = report("modern, journal and memo on", receive(stream, true), events, generator);
    const bool withoutJournal = report("modern, journal off", receive(stream, false), events, generator);
    std::printf("messages shown %lld, browser pages %lld\n", static_cast<long long>(messages),
                static_cast<long long>(pages));

    SetMessageSinkForTests({});
    SetBrowserHookForTests({});
    return withJournal && withoutJournal ? 0 : 1;
}
