#include "supervision/manageraction.h"

#include <gtest/gtest.h>

TEST(ManagerAction, FramesHeadersAndClosesWithEmptyLine)
{
    const QByteArray text = ManagerAction("Hangup").header("Channel", "SIP/100-0a").text();
    EXPECT_EQ(text, QByteArray("Action: Hangup\r\nChannel: SIP/100-0a\r\n\r\n"));
}

TEST(ManagerAction, EmptyValueStillSendsTheHeader)
{
    const QByteArray text = ManagerAction("Login").header("UserName", "").header("Secret", "").text();
    EXPECT_EQ(text, QByteArray("Action: Login\r\nUserName: \r\nSecret: \r\n\r\n"));
}

TEST(ManagerAction, LineBreaksInValuesCannotInjectHeadersOrActions)
{
    const QByteArray hostile = "0123\r\n\r\nAction: Originate\r\nChannel: SIP/666\n";
    const QByteArray text = ManagerAction("Redirect").header("Exten", hostile).header("Priority", "1").text();
    EXPECT_EQ(text,
              QByteArray("Action: Redirect\r\nExten: 0123Action: OriginateChannel: SIP/666\r\nPriority: 1\r\n\r\n"));
    EXPECT_EQ(text.count("\r\n\r\n"), 1);
}

TEST(ManagerAction, OtherBytesPassUnchanged)
{
    const QByteArray cp1252 = "Fran\xe7ois \x80 \t x";
    EXPECT_EQ(ManagerAction("Originate").header("CallerId", cp1252).text(),
              QByteArray("Action: Originate\r\nCallerId: ") + cp1252 + "\r\n\r\n");
}
