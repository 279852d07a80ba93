// A desk asks the manager for its own phone's events only, in modern mode;
// a manager user that may not filter gets asked for the call events alone.
#include "corvalinefixture.h"
#include "scriptedmanager.h"

#include "gui/mainwindow.h"
#include "gui/managerconsole.h"
#include "supervision/managereventfilter.h"
#include "waitfor.h"

namespace {

struct FilterCase
{
    const char* name;
    QByteArray mode;
    QByteArray filterAnswer; // the manager's Response to each Filter action
    bool filtersAsked;
    bool callEventsAsked;
};

class EventFilterRequest : public CorvalineOnLoopback, public ::testing::WithParamInterface<FilterCase>
{
protected:
    ScriptedManager manager;
};

TEST_P(EventFilterRequest, AfterTheLoginIsAccepted)
{
    manager.setAnswer([](const QByteArray& action) {
        if (!action.startsWith("Action: Filter\r\n"))
            return ScriptedManager::standardAnswer(action);
        const qsizetype id = action.indexOf("ActionID: ");
        return "Response: " + GetParam().filterAnswer + "\r\n" + action.mid(id, action.indexOf("\r\n", id) + 2 - id) +
               "\r\n";
    });
    writeSettings(false, {"mode_as=" + GetParam().mode}, manager.port());
    createWindows();
    ASSERT_TRUE(startUpAndLogIn());
    // Once the filters' answers are read, the keep-alive goes after whatever
    // they asked for.
    if (GetParam().filtersAsked) {
        ASSERT_TRUE(waitForReceived("ActionID: " + ManagerEventFilter::ActionIdPrefix, 3));
    }
    form2->Timer1Timer();
    ASSERT_TRUE(testsupport::waitFor([&] { return manager.received().contains("Action: Ping\r\n"); }));
    const QByteArray sent = manager.received();
    EXPECT_EQ(sent.contains(ManagerEventFilter().actionsText("100")), GetParam().filtersAsked);
    EXPECT_EQ(sent.count(ManagerEventFilter::callEventsText()), GetParam().callEventsAsked ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EventFilterRequest,
    ::testing::Values(FilterCase{"Modern_FilterAllowed", "Moderne", "Success\r\nMessage: Success", true, false},
                      FilterCase{"Modern_PermissionDenied_CallEventsAlone", "Moderne",
                                 "Error\r\nMessage: Permission denied", true, true},
                      FilterCase{"Classic_NeitherFilterNorEventMask", "Classique", "Success", false, false}),
    [](const ::testing::TestParamInfo<FilterCase>& info) { return std::string(info.param.name); });

} // namespace
