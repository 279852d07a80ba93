// The real program, asked to end while its start-up download of the name
// lists is held open by an agenda server that sends one byte a second: the
// termination request ends the download at once and the program closes as
// its close box would.
#include "httpserverprocess.h"
#include "tempdatafolder.h"
#include "waitfor.h"

#include <QProcess>
#include <QTcpServer>

#include <csignal>
#include <gtest/gtest.h>

namespace {

constexpr int ProcessBoundMs = 30000;

TEST(TerminationDuringDownload, SigtermEndsTheProgramWhileTheAgendaTrickles)
{
    TempDataFolder folder;
    ASSERT_TRUE(folder.isValid());
    HttpServerProcess agenda;
    ASSERT_TRUE(agenda.start());
    // No manager answers: the start-up goes straight on to the name lists.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QByteArray managerPort = QByteArray::number(closed.serverPort());
    closed.close();
    ASSERT_TRUE(folder.write(QStringLiteral("serie.ini"), "[Form2]\nHostEdit_as=127.0.0.1\nPortEdit_as=" + managerPort +
                                                              "\n[Form3]\nadresse_ob=" + agenda.url("/trickle") +
                                                              "\n"));

    QProcess program;
    program.setProgram(QStringLiteral(CORVALINE_BINARY));
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start();
    ASSERT_TRUE(program.waitForStarted(ProcessBoundMs));
    ASSERT_TRUE(agenda.waitForRequest("/trickle/cgi-bin/synchro/iccc.pl", ProcessBoundMs));

    ::kill(program.processId(), SIGTERM);
    const bool ended = testsupport::waitFor([&] { return program.state() == QProcess::NotRunning; }, ProcessBoundMs);
    if (!ended) {
        program.kill();
        program.waitForFinished(5000);
    }
    ASSERT_TRUE(ended) << "the download kept the program alive";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    // Closed as by its close box: the settings were written on the way out.
    EXPECT_TRUE(folder.read(QStringLiteral("serie.ini")).contains("\nedit_3651=3651\n"));
}

} // namespace
