#include "supervision/callcardlist.h"

#include "config/namelist.h"

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

TEST(CallCardListRules, AThousandCards_AreFoundByKeyAndChannel_AndKeepTheirOrderThroughRemovals)
{
    CallCardList list;
    const auto key = [](int i) { return QByteArray("k") + QByteArray::number(i); };
    const auto channel = [](int i) { return QByteArray("100-") + QByteArray::number(i % 500); };
    for (int i = 0; i < 1000; ++i)
        list.AddRingingCard(QByteArray::number(i), "sda", key(i), channel(i));
    for (int i = 0; i < 1000; i += 3)
        list.ShowConnectedCall({}, {}, key(i), {});
    for (int i = 0; i < 1000; i += 2)
        list.RemoveCallCard(key(i));

    QByteArrayList expected;
    for (int i = 1; i < 1000; i += 2)
        expected.append(key(i));
    EXPECT_EQ(list.callCardKeys(), expected);
    ASSERT_EQ(list.cards().size(), 500u);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(list.HasCallCard(key(i)), i % 2 == 1) << i;
        if (i % 2 == 0)
            continue;
        const CallCard* card = list.find(key(i));
        ASSERT_NE(card, nullptr) << i;
        EXPECT_EQ(card->number, QByteArray::number(i));
        EXPECT_EQ(card->answered, i % 3 == 0) << i;
    }
    // Each channel carried two calls: the older one is found first, the newer
    // one once the older has gone.
    EXPECT_EQ(list.callCardKeyForChannel(channel(7)), key(7));
    EXPECT_EQ(list.callCardKeyForChannel(channel(0)), QByteArray());
    list.RemoveCallCard(key(7));
    EXPECT_EQ(list.callCardKeyForChannel(channel(7)), key(507));
    list.RemoveCallCard(key(507));
    EXPECT_EQ(list.callCardKeyForChannel(channel(7)), QByteArray());
    EXPECT_FALSE(list.HasCallCard(key(507)));
}

// What the list announces, each with the count of cards the listener finds.
class Announcements
{
public:
    explicit Announcements(const CallCardList& list)
    {
        QObject::connect(&list, &CallCardList::cardAdded, [this, &list](const CallCard& card) {
            seen.append("added " + card.key + (card.answered ? " answered " : " ringing ") + card.callerName + '/' +
                        card.lineLabel + ' ' + QByteArray::number(list.count()));
        });
        QObject::connect(&list, &CallCardList::cardAnswered, [this, &list](const QByteArray& key) {
            seen.append("answered " + key + ' ' + (list.find(key)->answered ? "found" : "not yet"));
        });
        QObject::connect(&list, &CallCardList::cardRemoved, [this, &list](const QByteArray& key) {
            seen.append("removed " + key + ' ' + QByteArray::number(list.count()));
        });
    }
    QByteArrayList seen;
};

TEST(CallCardListAnnouncements, EachRealChangeIsAnnouncedOnceItIsMade)
{
    CallCardList list;
    const Announcements announcements(list);
    list.AddRingingCard("1", "a", "k1", "c1");
    list.AddRingingCard("1", "a", "k1", "c1");
    list.ShowConnectedCall("1", "a", "k1", "c1");
    list.ShowConnectedCall("1", "a", "k1", "c1");
    list.OpenCallerAgenda("k1");
    list.ShowConnectedCall("2", "b", "k2", "c2");
    list.RemoveCallCard("k1");
    list.RemoveCallCard("k1");
    list.OpenCallerAgenda("unknown");
    EXPECT_EQ(announcements.seen,
              (QByteArrayList{"added k1 ringing /a 1", "answered k1 found", "added k2 answered /b 2", "removed k1 1"}));
}

TEST(CallCardListAnnouncements, CardsAreNamedFromTheListsWhenTheyAreCreated)
{
    NameList lines;
    NameList callers;
    lines.load("0140000000=Accueil\r\n");
    callers.load("0601020304=Dupont\r\n");
    CallCardList list;
    const Announcements announcements(list);
    list.setNameLists(&lines, &callers);
    list.AddRingingCard("0601020304", "0140000000", "k1", "c");
    list.AddRingingCard("0699999999", "0149999999", "k2", "c");
    callers.load("0699999999=Martin\r\n");
    list.ShowConnectedCall("0699999999", "0149999999", "k2", "c");
    EXPECT_EQ(announcements.seen, (QByteArrayList{"added k1 ringing Dupont/Accueil 1", "added k2 ringing /0149999999 2",
                                                  "answered k2 found"}));
    EXPECT_EQ(list.find("k1")->info().callerName, QByteArrayLiteral("Dupont"));
    EXPECT_FALSE(list.find("k1")->info().answered);
}

TEST(CallCardListAnnouncements, TheSessionsCardIsACardButNoCall)
{
    CallCardList list;
    const Announcements announcements(list);
    list.AddRingingCard({}, "/ Attention", CallCardList::DisconnectionKey, "00");
    list.AddRingingCard("1", "a", "k1", "c");
    EXPECT_EQ(announcements.seen.size(), 2);
    EXPECT_FALSE(list.find(CallCardList::DisconnectionKey)->isCall());
    EXPECT_TRUE(list.find("k1")->isCall());
}

} // namespace
