#include "app/interfacelanguage.h"
#include "app/platformchoice.h"
#include "app/singleinstance.h"
#include "app/terminationwatcher.h"
#include "config/cp1252.h"
#include "gui/applicationwindows.h"
#include "gui/corvalineapplication.h"
#include "gui/mainwindow.h"

#include <QCoreApplication>
#include <QIcon>
#include <QSessionManager>
#include <QTimer>

#include <cstdio>

namespace {

// The arguments run together, as the agenda's links have always been passed on
// (blanks between arguments are not kept).
QByteArray forwardedText(int argc, char** argv)
{
    QString text;
    for (int i = 1; i < argc; ++i)
        text += QString::fromLocal8Bit(argv[i]);
    return Cp1252::fromUnicode(text);
}

} // namespace

int main(int argc, char** argv)
{
    const bool platformChosen = chooseWindowPlatform(argc, argv);
    const QByteArray forwarded = forwardedText(argc, argv);
    if (!forwarded.isEmpty()) {
        QCoreApplication forwarder(argc, argv);
        if (SingleInstance::forward(forwarded))
            return 0;
    }

    CorvalineApplication app(argc, argv);
    if (platformChosen)
        forgetChosenPlatform();
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/corvaline.png")));
    // Installed first: a termination request that arrives while the windows are
    // being created waits in the event loop for the main window.
    TerminationWatcher termination;
    SingleInstance instance;
    const bool listening = instance.listen();
    const QString setUpError = instance.setUpError();
    if (!listening && setUpError.isEmpty()) {
        // Another instance runs or is starting (it may have become the first
        // one meanwhile): a link goes to it once it listens, and this instance
        // ends whether or not it was taken.
        if (!forwarded.isEmpty())
            return SingleInstance::forward(forwarded, 10000, true) ? 0 : 1;
        // Started at the same moment as that one (a link's start that took the
        // lock first): it is the program, with the link.
        if (SingleInstance::join())
            return 0;
    }
    // Without the set-up, links do not reach this instance: said at once, and
    // kept in the status label.
    if (!setUpError.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(setUpError));

    // Before the windows, which take their texts as they are created.
    const std::unique_ptr<QTranslator> translation = InterfaceLanguage::install();
    ApplicationWindows windows;
    TForm1* mainWindow = windows.form1();
    app.setErrorSink([mainWindow](const QString& message) { mainWindow->ApplicationEvents1Exception(message); });
    QObject::connect(&instance, &SingleInstance::textReceived, mainWindow, &TForm1::receiveForwardedText);
    QObject::connect(&instance, &SingleInstance::receiveFailed, mainWindow, &TForm1::forwardedTextFailed);
    QObject::connect(mainWindow, &TForm1::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    // Ending the program from outside closes the main window as its close box
    // does, so the settings are written.
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, mainWindow, &TForm1::close);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, mainWindow,
                     [mainWindow](QSessionManager&) { mainWindow->close(); });

    mainWindow->show();
    // A link that started the program is not lost: it is handled as if it had
    // been forwarded.
    if (!forwarded.isEmpty())
        QTimer::singleShot(0, mainWindow, [mainWindow, forwarded] { mainWindow->receiveForwardedText(forwarded); });
    // After the link, which puts its own text in the label.
    if (!setUpError.isEmpty())
        QTimer::singleShot(0, mainWindow,
                           [mainWindow, setUpError] { mainWindow->ApplicationEvents1Exception(setUpError); });
    const int status = app.exec();
    app.setErrorSink({});
    return status;
}
