#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace pbxsim {

// Turns SIGTERM and SIGINT into a Qt signal delivered from the event loop. The
// handler itself only writes one byte to a pipe, the one thing that is safe
// inside a signal handler; the loop reads it and emits stopRequested().
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

signals:
    void stopRequested();

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace pbxsim
