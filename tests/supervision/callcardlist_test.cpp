#include "supervision/callcardlist.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace {

QByteArray describe(const CallCardList& list)
{
    QByteArray text;
    for (const CallCard& card : list.cards())
        text += card.key + (card.answered ? "=answered(" : "=ringing(") + card.number + ',' + card.sda + ',' +
                card.channel + ") ";
    return text;
}

TEST(CallCardListRules, SecondCardForAKey_IsIgnored)
{
    CallCardList list;
    list.AddRingingCard("1", "a", "k", "c");
    list.AddRingingCard("2", "b", "k", "d");
    list.ShowConnectedCall("3", "e", "k", "f");
    EXPECT_EQ(describe(list), QByteArrayLiteral("k=answered(1,a,c) "));
}

TEST(CallCardListRules, ShowConnectedCall_AddsAnsweredCardForUnknownKey)
{
    CallCardList list;
    list.AddRingingCard("1", "a", "k1", "c");
    list.ShowConnectedCall("2", "b", "k2", "d");
    EXPECT_EQ(describe(list), QByteArrayLiteral("k1=ringing(1,a,c) k2=answered(2,b,d) "));
}

TEST(CallCardListRules, OpenCallerAgenda_MarksExistingCard_IgnoresUnknownKey)
{
    CallCardList list;
    list.AddRingingCard("1", "a", "k1", "c");
    list.OpenCallerAgenda("k2");
    EXPECT_EQ(describe(list), QByteArrayLiteral("k1=ringing(1,a,c) "));
    list.OpenCallerAgenda("k1");
    EXPECT_EQ(describe(list), QByteArrayLiteral("k1=answered(1,a,c) "));
}

TEST(CallCardListRules, RemoveCallCard_RemovesOnlyThatKey_KeepsCreationOrder)
{
    CallCardList list;
    list.AddRingingCard("1", "", "k1", "");
    list.AddRingingCard("2", "", "k2", "");
    list.AddRingingCard("3", "", "k3", "");
    list.RemoveCallCard("k2");
    list.RemoveCallCard("k2");
    list.RemoveCallCard("unknown");
    EXPECT_EQ(describe(list), QByteArrayLiteral("k1=ringing(1,,) k3=ringing(3,,) "));
    EXPECT_FALSE(list.HasCallCard("k2"));
    EXPECT_TRUE(list.HasCallCard("k3"));
}

} // namespace
