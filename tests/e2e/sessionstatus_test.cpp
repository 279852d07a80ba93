// What the tray shows of the manager session follows the real console against
// the real simulator: refused, still refused once the manager closes, logged
// in once the secret is right, disconnected when the PBX goes away.
#include "corvalinefixture.h"

#include "gui/desktopintegration.h"
#include "gui/mainwindow.h"
#include "control.h"
#include "net/tncnx.h"
#include "gui/managerconsole.h"
#include "waitfor.h"

#include <QLineEdit>

namespace {

class SessionStatus : public CorvalineOnLoopback
{
protected:
    bool shows(ManagerSessionState state, const char* toolTip) const
    {
        const ManagerSessionStatus& status = windows->desktop()->sessionStatus();
        return status.state() == state && status.toolTip() == QString::fromUtf8(toolTip);
    }
};

TEST_F(SessionStatus, FollowsRefusedThenLoggedInThenDisconnected)
{
    startSimulator();
    writeSettings(false, {"secret_as=faux"});
    createWindows();
    EXPECT_TRUE(shows(ManagerSessionState::Disconnected, "Corvaline : déconnecté"));

    form1->Timer1Timer();
    ASSERT_TRUE(waitForReceived("Message: Authentication failed\r\n"));
    ASSERT_TRUE(testsupport::waitFor([&] { return !form2->TnCnx->SessionOpen(); }));
    EXPECT_TRUE(shows(ManagerSessionState::Refused, "Corvaline : accès refusé par 127.0.0.1"));

    control<QLineEdit>(form2, "secret_as")->setText(QString::fromLatin1(Secret));
    form2->Timer1Timer();
    ASSERT_TRUE(waitForLoggedIn());
    EXPECT_TRUE(shows(ManagerSessionState::LoggedIn, "Corvaline : connecté à 127.0.0.1"));

    ASSERT_TRUE(simulator->kill());
    EXPECT_TRUE(testsupport::waitFor(
        [&] { return shows(ManagerSessionState::Disconnected, "Corvaline : déconnecté de 127.0.0.1"); }));
}

} // namespace
