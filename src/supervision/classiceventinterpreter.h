#pragma once

#include "supervision/callcardoperations.h"
#include "supervision/eventinterpretation.h"

#include <QByteArray>
#include <QByteArrayView>

// What the current manager event reports, as far as the call cards care.
// Ring and Up come from the older header style ("State: Ring", "State: Up",
// "Event: Dial"), StateRinging and StateUp from the newer one ("ChannelState: 5",
// "ChannelStateDesc: Up"); Gone covers hang-up, unlink and bridge changes.
enum class EventState
{
    None,
    Ring,
    StateRinging,
    Up,
    StateUp,
    Gone,
};

// The classic interpretation, made for Asterisk 1.4 to 11 with chan_sip: turns
// manager text into card operations for the user's own SIP extension. This is
// deliberately not a protocol parser: it matches fixed, case-sensitive texts
// inside CR-separated lines and keeps a little state from one "Event:" line to
// the next, never longer than one hand-over. The extension is asked for again
// for every line that names a SIP channel; each "Challenge: " value is reported
// as soon as its line is read.
//
// Each run keeps its state in its own locals, so a run entered again from a
// card operation for later text leaves the outer one as it was.
class ClassicEventInterpreter : public EventInterpretation
{
public:
    ClassicEventInterpreter(CallCardOperations& cards, ExtensionSource extension, ChallengeSink challenge);

    // Interprets one hand-over, without its NUL bytes. The bytes are copied
    // first: a run entered again may be handed the next block in the very
    // buffer this one came in.
    void interpret(QByteArrayView text) override;

private:
    CallCardOperations& m_cards;
    ExtensionSource m_extension;
    ChallengeSink m_challenge;
};
