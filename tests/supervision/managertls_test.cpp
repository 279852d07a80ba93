#include "net/wsocket.h"
#include "supervision/managertls.h"

#include <gtest/gtest.h>

namespace {

struct PortProposal
{
    bool tls;
    const char* current;
    const char* proposed;
};

class ManagerPortProposal : public testing::TestWithParam<PortProposal>
{
};

TEST_P(ManagerPortProposal, FollowsTheBoxOnlyFromTheOtherModesUsualPort)
{
    const PortProposal& c = GetParam();
    EXPECT_EQ(proposedManagerPort(c.tls, QString::fromLatin1(c.current)), QString::fromLatin1(c.proposed));
}

INSTANTIATE_TEST_SUITE_P(Ports, ManagerPortProposal,
                         testing::Values(PortProposal{true, "5038", "5039"}, PortProposal{false, "5039", "5038"},
                                         PortProposal{true, "6000", "6000"}, PortProposal{false, "6000", "6000"},
                                         PortProposal{true, "5039", "5039"}, PortProposal{false, "5038", "5038"}));

TEST(ManagerTlsSettings, SetsTlsAndTheCertificatesNameOnTheSocketAndClearsThemWhenOff)
{
    TWSocket socket;
    ManagerTlsSettings{true, QByteArrayLiteral("pbx.example")}.applyTo(socket);
    EXPECT_TRUE(socket.Tls());
    EXPECT_EQ(socket.TlsHostName(), QByteArrayLiteral("pbx.example"));
    ManagerTlsSettings{false, QByteArrayLiteral("pbx.example")}.applyTo(socket);
    EXPECT_FALSE(socket.Tls());
    EXPECT_TRUE(socket.TlsHostName().isEmpty());
}

} // namespace
