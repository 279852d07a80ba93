#include "cardrecorder.h"
#include "control.h"
#include "gui/managerconsole.h"
#include "tempdatafolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QByteArray ringing = QByteArrayLiteral("Event: Newstate\r\nChannel: SIP/100-1\r\nChannelState: 5\r\n"
                                             "ConnectedLineNum: 201\r\nUniqueid: 1.1\r\n\r\n");
const QByteArray hangup = QByteArrayLiteral("Event: Hangup\r\nChannel: SIP/100-2\r\nUniqueid: 2.2\r\n\r\n");

// The console in classic mode, with its journal in a folder of its own and the
// recorder as the main window's card list.
class ConsoleReceive : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dataDir.isValid());
        console = std::make_unique<TForm2>();
        console->callCards = &cards;
        console->poste_as->setText(QStringLiteral("100"));
        control<QComboBox>(console.get(), "mode_as")->setCurrentText(QStringLiteral("Classique"));
    }
    void TearDown() override
    {
        // The console goes while its data folder is still the test's own.
        console.reset();
    }

    void deliver(const QByteArray& block) { console->TnCnxDataAvailable(nullptr, block.constData(), block.size()); }

    // The memo and the journal are brought up to date on the next turn of the
    // event loop.
    static void settle() { QCoreApplication::sendPostedEvents(); }

    QByteArray journalContents() const
    {
        settle();
        QFile file(console->journal.currentFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString memo() const
    {
        settle();
        return control<QPlainTextEdit>(console.get(), "DisplayMemo")->toPlainText();
    }

    TempDataFolder dataDir;
    CardRecorder cards;
    std::unique_ptr<TForm2> console;
};

TEST_F(ConsoleReceive, JournalOff_InterpretsButLeavesMemoEmptyAndWritesNoFile)
{
    control<QCheckBox>(console.get(), "journal_enre")->setChecked(false);
    control<QPlainTextEdit>(console.get(), "DisplayMemo")->setPlainText(QStringLiteral("previous"));
    deliver(ringing);
    EXPECT_EQ(cards.calls().size(), 2);
    EXPECT_TRUE(memo().isEmpty());
    settle();
    EXPECT_FALSE(QFile::exists(console->journal.currentFilePath()));
}

TEST_F(ConsoleReceive, JournalOn_ShowsOnlyTheLatestBlockAndJournalsEachBlock)
{
    control<QCheckBox>(console.get(), "journal_enre")->setChecked(true);
    deliver(ringing);
    deliver(hangup);
    EXPECT_EQ(memo(), QStringLiteral("Event: Hangup\nChannel: SIP/100-2\nUniqueid: 2.2\n\n"));
    EXPECT_EQ(journalContents(), ringing + "\r\n" + hangup + "\r\n");
}

TEST_F(ConsoleReceive, NulIsDroppedAndTheRestKept_NeverReadingPastLength)
{
    control<QCheckBox>(console.get(), "journal_enre")->setChecked(true);
    const QByteArray later = QByteArrayLiteral("Event: Hangup\r\nChannel: SIP/100-3\r\nUniqueid: 3.3\r\n\r\n");
    const QByteArray buffer = hangup + '\0' + later;
    console->TnCnxDataAvailable(nullptr, buffer.constData(), buffer.size());
    // A block without its NUL: only Len bytes count.
    console->TnCnxDataAvailable(nullptr, ringing.constData(), ringing.indexOf("Uniqueid"));
    EXPECT_EQ(cards.calls(),
              (QList<QByteArray>{QByteArrayLiteral("RemoveCallCard|2.2"), QByteArrayLiteral("RemoveCallCard|2.2"),
                                 QByteArrayLiteral("RemoveCallCard|3.3"), QByteArrayLiteral("RemoveCallCard|3.3")}));
    EXPECT_EQ(journalContents(), hangup + later + "\r\n");
}

TEST_F(ConsoleReceive, MessageCutAcrossBlocks_IsInterpretedWhole_AndAClosedSessionHandsOverTheRest)
{
    control<QCheckBox>(console.get(), "journal_enre")->setChecked(true);
    // Cut inside the key: each piece alone would make a card keyed "1." and
    // then a line "1" that matches nothing.
    const qsizetype cut = ringing.indexOf("1.1") + 2;
    deliver(ringing.left(cut));
    EXPECT_TRUE(cards.calls().isEmpty());
    deliver(ringing.mid(cut) + hangup.left(20));
    EXPECT_EQ(cards.calls().first(), QByteArrayLiteral("AddRingingCard|201||1.1|100-1"));
    EXPECT_EQ(journalContents(), ringing + "\r\n");

    console->TnCnxSessionClosed(nullptr, 0);
    EXPECT_EQ(journalContents(), ringing + "\r\n" + hangup.left(20) + "\r\n");
    // Nothing is left pending for the next session.
    deliver(hangup.mid(20));
    EXPECT_EQ(journalContents(), ringing + "\r\n" + hangup.left(20) + "\r\n" + hangup.mid(20) + "\r\n");
}

TEST_F(ConsoleReceive, ChallengeAndExtensionAreTakenFromTheConsole)
{
    console->poste_as->setText(QStringLiteral("200"));
    deliver(QByteArrayLiteral("Response: Success\r\nChallenge: 5551212\r\n\r\n") + hangup);
    EXPECT_EQ(console->ManagerChallenge, QByteArrayLiteral("5551212"));
    EXPECT_TRUE(cards.calls().isEmpty());
    console->poste_as->clear();
    deliver(hangup);
    EXPECT_EQ(cards.calls(),
              (QList<QByteArray>{QByteArrayLiteral("RemoveCallCard|2.2"), QByteArrayLiteral("RemoveCallCard|2.2")}));
}

TEST_F(ConsoleReceive, BlockDeliveredDuringCardCreation_MemoAndJournalInNestedOrder)
{
    control<QCheckBox>(console.get(), "journal_enre")->setChecked(true);
    bool delivered = false;
    cards.setAddRingingCardHook([&] {
        if (delivered)
            return;
        delivered = true;
        deliver(hangup);
    });
    deliver(ringing);

    EXPECT_EQ(cards.calls(),
              (QList<QByteArray>{QByteArrayLiteral("AddRingingCard|201||1.1|100-1"),
                                 QByteArrayLiteral("RemoveCallCard|2.2"), QByteArrayLiteral("RemoveCallCard|2.2"),
                                 QByteArrayLiteral("AddRingingCard|201||1.1|100-1")}));
    // The later block is shown and journaled first; the earlier one follows.
    EXPECT_EQ(memo(), QStringLiteral("Event: Hangup\nChannel: SIP/100-2\nUniqueid: 2.2\n\n\n"
                                     "Event: Newstate\nChannel: SIP/100-1\nChannelState: 5\nConnectedLineNum: 201\n"
                                     "Uniqueid: 1.1\n\n"));
    EXPECT_EQ(journalContents(), hangup + "\r\n" + ringing + "\r\n");
}

TEST_F(ConsoleReceive, UnwritableJournal_CardsAndMemoStillUpdated)
{
    control<QCheckBox>(console.get(), "journal_enre")->setChecked(true);
    ASSERT_TRUE(QDir().mkpath(console->journal.currentFilePath()));
    deliver(ringing);
    EXPECT_EQ(cards.calls().size(), 2);
    EXPECT_TRUE(memo().startsWith(QStringLiteral("Event: Newstate\n")));
}

TEST_F(ConsoleReceive, StatusText_JournaledWithPrefixAndShown_OnlyWhileJournalOn)
{
    const QByteArray status = QByteArrayLiteral("\r\n**** Remote has closed ****\r\n");
    control<QCheckBox>(console.get(), "journal_enre")->setChecked(false);
    console->TnCnxDisplay(nullptr, status);
    EXPECT_TRUE(memo().isEmpty());
    settle();
    EXPECT_FALSE(QFile::exists(console->journal.currentFilePath()));

    control<QCheckBox>(console.get(), "journal_enre")->setChecked(true);
    console->TnCnxDisplay(nullptr, status);
    EXPECT_EQ(journalContents(), QByteArrayLiteral("CGI \r\n") + status + "\r\n");
    EXPECT_TRUE(memo().contains(QStringLiteral("**** Remote has closed ****")));
}

TEST_F(ConsoleReceive, StatusTextWithUnwritableJournal_IsStillShown)
{
    control<QCheckBox>(console.get(), "journal_enre")->setChecked(true);
    ASSERT_TRUE(QDir().mkpath(console->journal.currentFilePath()));
    console->TnCnxDisplay(nullptr, QByteArrayLiteral("**** Remote has closed ****"));
    EXPECT_EQ(memo(), QStringLiteral("**** Remote has closed ****"));
}

} // namespace

