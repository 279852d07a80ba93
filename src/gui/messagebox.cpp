#include "gui/messagebox.h"

#include <QApplication>
#include <QMessageBox>

namespace {

std::function<void(const QString&)>& messageSink()
{
    static std::function<void(const QString&)> sink;
    return sink;
}

} // namespace

void showMessage(const QString& text)
{
    if (const auto& sink = messageSink()) {
        sink(text);
        return;
    }
    QMessageBox::information(QApplication::activeWindow(), QApplication::applicationDisplayName(), text);
}

void setMessageSinkForTests(std::function<void(const QString&)> sink)
{
    messageSink() = std::move(sink);
}
