#include "gui/corvalineapplication.h"

#include <exception>

CorvalineApplication::CorvalineApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Corvaline"));
    // Ties the windows to the installed desktop entry (its icon and name in
    // the task bar, the application id on Wayland).
    setDesktopFileName(QStringLiteral("corvaline"));
    // The main window is a tool window, which Qt does not count as a main
    // window; the program ends when it closes, whatever else is open.
    setQuitOnLastWindowClosed(false);
}

bool CorvalineApplication::notify(QObject* receiver, QEvent* event)
{
    return guarded([&] { return QApplication::notify(receiver, event); }, m_errorSink);
}

bool CorvalineApplication::guarded(const std::function<bool()>& delivery, const ErrorSink& sink)
{
    try {
        return delivery();
    } catch (const std::exception& error) {
        if (sink)
            sink(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        if (sink)
            sink(tr("Erreur inconnue"));
    }
    return true;
}
