#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

#include <functional>

// Turns received manager text into card operations for the user's own phone.
// The console keeps one interpretation per mode and hands it the text that the
// message assembler releases, in the order it was received.
class EventInterpretation
{
public:
    // Gives the extension typed by the user, read at the moment of use.
    using ExtensionSource = std::function<QByteArray()>;
    // Receives each login challenge the manager sends, trimmed.
    using ChallengeSink = std::function<void(const QByteArray&)>;

    virtual ~EventInterpretation() = default;

    // Interprets one hand-over of received text, whole: the card operations
    // it calls run no event loop.
    virtual void interpret(QByteArrayView text) = 0;
    // Forgets whatever a closed session left half read.
    virtual void reset() {}
    // The Uniqueids of the phone's other legs in the call of the card keyed
    // cardKey (the devices of one user, all rung for one call), as far as the
    // interpretation knows them.
    virtual QByteArrayList otherLegs(const QByteArray& /*cardKey*/) const { return {}; }
};