namespace {

struct MemoOfAUtf8Name
{
    const char* mode;
    QString shownLine;
};

void PrintTo(const MemoOfAUtf8Name& memo, std::ostream* out)
{
    *out << memo.mode;
}

class ConsoleMemoDecoding : public ConsoleReceive, public ::testing::WithParamInterface<MemoOfAUtf8Name>
{
};

} // namespace

TEST_P(ConsoleMemoDecoding, Utf8NameShowsAsTheModeReadsIt_AndTheJournalKeepsTheBytes)
{
    control<QComboBox>(console.get(), "mode_as")->setCurrentText(QString::fromLatin1(GetParam().mode));
    control<QCheckBox>(console.get(), "journal_enre")->setChecked(true);
    const QByteArray named = QByteArrayLiteral("Event: Newchannel\r\nChannel: SIP/100-1\r\n"
                                               "ConnectedLineName: H\xC3\xA9l\xC3\xA8ne\r\nUniqueid: 1.1\r\n\r\n");
    deliver(named);
    EXPECT_TRUE(memo().split(u'\n').contains(GetParam().shownLine)) << memo().toStdString();
    EXPECT_EQ(journalContents(), named + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Modes, ConsoleMemoDecoding,
                         ::testing::Values(MemoOfAUtf8Name{"Moderne", QStringLiteral("ConnectedLineName: Hélène")},
                                           MemoOfAUtf8Name{"Classique", QStringLiteral("ConnectedLineName: HÃ©lÃ¨ne")}),
                         [](const ::testing::TestParamInfo<MemoOfAUtf8Name>& info) {
                             return std::string(info.param.mode);
                         });
