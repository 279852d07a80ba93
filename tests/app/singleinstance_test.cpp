#include "app/singleinstance.h"
#include "appwindowsfixture.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include "waitfor.h"

#include <csignal>
#include <unistd.h>

namespace {

constexpr int ProcessBoundMs = 30000;

// The running program, as the desktop starts it for a link.
class ProgramProcess
{
public:
    explicit ProgramProcess(const QStringList& arguments,
                            QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels)
    {
        process.setProgram(QStringLiteral(CORVALINE_BINARY));
        process.setArguments(arguments);
        process.setProcessChannelMode(channels);
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

// Another local user's process: a small Python program run under the user id
// of nobody (setpriv), with the system's interpreter, which every user may run. It listens on the names it is given
// (and leaves a lock file beside each), as if it had made them first, and prints every text it is sent; or it sends a
// framed text to a name and prints the answer.
class OtherUserProcess
{
public:
    static constexpr int Nobody = 65534;

    explicit OtherUserProcess(const QStringList& arguments)
    {
        process.setProgram(QStringLiteral("setpriv"));
        process.setArguments(QStringList{QStringLiteral("--reuid=%1").arg(Nobody),
                                         QStringLiteral("--regid=%1").arg(Nobody), QStringLiteral("--clear-groups"),
                                         QStringLiteral("/usr/bin/python3"), QStringLiteral("-c"),
                                         QString::fromLatin1(Script)} +
                             arguments);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
    }
    ~OtherUserProcess()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    bool printed(const QByteArray& text)
    {
        return testsupport::waitFor(
                   [&] {
                       output += process.readAllStandardOutput();
                       return output.contains(text) || process.state() == QProcess::NotRunning;
                   },
                   ProcessBoundMs) &&
               output.contains(text);
    }
    QByteArray outputSoFar()
    {
        testsupport::spinEventLoop(100);
        return output += process.readAllStandardOutput();
    }

    QProcess process;
    QByteArray output;

private:
    static constexpr char Script[] = R"(
import os, select, socket, sys
if sys.argv[1] == "send":
    peer = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        peer.connect(sys.argv[2])
    except OSError as error:
        print("unreachable", error, flush=True)
        sys.exit(0)
    text = sys.argv[3].encode("latin-1")
    peer.settimeout(10)
    try:
        peer.sendall(len(text).to_bytes(4, "big") + text)
        answer = peer.recv(1)
    except OSError:
        answer = b""
    print("answer:" + answer.decode() if answer else "closed", flush=True)
    sys.exit(0)
servers = []
for path in sys.argv[2:]:
    if not os.path.isdir(os.path.dirname(path)):
        os.makedirs(os.path.dirname(path))
        os.chmod(os.path.dirname(path), 0o777)
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(path)
    os.chmod(path, 0o777)
    server.listen(8)
    servers.append(server)
    with open(path + ".lock", "w") as lock:
        lock.write("squatted\n")
print("ready", flush=True)
while True:
    for server in select.select(servers, [], [])[0]:
        connection = server.accept()[0]
        connection.settimeout(2)
        data = b""
        try:
            while len(data) < 4 or len(data) < 4 + int.from_bytes(data[:4], "big"):
                chunk = connection.recv(65536)
                if not chunk:
                    break
                data += chunk
        except OSError:
            pass
        if data:
            print("received:" + data[4:].decode("latin-1"), flush=True)
            connection.sendall(b"1")
        connection.close()
)";
};

// Sets an environment variable for the life of the object.
class ScopedVariable
{
public:
    ScopedVariable(const char* name, const QByteArray& value)
        : m_name(name), m_previous(qgetenv(name)), m_hadPrevious(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~ScopedVariable()
    {
        if (m_hadPrevious)
            qputenv(m_name, m_previous);
        else
            qunsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    QByteArray m_previous;
    bool m_hadPrevious;
};

class SingleInstanceTest : public AppWindowsFixture
{
protected:
    // The user's runtime folder and the machine's shared temporary folder,
    // both of the test's own: no Corvaline of the person running the tests is
    // reached, and another user's names go away with the test.
    void SetUp() override
    {
        AppWindowsFixture::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(runtimeDir.isValid() && sharedTemp.isValid());
        ASSERT_EQ(::chmod(QFile::encodeName(sharedTemp.path()).constData(), 01777), 0);
        runtime = std::make_unique<ScopedVariable>("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
        temp = std::make_unique<ScopedVariable>("TMPDIR", QFile::encodeName(sharedTemp.path()));
    }
    void TearDown() override
    {
        temp.reset();
        runtime.reset();
        AppWindowsFixture::TearDown();
    }

    // Where the first instance listens: found by listening there a moment.
    static QString instancePath()
    {
        SingleInstance probe{0};
        return probe.listen() ? probe.findChild<QLocalServer*>()->fullServerName() : QString();
    }
    // The same name in the shared temporary folder, open to every local user.
    static QString sharedPath() { return QDir::temp().filePath(SingleInstance::serverName()); }

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
        socket.connectToServer(instance.findChild<QLocalServer*>()->fullServerName());
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

    QTemporaryDir runtimeDir;
    QTemporaryDir sharedTemp;
    std::unique_ptr<ScopedVariable> runtime;
    std::unique_ptr<ScopedVariable> temp;
    // A first instance whose start is long over: a start without a link runs
    // beside it.
    SingleInstance instance{0};
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
    // The second instance finds the first one's lock held, asks it once
    // whether it is still starting, and runs on its own.
    ASSERT_TRUE(second.catchesTermination());
    ASSERT_TRUE(testsupport::waitFor([&] { return connections > 0; }, ProcessBoundMs));
    testsupport::spinEventLoop(500);
    EXPECT_EQ(second.process.state(), QProcess::Running);
    EXPECT_EQ(connections, 1);
    EXPECT_TRUE(received.isEmpty());
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
    const QString path = instancePath();
    ASSERT_FALSE(path.isEmpty());
    {
        ProgramProcess crashed({});
        ASSERT_TRUE(crashed.started());
        ASSERT_TRUE(crashed.catchesTermination());
        // Listening comes a moment after the handler: wait until the name answers.
        ASSERT_TRUE(testsupport::waitFor(
            [&] {
                QLocalSocket probe;
                probe.connectToServer(path);
                return probe.waitForConnected(200);
            },
            ProcessBoundMs));
        crashed.process.kill();
        ASSERT_TRUE(crashed.finished());
    }
    QLocalSocket nobody;
    nobody.connectToServer(path);
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
    const QString path = instancePath();
    ASSERT_FALSE(path.isEmpty());
    QLocalServer stuck;
    ASSERT_TRUE(stuck.listen(path));
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

TEST_F(SingleInstanceTest, StartWithoutALinkAtTheSameMomentAsALinksStart_EndsInOneInstanceWithTheLink)
{
    // The program started from the desktop's menu as a link is clicked:
    // whichever of the two starts takes the lock, one instance remains, and it
    // has the link. This process makes the link's start as the program does.
    form3->Check_codea->setChecked(false);
    form3->Check_0->setChecked(false);
    form3->Check_masque->setChecked(false);
    int linkStartWon = 0;
    int plainStartWon = 0;
    for (int round = 0; round < 30; ++round) {
        const QString number = QStringLiteral("06%1").arg(round, 8, 10, QLatin1Char('0'));
        const QByteArray link = "numero:" + number.toLatin1();
        form5->Edit1->clear();
        ProgramProcess plain({});
        ASSERT_TRUE(plain.started());
        // Every other round the link's start comes as the other one is about
        // to take the lock.
        if (round % 2 == 1) {
            ASSERT_TRUE(plain.catchesTermination());
        }
        SingleInstance linkStart;
        QObject::connect(&linkStart, &SingleInstance::textReceived, form1, &TForm1::receiveForwardedText);
        bool handedOver = SingleInstance::forward(link);
        if (!handedOver && linkStart.listen()) {
            form1->receiveForwardedText(link);
            ASSERT_TRUE(plain.finished()) << "round " << round << ": the start without a link runs beside it";
            EXPECT_EQ(plain.process.exitCode(), 0) << "round " << round;
            EXPECT_EQ(form5->Edit1->text(), number) << "round " << round;
            ++linkStartWon;
        } else {
            if (!handedOver)
                handedOver = SingleInstance::forward(link, 10000, true);
            EXPECT_TRUE(handedOver) << "round " << round;
            EXPECT_FALSE(linkStart.isListening()) << "round " << round;
            EXPECT_EQ(plain.process.state(), QProcess::Running) << "round " << round;
            ++plainStartWon;
        }
    }
    RecordProperty("linkStartWon", linkStartWon);
    RecordProperty("plainStartWon", plainStartWon);
    EXPECT_GT(linkStartWon, 0);
}

// Another local user's process may make the names first. The tests play it
// under the user id of nobody, which only root can switch to.
class OtherLocalUserTest : public SingleInstanceTest
{
protected:
    void SetUp() override
    {
        if (geteuid() != 0) {
            GTEST_SKIP() << "playing another local user needs root, to switch to the user id of nobody";
        }
        SingleInstanceTest::SetUp();
    }

    // The program, started with a link, has become the running instance:
    // links reach it.
    static bool takesLinks(ProgramProcess& program)
    {
        return program.catchesTermination() &&
               testsupport::waitFor([] { return SingleInstance::forward("numero:01", 1000); }, ProcessBoundMs) &&
               program.process.state() == QProcess::Running;
    }
};

TEST_F(OtherLocalUserTest, NamesMadeFirstInTheSharedTemporaryFolder_GetNoLink)
{
    OtherUserProcess squatter({QStringLiteral("listen"), sharedPath()});
    ASSERT_TRUE(squatter.printed("ready"));
    listenAsFirstInstance();
    ProgramProcess link({QStringLiteral("numero:0611223344")});
    ASSERT_TRUE(link.started());
    ASSERT_TRUE(link.finished());
    EXPECT_EQ(link.process.exitCode(), 0);
    EXPECT_EQ(received, QByteArrayList{"numero:0611223344"});
    EXPECT_EQ(form5->Edit1->text(), QStringLiteral("0611223344"));
    EXPECT_FALSE(squatter.outputSoFar().contains("received:"));
}

TEST_F(OtherLocalUserTest, LinkWithOnlyAnotherUsersListenerAtTheSharedNames_StartsTheProgram)
{
    OtherUserProcess squatter({QStringLiteral("listen"), sharedPath()});
    ASSERT_TRUE(squatter.printed("ready"));
    ProgramProcess link({QStringLiteral("numero:0611223344")});
    ASSERT_TRUE(link.started());
    EXPECT_TRUE(takesLinks(link)) << "the link's start ended as if the link had been taken";
    EXPECT_FALSE(squatter.outputSoFar().contains("received:"));
}

TEST_F(OtherLocalUserTest, ListenerOfAnotherUserAtTheProgramsOwnName_IsNotTrusted)
{
    const QString path = instancePath();
    ASSERT_FALSE(path.isEmpty());
    // Made where another user may, then moved under the name by root: the
    // program must not rely on the folder alone.
    const QString elsewhere = QDir(sharedTemp.path()).filePath(QStringLiteral("elsewhere/socket"));
    OtherUserProcess squatter({QStringLiteral("listen"), elsewhere});
    ASSERT_TRUE(squatter.printed("ready"));
    ASSERT_EQ(::rename(QFile::encodeName(elsewhere).constData(), QFile::encodeName(path).constData()), 0);
    ProgramProcess link({QStringLiteral("numero:0611223344")});
    ASSERT_TRUE(link.started());
    EXPECT_TRUE(takesLinks(link)) << "the link's start ended as if the link had been taken";
    EXPECT_FALSE(squatter.outputSoFar().contains("received:"));
}

TEST_F(OtherLocalUserTest, LinkSentByAnotherUser_IsNotTaken)
{
    listenAsFirstInstance();
    const QString path = instance.findChild<QLocalServer*>()->fullServerName();
    // Opened up, so that the other user reaches the socket at all.
    const QString folder = QFileInfo(path).absolutePath();
    if (!(QFile::permissions(folder) & QFileDevice::ExeOther)) {
        ASSERT_TRUE(QFile::setPermissions(folder, QFile::permissions(folder) | QFileDevice::ExeOther));
    }
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0777), 0);
    OtherUserProcess sender({QStringLiteral("send"), path, QStringLiteral("numero:0611223344")});
    ASSERT_TRUE(testsupport::waitFor([&] { return sender.process.state() == QProcess::NotRunning; }, ProcessBoundMs));
    const QByteArray said = sender.outputSoFar();
    ASSERT_TRUE(said.startsWith("answer:") || said.startsWith("closed")) << said.constData();
    EXPECT_EQ(said.trimmed(), QByteArray("closed"));
    EXPECT_TRUE(received.isEmpty());
    EXPECT_FALSE(form5->isVisible());
}

TEST_F(OtherLocalUserTest, OwnFolderMadeFirstByAnotherUser_IsRefusedAndTheFailureIsReported)
{
    // Without a runtime folder the names go into a folder of the user's own in
    // the shared temporary folder; another user has made one under its name.
    ScopedVariable noRuntimeFolder("XDG_RUNTIME_DIR", QByteArray());
    const QString folder = QDir::temp().filePath(QStringLiteral("corvaline-%1").arg(geteuid()));
    OtherUserProcess squatter({QStringLiteral("listen"), QDir(folder).filePath(SingleInstance::serverName())});
    ASSERT_TRUE(squatter.printed("ready"));
    ProgramProcess link({QStringLiteral("numero:0611223344")}, QProcess::ForwardedOutputChannel);
    ASSERT_TRUE(link.started());
    QByteArray errors;
    EXPECT_TRUE(testsupport::waitFor(
        [&] {
            errors += link.process.readAllStandardError();
            return errors.contains("Erreur InstanceUnique");
        },
        ProcessBoundMs))
        << errors.constData();
    EXPECT_TRUE(errors.contains(QFile::encodeName(folder))) << errors.constData();
    // It runs all the same, as an instance of its own with the link.
    EXPECT_TRUE(link.catchesTermination());
    EXPECT_EQ(link.process.state(), QProcess::Running);
    EXPECT_FALSE(squatter.outputSoFar().contains("received:"));
}

TEST_F(SingleInstanceTest, ForwardWithoutAFirstInstance_Fails)
{
    EXPECT_FALSE(SingleInstance::forward("numero:01", 2000));
}

} // namespace
