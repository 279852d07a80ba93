#include "app/interfacelanguage.h"

#include <QCoreApplication>

bool InterfaceLanguage::isFrench(const QLocale& locale)
{
    const QStringList languages = locale.uiLanguages();
    const QLocale first = languages.isEmpty() ? locale : QLocale(languages.first());
    return first.language() == QLocale::French;
}

std::unique_ptr<QTranslator> InterfaceLanguage::install(const QLocale& locale)
{
    if (isFrench(locale))
        return nullptr;
    auto english = std::make_unique<QTranslator>();
    // Built into the program from translations/corvaline_en.ts.
    if (!english->load(QStringLiteral(":/translations/corvaline_en.qm")) ||
        !QCoreApplication::installTranslator(english.get()))
        return nullptr;
    return english;
}
