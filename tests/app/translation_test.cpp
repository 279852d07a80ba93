// The windows speak French on a French system and English on any other, and
// the English translation covers every text of the program.
#include "tempdatafolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace {

struct SystemLanguage
{
    const char* name;
    const char* lang;
    QStringList lines; // the probe's menus, actions and window titles
};

void PrintTo(const SystemLanguage& language, std::ostream* out)
{
    *out << language.lang;
}

const QStringList French{QStringLiteral("Configuration"), QStringLiteral("Menu"),    QStringLiteral("Orbanel"),
                         QStringLiteral("Asterisk"),      QStringLiteral("Quitter"), QStringLiteral("Historique"),
                         QStringLiteral("Appeler..."),    QStringLiteral("Manager"), QStringLiteral("Orbanel"),
                         QStringLiteral("Appel")};
const QStringList English{QStringLiteral("Settings"), QStringLiteral("Menu"),    QStringLiteral("Orbanel"),
                          QStringLiteral("Asterisk"), QStringLiteral("Quit"),    QStringLiteral("History"),
                          QStringLiteral("Call..."),  QStringLiteral("Manager"), QStringLiteral("Orbanel"),
                          QStringLiteral("Call")};

class InterfaceLanguage : public ::testing::TestWithParam<SystemLanguage>
{
};

TEST_P(InterfaceLanguage, SystemLanguage_ChoosesTheTextsOfTheWindows)
{
    const TempDataFolder data;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // LANG alone decides, as on a desktop that sets nothing else.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("LANG"), QLatin1String(GetParam().lang));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString());
    QProcess probe;
    probe.setProcessEnvironment(environment);
    probe.start(QStringLiteral(CORVALINE_LANGUAGE_PROBE), {});
    ASSERT_TRUE(probe.waitForFinished(60000));
    ASSERT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().constData();
    EXPECT_EQ(QString::fromUtf8(probe.readAllStandardOutput()).trimmed().split(u'\n'), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Systems, InterfaceLanguage,
                         ::testing::Values(SystemLanguage{"French", "fr_FR.UTF-8", French},
                                           SystemLanguage{"English", "en_US.UTF-8", English},
                                           SystemLanguage{"German", "de_DE.UTF-8", English}),
                         [](const ::testing::TestParamInfo<SystemLanguage>& info) {
                             return std::string(info.param.name);
                         });

QString translationsFile()
{
    return qEnvironmentVariable("CORVALINE_SOURCE_DIR") + QStringLiteral("/translations/corvaline_en.ts");
}

// Each message of a .ts file that has no finished translation, as its source text.
QStringList untranslated(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot read ") + path};
    QStringList missing;
    QXmlStreamReader xml(&file);
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"source") {
            source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            const QString type = xml.attributes().value(QStringLiteral("type")).toString();
            if (!type.isEmpty() || xml.readElementText().isEmpty())
                missing << source + QStringLiteral(" (") + (type.isEmpty() ? QStringLiteral("empty") : type) + u')';
        }
    }
    if (xml.hasError())
        missing << xml.errorString();
    return missing;
}

TEST(Translations, EveryTextOfTheEnglishTranslationIsFinished)
{
    const QStringList missing = untranslated(translationsFile());
    EXPECT_TRUE(missing.isEmpty()) << missing.join(u'\n').toStdString();
}

TEST(Translations, LupdateFindsNoTextOfTheProgramMissingFromTheTranslation)
{
    const QString sources = qEnvironmentVariable("CORVALINE_SOURCE_DIR");
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString copy = work.filePath(QStringLiteral("corvaline_en.ts"));
    ASSERT_TRUE(QFile::copy(translationsFile(), copy));
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(CORVALINE_LUPDATE),
                  {QStringLiteral("-locations"), QStringLiteral("none"), sources + QStringLiteral("/src"),
                   sources + QStringLiteral("/ui"), QStringLiteral("-ts"), copy});
    ASSERT_TRUE(lupdate.waitForFinished(120000));
    const QByteArray said = lupdate.readAll();
    ASSERT_EQ(lupdate.exitCode(), 0) << said.constData();
    EXPECT_TRUE(said.contains("(0 new and ")) << said.constData();
    const QStringList missing = untranslated(copy);
    EXPECT_TRUE(missing.isEmpty()) << missing.join(u'\n').toStdString();
}

} // namespace
