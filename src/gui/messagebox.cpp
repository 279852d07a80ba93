#include "gui/messagebox.h"

#include <QApplication>
#include <QMessageBox>

namespace {

std::function<void(const QString&)>& messageSink()
{
    static std::function<void(const QString&)> sink;
    return sink;
}

std::function<bool(const QString&)>& questionSink()
{
    static std::function<bool(const QString&)> sink;
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

bool askYesNo(const QString& text)
{
    if (const auto& sink = questionSink())
        return sink(text);
    return QMessageBox::question(QApplication::activeWindow(), QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void setQuestionSinkForTests(std::function<bool(const QString&)> sink)
{
    questionSink() = std::move(sink);
}
