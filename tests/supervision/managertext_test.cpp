#include "supervision/managertext.h"
#include "supervision/managertextreader.h"

#include <gtest/gtest.h>

namespace {

TEST(ManagerText, CutIntoMessagesAtEmptyLines_TheLastOneMayEndWithTheText)
{
    const ManagerText text(QByteArrayLiteral("Response: Success\r\nMessage: ok\r\n\r\n"
                                             "Event: Hangup\r\nUniqueid:  1.1 \r\n\r\n"
                                             "Event: Newstate"));
    const QList<ManagerMessage>& messages = text.messages();
    ASSERT_EQ(messages.size(), 3);
    EXPECT_EQ(messages.at(0).header("response"), "Success") << "names in any case";
    EXPECT_EQ(messages.at(1).header("Uniqueid"), "1.1") << "values trimmed";
    EXPECT_TRUE(messages.at(1).header("Response").isEmpty());
    EXPECT_EQ(messages.at(2).text(), "Event: Newstate");
    EXPECT_EQ(&text.messages(), &messages) << "cut once";
}

TEST(ManagerTextReader, BlocksCutAnywhere_AreHandedOverAsWholeMessagesWithoutNul)
{
    QByteArrayList handedOver;
    ManagerTextReader reader([&](const ManagerText& text) { handedOver.append(text.text()); });
    reader.read("Event: Hangup\r\nUnique");
    EXPECT_TRUE(handedOver.isEmpty());
    reader.read(QByteArrayLiteral("id: 1\0.1\r\n\r\nEvent: New"));
    reader.finish();
    EXPECT_EQ(handedOver, QByteArrayList({"Event: Hangup\r\nUniqueid: 1.1\r\n\r\n", "Event: New"}));
}

} // namespace
