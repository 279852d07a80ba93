#include "supervision/managersessionstatus.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using State = ManagerSessionState;

struct Sequence
{
    const char* name;
    std::vector<State> reported;
    State shown;
    const char* toolTip;
    bool encrypted = false;
};

class SessionStatus : public ::testing::TestWithParam<Sequence>
{
};

TEST_P(SessionStatus, ShowsTheStateThatSaysTheMost)
{
    ManagerSessionStatus status;
    for (State state : GetParam().reported)
        status.update(state, QStringLiteral("pbx.example"), GetParam().encrypted);
    EXPECT_EQ(status.state(), GetParam().shown);
    EXPECT_EQ(status.toolTip(), QString::fromUtf8(GetParam().toolTip));
}

INSTANTIATE_TEST_SUITE_P(
    Reports, SessionStatus,
    ::testing::Values(Sequence{"LoggedIn", {State::LoggedIn}, State::LoggedIn, "Corvaline : connecté à pbx.example"},
                      Sequence{"Refused", {State::Refused}, State::Refused, "Corvaline : accès refusé par pbx.example"},
                      Sequence{"RefusedThenClosed",
                               {State::Refused, State::Disconnected},
                               State::Refused,
                               "Corvaline : accès refusé par pbx.example"},
                      Sequence{"LoggedInThenClosed",
                               {State::LoggedIn, State::Disconnected},
                               State::Disconnected,
                               "Corvaline : déconnecté de pbx.example"},
                      Sequence{"LoggedInOverTls",
                               {State::LoggedIn},
                               State::LoggedIn,
                               "Corvaline : connecté à pbx.example (chiffrée)",
                               true},
                      Sequence{"LoggedInOverTlsThenClosed",
                               {State::LoggedIn, State::Disconnected},
                               State::Disconnected,
                               "Corvaline : déconnecté de pbx.example",
                               true},
                      Sequence{"RefusedThenLoggedIn",
                               {State::Refused, State::Disconnected, State::LoggedIn},
                               State::LoggedIn,
                               "Corvaline : connecté à pbx.example"}),
    [](const ::testing::TestParamInfo<Sequence>& info) { return std::string(info.param.name); });

TEST(SessionStatusBeforeAnyReport, IsDisconnectedWithoutAPbx)
{
    const ManagerSessionStatus status;
    EXPECT_EQ(status.state(), State::Disconnected);
    EXPECT_EQ(status.toolTip(), QStringLiteral("Corvaline : déconnecté"));
}

} // namespace
