#include "gui/messagebox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
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
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::No);
    // The buttons speak the interface's language, not Qt's own.
    box.button(QMessageBox::Yes)->setText(QCoreApplication::translate("MessageBox", "&Oui"));
    box.button(QMessageBox::No)->setText(QCoreApplication::translate("MessageBox", "&Non"));
    return box.exec() == QMessageBox::Yes;
}

void setQuestionSinkForTests(std::function<bool(const QString&)> sink)
{
    questionSink() = std::move(sink);
}
