#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a Qt signal delivered from the event loop, so
// that the program can close its main window (and write its settings) as the
// close box would instead of dying mid-way. The signal handler only writes a
// byte into a pipe; everything else happens in the loop. The request, and the
// application's quit, also end every wait of the network layer at once
// (QuitRequest), so that a download under way does not keep the program alive.
class TerminationWatcher : public QObject
{
    Q_OBJECT

public:
    explicit TerminationWatcher(QObject* parent = nullptr);
    ~TerminationWatcher() override;

signals:
    void terminationRequested();

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};
