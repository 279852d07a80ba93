#pragma once

#include "callcardoperations.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

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

// Turns blocks of manager text into card operations for the user's own SIP
// extension. This is deliberately not a protocol parser: it matches fixed,
// case-sensitive texts inside CR-separated lines and keeps a little state from
// one "Event:" line to the next, never longer than one block.
//
// Re-entrancy: card creation and removal run the event loop, so the next block
// can be interpreted while an earlier one is still in progress. Each call of
// interpret() keeps its state in its own locals; the object itself only holds
// the three collaborators and may be used by nested calls.
class ManagerEventInterpreter
{
public:
    // Gives the extension typed by the user; asked again for every line that
    // names a SIP channel, so a change in the middle of a block is seen.
    using ExtensionSource = std::function<QByteArray()>;
    // Receives each "Challenge: " value, trimmed, as soon as its line is read.
    using ChallengeSink = std::function<void(const QByteArray&)>;

    ManagerEventInterpreter(CallCardOperations& cards, ExtensionSource extension, ChallengeSink challenge);

    // Interprets one received block. The text ends at its first NUL byte. The
    // bytes are copied first: a nested run may be handed the next block in the
    // very buffer this one came in.
    void interpret(QByteArrayView block) const;

private:
    CallCardOperations& m_cards;
    ExtensionSource m_extension;
    ChallengeSink m_challenge;
};
