#include "app/singleinstance.h"
#include "appwindowsfixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>
#include <QtEndian>

#include "waitfor.h"

#include <csignal>

namespace {

constexpr int ProcessBoundMs = 30000;

// The running program, as the desktop starts it for a link.
class ProgramProcess
{
public:
    explicit ProgramProcess(const QStringList& arguments)
    {
        process.setProgram(QStringLiteral(CORVALINE_BINARY));
        process.setArguments(arguments);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start();
    }
    ~ProgramProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool started() { return process.waitForStarted(ProcessBoundMs); }
    // Bounded, with the event loop running: the first instance may be this very
    // test process and has to answer meanwhile.
    bool finished(int boundMs = ProcessBoundMs)
    {
        return testsupport::waitFor([this] { return process.state() == QProcess::NotRunning; }, boundMs);
    }
    // The program has installed its SIGTERM and SIGINT handlers: from now on a
    // termination request goes through its orderly close.
    bool catchesTermination()
    {
        const QString status = QStringLiteral("/proc/%1/status").arg(process.processId());
        const quint64 handled = (1ull << (SIGTERM - 1)) | (1ull << (SIGINT - 1));
        return testsupport::waitFor(
            [&] {
                QFile file(status);
                if (!file.open(QIODevice::ReadOnly))
                    return false;
                for (const QByteArray& line : file.readAll().split('\n'))
                    if (line.startsWith("SigCgt:"))
                        return (line.mid(7).trimmed().toULongLong(nullptr, 16) & handled) == handled;
                return false;
            },
            ProcessBoundMs);
    }

    QProcess process;
};

class SingleInstanceTest : public AppWindowsFixture
{
protected:
    void listenAsFirstInstance()
    {
        ASSERT_TRUE(instance.listen());
        QObject::connect(&instance, &SingleInstance::textReceived, form1, &TForm1::receiveForwardedText);
        QObject::connect(&instance, &SingleInstance::receiveFailed, form1, &TForm1::forwardedTextFailed);
        QObject::connect(&instance, &SingleInstance::textReceived,
                         [this](const QByteArray& text) { received.append(text); });
        QObject::connect(&instance, &SingleInstance::receiveFailed, [this] { ++failures; });
        form3->Check_codea->setChecked(false);
        form3->Check_0->setChecked(false);
        form3->Check_masque->setChecked(false);
    }

    // Sends raw bytes as a forwarding instance would, and returns the answer byte.
    QByteArray sendRaw(const QByteArray& bytes, bool closeAfterwards)
    {
        QLocalSocket socket;
        socket.connectToServer(SingleInstance::serverName());
        EXPECT_TRUE(testsupport::waitFor([&] { return socket.state() == QLocalSocket::ConnectedState; }, 5000));
        socket.write(bytes);
        socket.flush();
        if (closeAfterwards) {
            socket.disconnectFromServer();
            testsupport::waitFor([&] { return failures > 0; }, 5000);
            return {};
        }
        testsupport::waitFor([&] { return socket.bytesAvailable() > 0; }, 10000);
        return socket.readAll();
    }

    SingleInstance instance;
    QByteArrayList received;
    int failures = 0;
};

QByteArray framed(const QByteArray& text, quint32 announcedLength)
{
    QByteArray head(4, '\0');
    qToBigEndian(announcedLength, head.data());
    return head + text;
}

TEST_F(SingleInstanceTest, NameIsPerUserAndPerDataFolder)
{
    const QString name = SingleInstance::serverName();
    EXPECT_TRUE(name.startsWith(QStringLiteral("corvaline-%1-").arg(getuid())));
    qputenv("CORVALINE_DATA_DIR", "/elsewhere");
    EXPECT_NE(SingleInstance::serverName(), name);
    qunsetenv("CORVALINE_DATA_DIR");
    EXPECT_EQ(SingleInstance::serverName(), QStringLiteral("corvaline-%1").arg(getuid()));
}

TEST_F(SingleInstanceTest, SecondInstanceWithALink_HandsItOverAndEndsAtOnce)
{
    listenAsFirstInstance();
    ProgramProcess second({QStringLiteral("numero:01.23.45.67.89")});
    ASSERT_TRUE(second.started());
    ASSERT_TRUE(second.finished());
    EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process.exitCode(), 0);
    EXPECT_EQ(received, QByteArrayList{"numero:01.23.45.67.89"});
    EXPECT_TRUE(form5->isVisible());
    EXPECT_EQ(form5->Edit1->text(), QStringLiteral("0123456789"));
    EXPECT_EQ(form5->Edit2->text(), QStringLiteral("0123456789"));
}

