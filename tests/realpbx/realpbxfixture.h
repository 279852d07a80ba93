#pragma once

#include "corvalinefixture.h"
#include "realasterisk.h"
#include "sippphone.h"
#include "supervision/callhistory.h"

#include <QTemporaryDir>

#include <list>
#include <memory>

class TFrame4;

// The program's real windows, in modern mode, against a real Asterisk of the
// test file's own (tests/realpbx/asterisk: manager account demo/demo, phones
// 100, 201 and 202 of the technology the case names, 300 with two devices,
// queue 600, ring group 601, pickup *8, conference 680, and a trunk whose
// DIDs 0491234NNN reach NNN with "DID:name" as the caller's name, but
// 0491234999 reaches 100 with the name as the trunk sent it) and sipp
// phones. Without an Asterisk every case is skipped, saying why.
class RealPbx : public CorvalineOnLoopback
{
public:
    static void SetUpTestSuite() { startPbx(); }
    static void TearDownTestSuite();

protected:
    // Starts the test file's PBX, with these configuration files (name and
    // text, filled in as the templates) beside the templates'.
    static void startPbx(const QMap<QString, QByteArray>& moreConfiguration = {});

    // The trunk's caller, as the name list and the SDA list know it.
    static constexpr char CallerNumber[] = "0612345678";
    static constexpr char CallerName[] = "Dupont SA";
    static constexpr char DidPrefix[] = "0491234";

    // Skips a case of chan_sip phones where the PBX has no chan_sip.
    void SetUp() override;
    void TearDown() override;

    // "PJSIP" or "SIP": the technology of the phones and of the console's
    // "Poste en".
    virtual QByteArray technology() const { return QByteArrayLiteral("PJSIP"); }

    // Phone extension (its sipp port in the PBX's configuration: PORT_<name>)
    // answers its calls with the scenario.
    SippPhone& phone(const QByteArray& extension, const char* scenario, int delayMs = 0, int calls = 1);
    // Phone extension dials number with the scenario.
    SippPhone& dialFrom(const QByteArray& extension, const QByteArray& number, const char* scenario, int delayMs);
    // The trunk's caller, named idName, dials the DID that reaches target.
    SippPhone& callFromTrunk(const QByteArray& target, const char* scenario, int delayMs,
                             const QByteArray& idName = QByteArrayLiteral("Dupont"));

    // Writes the settings (modern mode, the case's technology, the PBX's
    // manager port; lines replace defaults as in writeSettings), starts the
    // agenda that holds the name lists, and creates the windows, with the
    // agenda's address and automatic access.
    // A trusted fingerprint is kept for 127.0.0.1, as a "yes" of an earlier
    // run leaves it.
    void openWindows(bool md5 = false, const QByteArrayList& consoleLines = {},
                     const QByteArray& trustedFingerprint = {});
    // The same, then the start-up sequence and its login.
    void logIn(bool md5 = false, const QByteArrayList& consoleLines = {}, const QByteArray& trustedFingerprint = {});

    // The card once it shows its call answered, or null when none did in time.
    TFrame4* waitForAnsweredCard();
    // Waits until the PBX lists, among the channels Up, one of each given
    // technology/resource (prefixes such as "PJSIP/trunk-") and none of the
    // absent ones.
    bool waitForUp(const QByteArrayList& present, const QByteArrayList& absent = {});
    // The PBX's own list of manager sessions names the account demo.
    static bool pbxListsTheManagerSession();
    // Waits until the PBX has no channel left.
    bool waitForNoChannel();
    // The channel prefix of a phone of the case's technology: "PJSIP/100-".
    QByteArray phoneChannel(const QByteArray& extension) const;
    static QByteArray trunkChannel() { return QByteArrayLiteral("PJSIP/trunk-"); }

    // The history's records, read from its file.
    QList<CallRecord> history() const;
    // The agenda's page of a caller as the program asks for it.
    QString agendaPage(const QByteArray& did, const QByteArray& number) const;

    static RealAsterisk* pbx;
    static QString skipReason;
    QByteArray agendaBase; // the agenda server's address
    std::list<std::unique_ptr<SippPhone>> phones;
    QTemporaryDir sippDir;
};

// The same for each phone technology: PJSIP always, chan_sip where the PBX has it.
class RealPbxByTechnology : public RealPbx, public ::testing::WithParamInterface<const char*>
{
protected:
    QByteArray technology() const override { return GetParam(); }
};

// The technologies' names for INSTANTIATE_TEST_SUITE_P.
std::string TechnologyName(const ::testing::TestParamInfo<const char*>& info);
