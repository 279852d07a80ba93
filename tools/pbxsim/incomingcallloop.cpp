#include "incomingcallloop.h"

#include "simulatedpbx.h"

namespace pbxsim {

IncomingCallLoop::IncomingCallLoop(SimulatedPbx& pbx, QByteArray extension, QObject* parent)
    : QObject(parent), m_pbx(pbx), m_extension(std::move(extension)), m_calls(demoCalls())
{}

QList<ScriptedCall> IncomingCallLoop::demoCalls()
{
    return {
        {"0612345678", "0491234500", true},  // Dupont Marie on the main line
        {"0478901234", "0491234501", true},  // Martin Transports for the sales office
        {"0155667788", "0491234502", true},  // a caller missing from the directory
        {"0699001122", "0491234503", false}, // gives up before anyone answers
        {"0491887766", "0491234500", true},  // Cabinet Leroy on the main line
        {"0320456789", "0491234504", false}, // Boulangerie Lefevre, unanswered
    };
}

void IncomingCallLoop::start(int firstDelayMs)
{
    m_pbx.after(firstDelayMs, [this] { playNext(); });
}

void IncomingCallLoop::playNext()
{
    const ScriptedCall call = m_calls.at(m_next);
    // Alternate who ends the answered calls: the caller, then the office.
    const bool callerHangsUp = m_next % 2 == 0;
    m_next = (m_next + 1) % m_calls.size();

    const CallTimings& timings = m_pbx.timings();
    const QByteArray trunk = m_pbx.incomingCall(call.callerNum, call.sda, m_extension);
    if (call.answered) {
        m_pbx.after(timings.ringMs, [this, trunk] {
            const QByteArray phone = m_pbx.calleeOf(trunk);
            if (phone.isEmpty())
                return;
            m_pbx.answer(phone);
            m_pbx.answer(trunk);
            m_pbx.bridge(trunk, phone);
        });
        m_pbx.after(timings.ringMs + timings.talkMs,
                    [this, trunk, callerHangsUp] { m_pbx.hangup(callerHangsUp ? trunk : m_pbx.calleeOf(trunk)); });
    } else {
        m_pbx.after(timings.ringMs, [this, trunk] { m_pbx.hangup(trunk); });
    }
    const int duration = timings.ringMs + (call.answered ? timings.talkMs : 0);
    m_pbx.after(duration + timings.pauseMs, [this] { playNext(); });
}

} // namespace pbxsim
