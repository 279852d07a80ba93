#include "corvalinefixture.h"

#include "control.h"
#include "gui/agendasettings.h"
#include "gui/applicationwindows.h"
#include "gui/callcard.h"
#include "gui/dialwindow.h"
#include "gui/mainwindow.h"
#include "gui/managerconsole.h"
#include "net/tncnx.h"
#include "waitfor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QPlainTextEdit>
#include <QTimer>

#include <algorithm>

QStringList OneScriptedCall(const char* style, const char* ringSeconds, const char* talkSeconds,
                            const char* firstCallSeconds)
{
    return {QStringLiteral("--calls"),
            QString::fromLatin1(style),
            QStringLiteral("--first-call"),
            QString::fromLatin1(firstCallSeconds),
            QStringLiteral("--ring-time"),
            QString::fromLatin1(ringSeconds),
            QStringLiteral("--talk-time"),
            QString::fromLatin1(talkSeconds),
            QStringLiteral("--call-interval"),
            QStringLiteral("60"),
            QStringLiteral("--calls-after-login")};
}

QByteArrayList ManagerBlocks(const QByteArray& text)
{
    QByteArrayList blocks;
    qsizetype from = 0;
    for (qsizetype end = text.indexOf("\r\n\r\n"); end >= 0; end = text.indexOf("\r\n\r\n", from)) {
        blocks.append(text.mid(from, end + 4 - from));
        from = end + 4;
    }
    return blocks;
}

void CorvalineOnLoopback::TearDown()
{
    windows.reset();
    simulator.reset();
    agenda.reset();
    CapturedDesktopFixture::TearDown();
}

void CorvalineOnLoopback::startSimulator(const QStringList& arguments)
{
    simulator = std::make_unique<SimulatorProcess>(
        QStringList{QStringLiteral("--user"), QString::fromLatin1(User), QStringLiteral("--secret"),
                    QString::fromLatin1(Secret), QStringLiteral("--extension"), QString::fromLatin1(Extension)} +
            arguments,
        dataDir.filePath(QStringLiteral("pbxsim-actions.txt")));
    ASSERT_TRUE(simulator->start()) << simulator->errors().constData();
}

void CorvalineOnLoopback::writeSettings(bool md5, const QByteArrayList& consoleLines, quint16 port)
{
    ASSERT_TRUE(simulator || port != 0);
    QByteArrayList console{"HostEdit_as=127.0.0.1",
                           "PortEdit_as=" + (port != 0 ? QByteArray::number(port) : simulator->portText()),
                           "action_as=Login",
                           QByteArray("username_as=") + User,
                           QByteArray("secret_as=") + Secret,
                           "events_as=On",
                           QByteArray("poste_as=") + Extension,
                           "code_soc=from-internal",
                           md5 ? "md5_s=1" : "md5_s=0",
                           "journal_enre=1",
                           "Spin_Edit1=1",
                           "mode_as=Classique"};
    // A line given for a key replaces the default line of that key.
    for (const QByteArray& line : consoleLines) {
        const QByteArray key = line.left(line.indexOf('=') + 1);
        console.removeIf([&](const QByteArray& existing) { return existing.startsWith(key); });
        console.append(line);
    }
    ASSERT_TRUE(dataDir.write(QStringLiteral("serie.ini"),
                              "[Form2]\r\n" + console.join("\r\n") +
                                  "\r\n[Form3]\r\nadresse_ob=\r\nacces_auto=0\r\nnum_app=1\r\nnum_temps=0\r\n"));
}

