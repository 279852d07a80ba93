#pragma once

#include "supervision/callcardoperations.h"
#include "supervision/eventinterpretation.h"

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

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
// Re-entrancy: card creation and removal run the event loop, so later text can
// be interpreted while an earlier hand-over is still in progress. Each run keeps
// its state in its own locals. The runs in progress are known to the object, so
// that a card that a nested run removes is not created again by the operations
// the outer run repeats for the rest of its event.
class ManagerEventInterpreter : public EventInterpretation
{
public:
    ManagerEventInterpreter(CallCardOperations& cards, ExtensionSource extension, ChallengeSink challenge);

    // Interprets one hand-over, without its NUL bytes. The bytes are copied
    // first: a nested run may be handed the next block in the very
    // buffer this one came in.
    void interpret(QByteArrayView text) override;

    struct Run;

private:
    CallCardOperations& m_cards;
    ExtensionSource m_extension;
    ChallengeSink m_challenge;
    std::vector<Run*> m_runs;
};
