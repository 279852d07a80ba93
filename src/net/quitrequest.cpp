#include "net/quitrequest.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include <atomic>

namespace {

std::atomic<bool> quitRaised{false};

// Sees the Quit event that QCoreApplication::quit() sends, before the
// application's own handling of it.
class ApplicationQuitFilter : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit)
            QuitRequest::raise();
        return false;
    }
};

} // namespace

void QuitRequest::raise()
{
    quitRaised = true;
}

bool QuitRequest::raised()
{
    return quitRaised;
}

void QuitRequest::followApplicationQuit()
{
    QCoreApplication* application = QCoreApplication::instance();
    static QPointer<QObject> filter;
    if (application == nullptr || filter)
        return;
    filter = new ApplicationQuitFilter(application);
    application->installEventFilter(filter);
}

void QuitRequest::resetForTests()
{
    quitRaised = false;
}
