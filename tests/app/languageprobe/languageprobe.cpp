// Builds the program's real windows with the translation the program installs
// for the system's language, and prints their menus and titles one per line,
// for the interface language test to compare.
#include "gui/applicationwindows.h"
#include "gui/corvalineapplication.h"
#include "app/interfacelanguage.h"
#include "gui/mainwindow.h"
#include "gui/agendasettings.h"
#include "gui/dialwindow.h"
#include "gui/managerconsole.h"

#include <QAction>
#include <QMenu>

#include <cstdio>

int main(int argc, char** argv)
{
    CorvalineApplication app(argc, argv);
    const std::unique_ptr<QTranslator> translation = InterfaceLanguage::install();
    const ApplicationWindows windows;
    const TForm1* main = windows.form1();
    QStringList lines;
    for (const char* menu : {"Configuration1", "N1"})
        lines << main->findChild<QMenu*>(QLatin1String(menu))->title();
    for (const char* action : {"Orbanel1", "Asterisk1", "Quitter1", "Historique1", "Appeler1"})
        lines << main->findChild<QAction*>(QLatin1String(action))->text();
    for (const QWidget* window :
         {static_cast<const QWidget*>(windows.form2()), static_cast<const QWidget*>(windows.form3()),
          static_cast<const QWidget*>(windows.form5())})
        lines << window->windowTitle();
    std::printf("%s\n", qPrintable(lines.join(u'\n')));
    return 0;
}