void CorvalineOnLoopback::createWindows()
{
    windows = std::make_unique<ApplicationWindows>();
    form1 = windows->form1();
    form2 = windows->form2();
    form3 = windows->form3();
    form5 = windows->form5();
    form1->Timer1->stop();
    form2->Timer1->stop();
    // The console stays the session's handler; the tap only keeps a copy.
    auto handler = form2->TnCnx->OnDataAvailable;
    form2->TnCnx->OnDataAvailable = [this, handler](TTnCnx* sender, const char* buffer, int len) {
        received.append(buffer, len);
        handler(sender, buffer, len);
    };
    const CallCardList* list = &form1->cardList();
    QObject::connect(list, &CallCardList::cardAdded, form1, [this](const CallCard& call) {
        if (!call.isCall())
            return;
        CardLife& life = cardLives[call.key];
        life.back = life.back || life.gone;
        life.ringing = life.ringing || !call.answered;
        life.answered = life.answered || call.answered;
        const TFrame4* card = form1->findCallCard(call.key);
        life.number = card ? card->numberValue() : QByteArray();
        life.sda = card ? card->sdaValue() : QByteArray();
        life.channel = card ? card->channelValue() : QByteArray();
        life.windowHeight = form1->height();
    });
    QObject::connect(list, &CallCardList::cardAnswered, form1,
                     [this](const QByteArray& key) { cardLives[key].answered = true; });
    QObject::connect(list, &CallCardList::cardRemoved, form1, [this](const QByteArray& key) {
        if (key != TFrame4::DisconnectionKey)
            cardLives[key].gone = true;
    });
    form1->show();
}

QByteArray CorvalineOnLoopback::startAgenda(const QByteArray& telephoneList, const QByteArray& sdaList)
{
    agenda = std::make_unique<HttpServerProcess>();
    if (!agenda->serve(QStringLiteral("cgi-bin/synchro/iccctel.pl"), telephoneList) ||
        !agenda->serve(QStringLiteral("cgi-bin/synchro/iccc.pl"), sdaList) || !agenda->start())
        return QByteArray();
    return agenda->url();
}

bool CorvalineOnLoopback::startUpAndLogIn()
{
    form1->Timer1Timer();
    return waitForLoggedIn();
}

bool CorvalineOnLoopback::waitForLoggedIn(qsizetype count)
{
    // A session is up once the login is accepted and the live channels that
    // follow it are listed.
    return waitForReceived("Message: Authentication accepted\r\n", count) &&
           waitForReceived("Event: StatusComplete\r\n", count);
}

bool CorvalineOnLoopback::waitForReceived(const QByteArray& text, qsizetype count, int timeoutMs)
{
    return testsupport::waitFor([&] { return received.count(text) >= count; }, timeoutMs);
}

bool CorvalineOnLoopback::waitForCards(int count, int timeoutMs)
{
    return testsupport::waitFor([&] { return form1->CallCardCount() == count; }, timeoutMs);
}

int CorvalineOnLoopback::goneCards() const
{
    return int(std::count_if(cardLives.cbegin(), cardLives.cend(), [](const CardLife& life) { return life.gone; }));
}

QString CorvalineOnLoopback::memo() const
{
    QCoreApplication::sendPostedEvents();
    return control<QPlainTextEdit>(form2, "DisplayMemo")->toPlainText();
}

int CorvalineOnLoopback::memoLines() const
{
    QCoreApplication::sendPostedEvents();
    return control<QPlainTextEdit>(form2, "DisplayMemo")->blockCount();
}

QList<TFrame4*> CorvalineOnLoopback::cards() const
{
    QList<TFrame4*> found;
    for (QObject* child : control<QFrame>(form1, "Panel3")->children()) {
        if (auto* card = qobject_cast<TFrame4*>(child))
            found.append(card);
    }
    return found;
}

TFrame4* CorvalineOnLoopback::onlyCard() const
{
    const QList<TFrame4*> all = cards();
    return all.size() == 1 ? all.first() : nullptr;
}

QByteArray CorvalineOnLoopback::journal() const
{
    QCoreApplication::sendPostedEvents();
    QByteArray text;
    for (const QString& name : QDir(dataDir.path()).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name))
        text += dataDir.read(name);
    return text;
}
