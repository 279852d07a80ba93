// The list of live channels that follows a login: complete only at the end
// that answers the console's own Status action.
#include "supervision/livechannellist.h"

#include <gtest/gtest.h>

namespace {

QByteArray status(const char* channel, const char* key, const char* actionId = "corvaline-status")
{
    return QByteArray("Event: Status\r\nChannel: ") + channel + "\r\nUniqueid: " + key + "\r\nActionID: " + actionId +
           "\r\n\r\n";
}

QByteArray complete(const char* actionId = "corvaline-status")
{
    return QByteArray("Event: StatusComplete\r\nItems: 1\r\nActionID: ") + actionId + "\r\n\r\n";
}

TEST(LiveChannelList, CompleteAtItsOwnEnd_EndsTheCardsItNeitherListsNorHearsOfMeanwhile)
{
    LiveChannelList list;
    EXPECT_FALSE(list.read(status("SIP/100-01", "1.1") + complete())) << "nothing was asked";

    list.requested({"1.1", "1.2", "1.3"});
    EXPECT_FALSE(list.read(status("SIP/100-01", "1.1")));
    EXPECT_FALSE(list.read(complete("someone-else")));
    // A call reported while the list comes in is live too.
    EXPECT_FALSE(list.read("Event: Newchannel\r\nChannel: PJSIP/100-02\r\nUniqueid: 1.2\r\n\r\n"));
    EXPECT_TRUE(list.read(complete()));
    EXPECT_EQ(list.endedKeys(), QByteArrayList{"1.3"});
    EXPECT_FALSE(list.read(complete())) << "one list per request";

    list.requested({"1.1"});
    EXPECT_TRUE(list.read(complete()));
    EXPECT_EQ(list.endedKeys(), QByteArrayList{"1.1"}) << "an empty list ends every card it was asked for";
}

TEST(LiveChannelList, CardOfSeveralDevices_LivesWhileAnyOfItsLegsIsListed)
{
    // Card 1.1 keyed by the device that rang first and went; 1.2 talks.
    const auto otherLegs = [](const QByteArray& card) {
        return card == "1.1" ? QByteArrayList{"1.2"} : QByteArrayList();
    };
    LiveChannelList list;
    list.requested({"1.1", "1.5"}, otherLegs);
    EXPECT_TRUE(list.read(status("PJSIP/300B-02", "1.2") + complete()));
    EXPECT_EQ(list.endedKeys(), QByteArrayList{"1.5"});
}

TEST(LiveChannelList, ErrorAnswerOrClosedSession_EndTheWaitWithoutAList)
{
    LiveChannelList list;
    list.requested({"1.1"});
    EXPECT_FALSE(list.read("Response: Error\r\nActionID: corvaline-status\r\nMessage: Permission denied\r\n\r\n"));
    EXPECT_FALSE(list.read(complete()));

    list.requested({"1.1"});
    list.reset();
    EXPECT_FALSE(list.read(complete()));
}

} // namespace
