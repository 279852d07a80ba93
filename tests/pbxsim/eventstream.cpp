#include "eventstream.h"

#include "actionreader.h"
#include "waitfor.h"

#include <algorithm>

using namespace pbxsim;

QList<ManagerMessage> eventsIn(const QByteArray& text)
{
    QList<ManagerMessage> events;
    ActionReader reader;
    for (const ReceivedAction& block : reader.feed(text)) {
        if (block.message.has("Event"))
            events.append(block.message);
    }
    return events;
}

QList<ManagerMessage> eventsOf(const QList<ManagerMessage>& events, const QByteArray& channel)
{
    QList<ManagerMessage> found;
    for (const ManagerMessage& event : events) {
        for (const char* header : {"Channel", "Channel1", "Channel2"}) {
            if (event.value(header) == channel) {
                found.append(event);
                break;
            }
        }
    }
    return found;
}

QByteArrayList describeAll(const QList<ManagerMessage>& events)
{
    QByteArrayList texts;
    for (const ManagerMessage& event : events) {
        QByteArray text = event.value("Event");
        for (const char* header : {"SubEvent", "ChannelStateDesc", "State", "Bridgestate"}) {
            if (event.has(header))
                text += ' ' + event.value(header);
        }
        texts.append(text);
    }
    return texts;
}

QByteArray ringingPhone(SimulatedPbx& pbx, const QByteArray& callerNum, const QByteArray& sda)
{
    const QByteArray trunkChannel = pbx.incomingCall(callerNum, sda, "100");
    const bool rings = testsupport::waitFor([&] {
        const Channel* phone = pbx.find(pbx.calleeOf(trunkChannel));
        return phone && phone->state == ChannelState::Ringing;
    });
    return rings ? pbx.calleeOf(trunkChannel) : QByteArray();
}

BurstMeter::BurstMeter()
{
    // Runs once per pass of the event loop: what came before was one burst.
    QObject::connect(&m_passes, &QTimer::timeout, [this] { m_burst = 0; });
    m_passes.start(0);
}

void BurstMeter::add(qsizetype bytes)
{
    m_burst += bytes;
    m_largest = std::max(m_largest, m_burst);
}
