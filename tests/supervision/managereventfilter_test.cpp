#include "supervision/livechannellist.h"
#include "supervision/managereventfilter.h"

#include <gtest/gtest.h>

namespace {

const QByteArray filtersFor100 =
    "Action: Filter\r\nActionID: corvaline-filter-1\r\nOperation: Add\r\nFilter: Channel: (SIP|PJSIP)/100-\r\n\r\n"
    "Action: Filter\r\nActionID: corvaline-filter-2\r\nOperation: Add\r\nFilter: ActionID: corvaline-\r\n\r\n"
    "Action: Filter\r\nActionID: corvaline-filter-3\r\nOperation: Add\r\n"
    "Filter: !^Event: (VarSet|Newexten|RTCPSent|RTCPReceived)[[:space:]]\r\n\r\n";

TEST(ManagerEventFilter, ActionsLetThroughThePhonesChannelsAndTheProgramsOwnAnswers)
{
    ManagerEventFilter filter;
    EXPECT_EQ(filter.actionsText("100"), filtersFor100);
    EXPECT_TRUE(LiveChannelList::ActionId.startsWith(ManagerEventFilter::OwnActionIdPrefix))
        << "the live channel list passes the filter";
    EXPECT_TRUE(ManagerEventFilter::callEventsText().contains("ActionID: corvaline-"));
}

TEST(ManagerEventFilter, ExtensionAndTechnologiesAreMatchedAsTyped)
{
    ManagerEventFilter filter({QByteArrayLiteral("PJSIP")});
    EXPECT_TRUE(filter.actionsText("1.0(2)*").contains("Filter: Channel: (PJSIP)/1\\.0\\(2\\)\\*-\r\n"));
    EXPECT_EQ(ManagerEventFilter::literalPattern(".[]()*+?{}|^$\\a"), "\\.\\[\\]\\(\\)\\*\\+\\?\\{\\}\\|\\^\\$\\\\a");
}

struct AnswerCase
{
    const char* name;
    QByteArrayList answers; // handed over one after the other
    bool callEventsAsked;
};

class FilterAnswers : public ::testing::TestWithParam<AnswerCase>
{
};

TEST_P(FilterAnswers, AskForCallEventsAloneOnceTheManagerRefusesAFilter)
{
    ManagerEventFilter filter;
    filter.actionsText("100");
    QByteArrayList asked;
    for (const QByteArray& answer : GetParam().answers) {
        if (const QByteArray text = filter.read(answer); !text.isEmpty())
            asked.append(text);
    }
    EXPECT_EQ(asked,
              GetParam().callEventsAsked ? QByteArrayList{ManagerEventFilter::callEventsText()} : QByteArrayList{});
}

const QByteArray success = "Response: Success\r\nActionID: corvaline-filter-1\r\nMessage: Success\r\n\r\n";
const QByteArray denied = "Response: Error\r\nActionID: corvaline-filter-1\r\nMessage: Permission denied\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, FilterAnswers,
    ::testing::Values(AnswerCase{"AllAccepted", {success + success, success}, false},
                      AnswerCase{"PermissionDenied_AskedOnceForAllThreeRefusals", {denied, denied + denied}, true},
                      AnswerCase{"UnknownAction",
                                 {"Response: Error\r\nActionID: corvaline-filter-2\r\n"
                                  "Message: Invalid/unknown command\r\n\r\n"},
                                 true},
                      AnswerCase{"OtherAnswersAndEvents_AreNotTheFiltersAnswers",
                                 {"Response: Error\r\nActionID: corvaline-status\r\nMessage: Permission denied\r\n\r\n"
                                  "Event: RequestNotAllowed\r\nActionID: corvaline-filter-1\r\n\r\n"},
                                 false},
                      AnswerCase{"RefusalAfterAllAnswered_IsNotAwaited", {success, success, success, denied}, false}),
    [](const ::testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

TEST(ManagerEventFilter, NewSession_AwaitsNothing)
{
    ManagerEventFilter filter;
    filter.actionsText("100");
    filter.reset();
    EXPECT_TRUE(filter.read(denied).isEmpty());
}

} // namespace
