// Logging in to a real Asterisk's manager, with a plain secret or an MD5
// challenge, and a refused login.
#include "realpbxfixture.h"

#include "gui/callcard.h"
#include "gui/mainwindow.h"
#include "gui/managerconsole.h"
#include "net/tncnx.h"
#include "waitfor.h"

namespace {

struct Login
{
    const char* name;
    bool md5;
    const char* secret;
    bool accepted;
};

void PrintTo(const Login& login, std::ostream* out)
{
    *out << login.name;
}

const Login logins[] = {
    {"Plain", false, "demo", true},
    {"Md5", true, "demo", true},
    {"PlainWrongSecret", false, "faux", false},
    {"Md5WrongSecret", true, "faux", false},
};

class ManagerLogins : public RealPbx, public ::testing::WithParamInterface<Login>
{
};

TEST_P(ManagerLogins, TheConsoleAndThePbxAgreeOnTheSession)
{
    const Login& login = GetParam();
    ASSERT_NO_FATAL_FAILURE(openWindows(login.md5, {QByteArray("secret_as=") + login.secret}));
    form1->Timer1Timer();

    // Only an MD5 login asks for a challenge.
    if (login.accepted) {
        ASSERT_TRUE(waitForLoggedIn());
        EXPECT_TRUE(form2->TnCnx->SessionOpen());
        EXPECT_EQ(form1->findCallCard(TFrame4::DisconnectionKey), nullptr);
        EXPECT_TRUE(testsupport::waitFor([&] { return pbxListsTheManagerSession(); }));
    } else {
        ASSERT_TRUE(waitForReceived("Message: Authentication failed\r\n"));
        ASSERT_TRUE(testsupport::waitFor([&] { return !form2->TnCnx->SessionOpen(); }));
        const TFrame4* card = form1->findCallCard(TFrame4::DisconnectionKey);
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(card->sdaValue(), QByteArrayLiteral("/ Attention Acc\xe8s refus\xe9"));
        EXPECT_TRUE(memo().contains(QStringLiteral("*** CONNEXION REFUSEE ***")));
        EXPECT_TRUE(testsupport::waitFor([&] { return pbx->log().contains("failed to authenticate as 'demo'"); }))
            << pbx->log().right(2000).constData();
        EXPECT_FALSE(pbxListsTheManagerSession());
    }
    EXPECT_EQ(received.contains("Challenge: "), login.md5);
}

INSTANTIATE_TEST_SUITE_P(Logins, ManagerLogins, ::testing::ValuesIn(logins),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
