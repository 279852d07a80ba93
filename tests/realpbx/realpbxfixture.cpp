#include "realpbxfixture.h"

#include "certificatequestions.h"
#include "gui/agendasettings.h"
#include "gui/callcard.h"
#include "gui/mainwindow.h"
#include "waitfor.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QStandardPaths>

#include <algorithm>
#include <iostream>

RealAsterisk* RealPbx::pbx = nullptr;
QString RealPbx::skipReason;

void RealPbx::startPbx(const QMap<QString, QByteArray>& moreConfiguration)
{
    const AsteriskInstallation installation = AsteriskInstallation::find();
    if (!installation.found() || QStandardPaths::findExecutable(QStringLiteral("sipp")).isEmpty()) {
        skipReason =
            installation.found() ? QStringLiteral("no sipp (Debian's sip-tester) on PATH") : installation.reason;
        // ctest takes this line for a skip of the whole file.
        std::cout << "No real PBX: " << skipReason.toStdString() << std::endl;
        return;
    }
    pbx = new RealAsterisk(installation, QStringLiteral(CORVALINE_ASTERISK_TEMPLATES));
    for (auto it = moreConfiguration.cbegin(); it != moreConfiguration.cend(); ++it)
        pbx->addConfiguration(it.key(), it.value());
    if (!pbx->start()) {
        // A PBX that is there but does not start is a failure, not a skip.
        ADD_FAILURE() << pbx->errors().toStdString();
        delete pbx;
        pbx = nullptr;
        skipReason = QStringLiteral("the PBX did not start");
    }
}

void RealPbx::TearDownTestSuite()
{
    delete pbx;
    pbx = nullptr;
}

void RealPbx::SetUp()
{
    CorvalineOnLoopback::SetUp();
    if (!pbx)
        GTEST_SKIP() << skipReason.toStdString();
    if (technology() == "SIP" && !pbx->installation().hasModule(QStringLiteral("chan_sip")))
        GTEST_SKIP() << "this Asterisk has no chan_sip";
    ASSERT_TRUE(sippDir.isValid());
    pbx->cli(QStringLiteral("dialplan set global TECH ") + QString::fromLatin1(technology()));
}

void RealPbx::TearDown()
{
    windows.reset();
    phones.clear();
    if (pbx && pbx->running()) {
        // The next case starts on a PBX without calls.
        pbx->cli(QStringLiteral("channel request hangup all"));
        EXPECT_TRUE(waitForNoChannel()) << pbx->channels().join('\n').constData();
    }
    CorvalineOnLoopback::TearDown();
}

std::string TechnologyName(const ::testing::TestParamInfo<const char*>& info)
{
    return info.param;
}

SippPhone& RealPbx::phone(const QByteArray& extension, const char* scenario, int delayMs, int calls)
{
    phones.push_back(std::make_unique<SippPhone>(scenario, pbx->port("PORT_" + extension), delayMs, SippPhone::Call{},
                                                 sippDir.path(), calls));
    EXPECT_TRUE(phones.back()->start()) << "phone " << extension.constData();
    return *phones.back();
}

SippPhone& RealPbx::dialFrom(const QByteArray& extension, const QByteArray& number, const char* scenario, int delayMs)
{
    const QByteArray sipPort = technology() == "SIP" ? "SIP_PORT" : "PJSIP_PORT";
    const SippPhone::Call call{QStringLiteral("127.0.0.1:%1").arg(pbx->port(sipPort)), number, extension,
                               "Poste " + extension, extension};
    phones.push_back(
        std::make_unique<SippPhone>(scenario, pbx->port("PORT_" + extension), delayMs, call, sippDir.path()));
    EXPECT_TRUE(phones.back()->start()) << "phone " << extension.constData();
    return *phones.back();
}

SippPhone& RealPbx::callFromTrunk(const QByteArray& target, const char* scenario, int delayMs, const QByteArray& idName)
{
    const SippPhone::Call call{QStringLiteral("127.0.0.1:%1").arg(pbx->port("PJSIP_PORT")), DidPrefix + target, "trunk",
                               idName, CallerNumber};
    phones.push_back(std::make_unique<SippPhone>(scenario, RealAsterisk::freePort(), delayMs, call, sippDir.path()));
    EXPECT_TRUE(phones.back()->start()) << "trunk";
    return *phones.back();
}

void RealPbx::openWindows(bool md5, const QByteArrayList& consoleLines, const QByteArray& trustedFingerprint)
{
    writeSettings(md5, QByteArrayList{"mode_as=Moderne", "techno_as=" + technology()} + consoleLines,
                  pbx->port("AMI_PORT"));
    if (!trustedFingerprint.isEmpty()) {
        ASSERT_TRUE(KeepFingerprint(dataDir, "127.0.0.1", trustedFingerprint));
    }
    // The program downloads both name lists from the agenda at start-up.
    agendaBase = startAgenda(QByteArray(CallerNumber) + '=' + CallerName + "\r\n",
                             QByteArray(DidPrefix) + "100=Accueil\r\n" + DidPrefix + "600=Support\r\n" + DidPrefix +
                                 "601=Standard\r\n" + DidPrefix + "300=Direction\r\n");
    ASSERT_FALSE(agendaBase.isEmpty());
    createWindows();
    form3->adresse_ob->setText(QString::fromLatin1(agendaBase));
    form3->acces_auto->setChecked(true);
}

void RealPbx::logIn(bool md5, const QByteArrayList& consoleLines, const QByteArray& trustedFingerprint)
{
    ASSERT_NO_FATAL_FAILURE(openWindows(md5, consoleLines, trustedFingerprint));
    ASSERT_TRUE(startUpAndLogIn());
}

TFrame4* RealPbx::waitForAnsweredCard()
{
    TFrame4* card = nullptr;
    testsupport::waitFor([&] {
        card = onlyCard();
        return card && card->isAnswered();
    });
    return card && card->isAnswered() ? card : nullptr;
}

bool RealPbx::waitForUp(const QByteArrayList& present, const QByteArrayList& absent)
{
    const auto holds = [&] {
        const QByteArrayList channels = pbx->channels();
        const auto listed = [&](const QByteArray& prefix, bool up) {
            return std::any_of(channels.cbegin(), channels.cend(), [&](const QByteArray& line) {
                return line.startsWith(prefix) && (!up || line.split('!').value(4) == "Up");
            });
        };
        return std::all_of(present.cbegin(), present.cend(), [&](const QByteArray& p) { return listed(p, true); }) &&
               std::none_of(absent.cbegin(), absent.cend(), [&](const QByteArray& p) { return listed(p, false); });
    };
    return testsupport::waitFor(holds, 60000);
}

bool RealPbx::pbxListsTheManagerSession()
{
    for (const QByteArray& line : pbx->cli(QStringLiteral("manager show connected")).split('\n')) {
        if (line.trimmed().startsWith(QByteArray(User) + ' '))
            return true;
    }
    return false;
}

bool RealPbx::waitForNoChannel()
{
    return testsupport::waitFor([] { return pbx->channels().isEmpty(); }, 60000);
}

QByteArray RealPbx::phoneChannel(const QByteArray& extension) const
{
    return technology() + '/' + extension + '-';
}

QList<CallRecord> RealPbx::history() const
{
    CallHistory file(dataDir.filePath(CallHistory::FileName));
    file.load();
    return file.records();
}

QString RealPbx::agendaPage(const QByteArray& did, const QByteArray& number) const
{
    return TFrame4::agendaPageAddress(QString::fromLatin1(agendaBase), form3->sda_liaison->isChecked(), did, number);
}
