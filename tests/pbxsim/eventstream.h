#pragma once

#include "managermessage.h"
#include "simulatedpbx.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QTimer>

// Reading what a simulated exchange sent: its event blocks, those of one
// channel, and short descriptions of them for comparing whole call flows.

// The event blocks of a stream, in order.
QList<pbxsim::ManagerMessage> eventsIn(const QByteArray& text);

// The events of the stream that name the channel in one of the given headers.
QList<pbxsim::ManagerMessage> eventsOf(const QList<pbxsim::ManagerMessage>& events, const QByteArray& channel);

// "Event SubEvent State" of each event, with whichever of those it has.
QByteArrayList describeAll(const QList<pbxsim::ManagerMessage>& events);

// Starts an incoming call to extension 100 and waits until the phone rings;
// returns the phone's channel, empty when it did not ring in time.
QByteArray ringingPhone(pbxsim::SimulatedPbx& pbx, const QByteArray& callerNum, const QByteArray& sda);

// The largest amount of output given in one pass of the event loop: what a
// client reading the socket at that moment would find waiting.
class BurstMeter
{
public:
    BurstMeter();
    void add(qsizetype bytes);
    qsizetype largest() const { return m_largest; }

private:
    QTimer m_passes;
    qsizetype m_burst = 0;
    qsizetype m_largest = 0;
};
