#include "simulatoroptions.h"

#include <gtest/gtest.h>

using namespace pbxsim;

namespace {

ParsedOptions parse(const QStringList& arguments)
{
    return parseSimulatorOptions(QStringList{QStringLiteral("corvaline-pbxsim")} + arguments);
}

} // namespace

TEST(SimulatorOptions, NoArguments_GiveTheDefaults)
{
    const ParsedOptions parsed = parse({});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->port, 5038);
    EXPECT_EQ(parsed.options->bindAddress, QByteArray("127.0.0.1"));
    EXPECT_EQ(parsed.options->extension, QByteArray("100"));
    EXPECT_FALSE(parsed.options->scriptedCalls);
    EXPECT_EQ(parsed.options->style, HeaderStyle::New);
    EXPECT_EQ(parsed.options->technology, QByteArray("SIP"));
}

TEST(SimulatorOptions, TheContractOptions_AreTaken)
{
    const ParsedOptions parsed =
        parse({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--user"), QStringLiteral("manager"),
               QStringLiteral("--secret"), QStringLiteral("p@ss word"), QStringLiteral("--extension"),
               QStringLiteral("205"), QStringLiteral("--calls"), QStringLiteral("old"), QStringLiteral("--replay"),
               QStringLiteral("/tmp/t.txt"), QStringLiteral("--log"), QStringLiteral("/tmp/a.log")});
    ASSERT_TRUE(parsed.options) << parsed.message.toStdString();
    const SimulatorOptions& options = *parsed.options;
    EXPECT_EQ(options.port, 0);
    EXPECT_EQ(options.user, QByteArray("manager"));
    EXPECT_EQ(options.secret, QByteArray("p@ss word"));
    EXPECT_EQ(options.extension, QByteArray("205"));
    EXPECT_TRUE(options.scriptedCalls);
    EXPECT_EQ(options.style, HeaderStyle::Old);
    EXPECT_EQ(options.replayFile, QStringLiteral("/tmp/t.txt"));
    EXPECT_EQ(options.logFile, QStringLiteral("/tmp/a.log"));
}

TEST(SimulatorOptions, CallsNone_KeepsTheChosenStyleWithoutCalls)
{
    const ParsedOptions parsed =
        parse({QStringLiteral("--calls"), QStringLiteral("none"), QStringLiteral("--style"), QStringLiteral("old")});
    ASSERT_TRUE(parsed.options);
    EXPECT_FALSE(parsed.options->scriptedCalls);
    EXPECT_EQ(parsed.options->style, HeaderStyle::Old);
}

TEST(SimulatorOptions, StylesAndTechnologies_AreTaken)
{
    const struct
    {
        QStringList arguments;
        HeaderStyle style;
        bool scriptedCalls;
        QByteArray technology;
    } cases[] = {
        {{QStringLiteral("--calls"), QStringLiteral("modern")}, HeaderStyle::Modern, true, "SIP"},
        {{QStringLiteral("--style"), QStringLiteral("modern")}, HeaderStyle::Modern, false, "SIP"},
        {{QStringLiteral("--style"), QStringLiteral("new")}, HeaderStyle::New, false, "SIP"},
        {{QStringLiteral("--calls"), QStringLiteral("new"), QStringLiteral("--style"), QStringLiteral("modern")},
         HeaderStyle::New,
         true,
         "SIP"},
        {{QStringLiteral("--technology"), QStringLiteral("PJSIP")}, HeaderStyle::New, false, "PJSIP"},
        {{QStringLiteral("--calls"), QStringLiteral("modern"), QStringLiteral("--technology"), QStringLiteral("pjsip")},
         HeaderStyle::Modern,
         true,
         "PJSIP"},
        {{QStringLiteral("--technology"), QStringLiteral("Sip")}, HeaderStyle::New, false, "SIP"},
    };
    for (const auto& row : cases) {
        const ParsedOptions parsed = parse(row.arguments);
        ASSERT_TRUE(parsed.options) << row.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(parsed.options->style, row.style) << row.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(parsed.options->scriptedCalls, row.scriptedCalls);
        EXPECT_EQ(parsed.options->technology, row.technology);
    }
}

TEST(SimulatorOptions, Timings_AreSecondsWithFractions)
{
    const ParsedOptions parsed =
        parse({QStringLiteral("--ring-time"), QStringLiteral("0.25"), QStringLiteral("--talk-time"),
               QStringLiteral("3"), QStringLiteral("--call-interval"), QStringLiteral("1.5"),
               QStringLiteral("--first-call"), QStringLiteral("0")});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->timings.ringMs, 250);
    EXPECT_EQ(parsed.options->timings.talkMs, 3000);
    EXPECT_EQ(parsed.options->timings.pauseMs, 1500);
    EXPECT_EQ(parsed.options->firstCallMs, 0);
}

TEST(SimulatorOptions, CallsAfterLogin_IsOffUnlessAsked)
{
    EXPECT_FALSE(parse({}).options->callsAfterLogin);
    const ParsedOptions parsed =
        parse({QStringLiteral("--calls"), QStringLiteral("new"), QStringLiteral("--calls-after-login")});
    ASSERT_TRUE(parsed.options) << parsed.message.toStdString();
    EXPECT_TRUE(parsed.options->callsAfterLogin);
}

TEST(SimulatorOptions, WrongValues_AreRefusedWithExitCodeTwo)
{
    const QList<QStringList> wrong = {
        {QStringLiteral("--port"), QStringLiteral("70000")},
        {QStringLiteral("--port"), QStringLiteral("x")},
        {QStringLiteral("--calls"), QStringLiteral("both")},
        {QStringLiteral("--style"), QStringLiteral("newer")},
        {QStringLiteral("--style"), QStringLiteral("Modern")},
        {QStringLiteral("--calls"), QStringLiteral("modern13")},
        {QStringLiteral("--technology"), QStringLiteral("IAX2")},
        {QStringLiteral("--technology"), QString()},
        {QStringLiteral("--ring-time"), QStringLiteral("0")},
        {QStringLiteral("--talk-time"), QStringLiteral("nan")},
        {QStringLiteral("--extension"), QString()},
        {QStringLiteral("--unknown")},
        {QStringLiteral("stray")},
    };
    for (const QStringList& arguments : wrong) {
        const ParsedOptions parsed = parse(arguments);
        EXPECT_FALSE(parsed.options) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(parsed.exitCode, 2);
        EXPECT_FALSE(parsed.message.isEmpty());
    }
}

TEST(SimulatorOptions, Help_StopsWithExitCodeZeroAndTheText)
{
    const ParsedOptions parsed = parse({QStringLiteral("--help")});
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.exitCode, 0);
    EXPECT_TRUE(parsed.message.contains(QStringLiteral("--calls")));
}
