#include "gui/browser.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

std::function<void(const QString&)>& browserHook()
{
    static std::function<void(const QString&)> hook;
    return hook;
}

} // namespace

void openInBrowser(const QString& address)
{
    if (browserHook()) {
        browserHook()(address);
        return;
    }
    // Tolerant parsing keeps the address as typed and as already percent-encoded.
    QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

void setBrowserHookForTests(std::function<void(const QString&)> hook)
{
    browserHook() = std::move(hook);
}