TEST_F(SingleInstanceTest, SecondInstanceArguments_AreRunTogether)
{
    listenAsFirstInstance();
    ProgramProcess second({QStringLiteral("numero:01"), QStringLiteral("23 45"), QStringLiteral("67.89")});
    ASSERT_TRUE(second.started());
    ASSERT_TRUE(second.finished());
    EXPECT_EQ(second.process.exitCode(), 0);
    EXPECT_EQ(received, QByteArrayList{"numero:0123 4567.89"});
    EXPECT_EQ(form5->Edit1->text(), QStringLiteral("0123456789"));
}

TEST_F(SingleInstanceTest, TextUpToTheLimit_IsTaken)
{
    listenAsFirstInstance();
    const QByteArray longest = QByteArray("numero:") + QByteArray(SingleInstance::MaxForwardedText - 7, '5');
    EXPECT_EQ(sendRaw(framed(longest, quint32(longest.size())), false), QByteArray("1"));
    EXPECT_EQ(received, QByteArrayList{longest});
    EXPECT_EQ(failures, 0);
}

TEST_F(SingleInstanceTest, TooLongText_IsRefusedAndReportedInTheStatusLabel)
{
    listenAsFirstInstance();
    const QByteArray tooLong(SingleInstance::MaxForwardedText + 1, '5');
    EXPECT_EQ(sendRaw(framed(tooLong, quint32(tooLong.size())), false), QByteArray("0"));
    EXPECT_TRUE(received.isEmpty());
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(form1->Label3->text(), QStringLiteral("Erreur ReceptionParametre"));
    EXPECT_FALSE(form5->isVisible());
}

TEST_F(SingleInstanceTest, TextCutShort_IsReportedAsUnreadable)
{
    listenAsFirstInstance();
    sendRaw(framed("numero:01", 20), true);
    EXPECT_TRUE(received.isEmpty());
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(form1->Label3->text(), QStringLiteral("Erreur ReceptionParametre"));
}

TEST_F(SingleInstanceTest, SecondInstanceWithoutArguments_RunsAsAFullInstance)
{
    listenAsFirstInstance();
    ProgramProcess second({});
    ASSERT_TRUE(second.started());
    ASSERT_TRUE(second.catchesTermination());
    EXPECT_EQ(second.process.state(), QProcess::Running);
    // Still the first instance here: the full second one did not take the name.
    EXPECT_TRUE(instance.isListening());
    second.process.terminate();
    ASSERT_TRUE(second.finished());
    EXPECT_EQ(second.process.exitCode(), 0);
    EXPECT_TRUE(received.isEmpty());
}

TEST_F(SingleInstanceTest, SecondInstanceWithoutArguments_LeavesTheLinksAndTheFrontToTheFirst)
{
    listenAsFirstInstance();
    auto* server = instance.findChild<QLocalServer*>();
    ASSERT_NE(server, nullptr);
    int connections = 0;
    QObject::connect(server, &QLocalServer::newConnection, [&connections] { ++connections; });
    ProgramProcess second({});
    ASSERT_TRUE(second.started());
    // The second instance finds the first one's lock held and runs on its own,
    // without a look at the name.
    ASSERT_TRUE(second.catchesTermination());
    testsupport::spinEventLoop(500);
    EXPECT_EQ(connections, 0);
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(form1->Label3->text().isEmpty());
    EXPECT_FALSE(form1->isVisible()) << "the first instance must not come to the front";

    // Links still reach the first instance, also once the second has ended.
    EXPECT_EQ(sendRaw(framed("numero:0102", 11), false), QByteArray("1"));
    second.process.terminate();
    ASSERT_TRUE(second.finished());
    EXPECT_EQ(sendRaw(framed("numero:0304", 11), false), QByteArray("1"));
    EXPECT_EQ(received, (QByteArrayList{"numero:0102", "numero:0304"}));
}

