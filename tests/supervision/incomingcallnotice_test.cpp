#include "supervision/incomingcallnotice.h"

#include <gtest/gtest.h>

namespace {

struct Caller
{
    const char* name;
    CallCardInfo call;
    const char* body;
};

class NoticeBody : public ::testing::TestWithParam<Caller>
{
};

TEST_P(NoticeBody, NamesTheCallerThenTheLine)
{
    EXPECT_EQ(IncomingCallNotice::body(GetParam().call), QString::fromUtf8(GetParam().body));
}

INSTANTIATE_TEST_SUITE_P(
    Callers, NoticeBody,
    ::testing::Values(Caller{"Listed", {"k", "0612", "0491", "L\xe9on", "Accueil", false}, "Léon\nLigne : Accueil"},
                      Caller{"Unlisted", {"k", "0612", "0491", "", "0491", false}, "0612\nLigne : 0491"},
                      Caller{"Hidden", {"k", "", "", "", "", false}, "Numéro inconnu"}),
    [](const ::testing::TestParamInfo<Caller>& info) { return std::string(info.param.name); });

} // namespace
