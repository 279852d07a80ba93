#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

namespace pbxsim {

class SimulatedPbx;

// One scripted call from outside to the office.
struct ScriptedCall
{
    QByteArray callerNum;
    QByteArray sda; // the direct-dial number the caller dialled
    bool answered = true;
};

// Plays incoming calls to one extension, one after the other and for ever:
// the caller's trunk channel comes up, the extension rings, is answered (or not),
// the two talk and one of them hangs up. Timings come from the exchange.
class IncomingCallLoop : public QObject
{
    Q_OBJECT

public:
    IncomingCallLoop(SimulatedPbx& pbx, QByteArray extension, QObject* parent = nullptr);

    // The calls of the demo office; their numbers are in the agenda's lists.
    static QList<ScriptedCall> demoCalls();

    void start(int firstDelayMs);

private:
    void playNext();

    SimulatedPbx& m_pbx;
    QByteArray m_extension;
    QList<ScriptedCall> m_calls;
    qsizetype m_next = 0;
};

} // namespace pbxsim
