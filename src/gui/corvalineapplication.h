#pragma once

#include <QApplication>

#include <functional>

// The program's application object. An exception that escapes an event handler
// anywhere in the program ends here instead of ending the program: its message
// goes to the error sink (the main window's status label) and the event loop
// carries on. No dialog is shown.
class CorvalineApplication : public QApplication
{
    Q_OBJECT

public:
    using ErrorSink = std::function<void(const QString& message)>;

    CorvalineApplication(int& argc, char** argv);

    void setErrorSink(ErrorSink sink) { m_errorSink = std::move(sink); }
    bool notify(QObject* receiver, QEvent* event) override;

    // Runs one delivery and turns an escaping exception into a message for
    // sink; the delivery then counts as handled.
    static bool guarded(const std::function<bool()>& delivery, const ErrorSink& sink);

private:
    ErrorSink m_errorSink;
};