// SIGTERM (the system, a service manager) and SIGINT (Ctrl+C in a terminal)
// both end the program as the main window's close box does.
class TerminationSignalTest : public SingleInstanceTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(TerminationSignalTest, TerminatedInstance_WritesItsSettingsAsItsCloseBoxWould)
{
    ASSERT_FALSE(QFile::exists(settingsPath()));
    ProgramProcess program({});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.catchesTermination());
    ::kill(program.process.processId(), GetParam());
    ASSERT_TRUE(program.finished());
    EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.process.exitCode(), 0);
    QFile settings(settingsPath());
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QByteArray content = settings.readAll();
    EXPECT_TRUE(content.contains("[Form2]"));
    EXPECT_TRUE(content.contains("PortEdit_as=5038"));
    EXPECT_TRUE(content.contains("[Form3]"));
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignalTest, ::testing::Values(SIGTERM, SIGINT));

TEST_F(SingleInstanceTest, NameLeftByAKilledInstance_IsTakenOverByTheNextOne)
{
    {
        ProgramProcess crashed({});
        ASSERT_TRUE(crashed.started());
        ASSERT_TRUE(crashed.catchesTermination());
        // Listening comes a moment after the handler: wait until the name answers.
        ASSERT_TRUE(testsupport::waitFor(
            [] {
                QLocalSocket probe;
                probe.connectToServer(SingleInstance::serverName());
                return probe.waitForConnected(200);
            },
            ProcessBoundMs));
        crashed.process.kill();
        ASSERT_TRUE(crashed.finished());
    }
    QLocalSocket nobody;
    nobody.connectToServer(SingleInstance::serverName());
    EXPECT_FALSE(nobody.waitForConnected(1000));

    listenAsFirstInstance();
    ProgramProcess second({QStringLiteral("numero:0611223344")});
    ASSERT_TRUE(second.started());
    ASSERT_TRUE(second.finished());
    EXPECT_EQ(second.process.exitCode(), 0);
    EXPECT_EQ(form5->Edit1->text(), QStringLiteral("0611223344"));
}

TEST_F(SingleInstanceTest, SecondInstanceWithALinkThatARunningInstanceNeverTakes_EndsWithoutRunning)
{
    // A running instance that holds the name but does not answer (its loop is
    // stuck): the link cannot be handed over, and the second instance must not
    // become a full one beside it.
    QLocalServer stuck;
    ASSERT_TRUE(stuck.listen(SingleInstance::serverName()));
    ProgramProcess second({QStringLiteral("numero:0102")});
    ASSERT_TRUE(second.started());
    // It waits twice for an answer, ten seconds each time.
    ASSERT_TRUE(second.finished(2 * ProcessBoundMs));
    EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(second.process.exitCode(), 0) << "the link was not taken";
    EXPECT_TRUE(stuck.isListening());
    EXPECT_TRUE(QFile::exists(stuck.fullServerName())) << "the name stays with the running instance";
}

TEST_F(SingleInstanceTest, LinkStartedWhileTheFirstInstanceStarts_EndsInExactlyOneInstance)
{
    // The agenda's link clicked right as the program starts: whichever gets
    // there first becomes the one instance, and the link reaches it.
    form3->Check_codea->setChecked(false);
    form3->Check_0->setChecked(false);
    form3->Check_masque->setChecked(false);
    int linkForwarded = 0;
    for (int round = 0; round < 30; ++round) {
        const QString number = QStringLiteral("06%1").arg(round, 8, 10, QLatin1Char('0'));
        form5->Edit1->clear();
        ProgramProcess link({QStringLiteral("numero:") + number});
        ASSERT_TRUE(link.started());
        QThread::msleep(static_cast<unsigned long>(round % 6) * 20);
        SingleInstance first;
        QObject::connect(&first, &SingleInstance::textReceived, form1, &TForm1::receiveForwardedText);
        if (first.listen()) {
            ASSERT_TRUE(link.finished()) << "round " << round;
            EXPECT_EQ(link.process.exitCode(), 0) << "round " << round;
            EXPECT_EQ(form5->Edit1->text(), number) << "round " << round;
            ++linkForwarded;
        } else {
            // The link's program won: it is the one instance, running, and it
            // takes the links.
            EXPECT_EQ(link.process.state(), QProcess::Running) << "round " << round;
            EXPECT_TRUE(SingleInstance::forward("numero:01", ProcessBoundMs, true)) << "round " << round;
        }
    }
    EXPECT_GT(linkForwarded, 0);
}

TEST_F(SingleInstanceTest, ForwardWithoutAFirstInstance_Fails)
{
    EXPECT_FALSE(SingleInstance::forward("numero:01", 2000));
}

} // namespace
