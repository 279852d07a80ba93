// A modern manager sends the caller's name in UTF-8: the card shows it as
// written, and the card's data and the journal keep the bytes the manager sent.
#include "corvalinefixture.h"

#include "gui/mainwindow.h"
#include "control.h"
#include "gui/callcard.h"
#include "waitfor.h"

#include <QPushButton>

namespace {

using Utf8CallerName = CorvalineOnLoopback;

// "Hélène" as Asterisk 12 and later write it.
const QByteArray Helene = QByteArrayLiteral("H\xC3\xA9l\xC3\xA8ne");

TEST_F(Utf8CallerName, ModernMode_TheCardShowsTheNameAsWritten)
{
    dataDir.write(QStringLiteral("utf8-call.txt"), "Event: Newchannel\r\n"
                                                   "Privilege: call,all\r\n"
                                                   "Channel: SIP/100-00000001\r\n"
                                                   "ChannelState: 5\r\n"
                                                   "ChannelStateDesc: Ringing\r\n"
                                                   "CallerIDNum: 100\r\n"
                                                   "CallerIDName: Poste 100\r\n"
                                                   "ConnectedLineNum: 0611223344\r\n"
                                                   "ConnectedLineName: " +
                                                       Helene +
                                                       "\r\n"
                                                       "Uniqueid: 1700000000.1\r\n"
                                                       "\r\n");
    startSimulator({QStringLiteral("--style"), QStringLiteral("modern"), QStringLiteral("--replay"),
                    dataDir.filePath(QStringLiteral("utf8-call.txt"))});
    writeSettings(false, {"mode_as=Moderne"});
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    ASSERT_TRUE(waitForCards(1));

    EXPECT_EQ(control<QPushButton>(onlyCard(), "SpeedButton4")->text(), QStringLiteral("0611223344 / Hélène"));
    EXPECT_EQ(onlyCard()->sdaValue(), Helene);
    EXPECT_TRUE(journal().contains("ConnectedLineName: " + Helene + "\r\n"));
}

} // namespace
