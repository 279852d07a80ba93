#pragma once

#include <QLocale>
#include <QTranslator>

#include <memory>

// The language of the program's windows. Their texts are written in French,
// which stays the language of a French-speaking system; any other system
// gets the English translation that the program carries.
class InterfaceLanguage
{
public:
    // The first of the user's interface languages (LANGUAGE, LC_ALL,
    // LC_MESSAGES, LANG on Linux) decides.
    static bool isFrench(const QLocale& locale);

    // Installs the translation that locale calls for into the application and
    // returns it; nothing for French. The translator must outlive the windows
    // whose texts it gives, and be installed before they are created.
    static std::unique_ptr<QTranslator> install(const QLocale& locale = QLocale::system());
};
