// The simulated PBX's transfers: a blind transfer and a redirect of one or
// two channels into the dialplan, as the manager's actions ask.
#include "simulatedpbx.h"

#include <algorithm>

namespace pbxsim {

void SimulatedPbx::blindTransfer(const QByteArray& channel, const QByteArray& context, const QByteArray& exten)
{
    const Channel* transferer = find(channel);
    const Channel* transferee = transferer ? find(transferer->bridgedWith) : nullptr;
    if (!transferee)
        return;
    if (m_writer.snapshots()) {
        raise(m_writer.blindTransfer(*transferer, *transferee, context, exten));
        raise(m_writer.hangupRequest(*transferer));
    }
    // The transferee leaves for the extension; the transferer, alone in the
    // bridge, is hung up with it.
    const QByteArray moved = transferee->name;
    redirect(moved, context, exten, {}, {}, {});
}

void SimulatedPbx::redirect(const QByteArray& channel, const QByteArray& context, const QByteArray& exten,
                            const QByteArray& extraChannel, const QByteArray& extraContext,
                            const QByteArray& extraExten)
{
    struct Move
    {
        QByteArray name;
        QByteArray context;
        QByteArray exten;
    };
    QList<Move> moves;
    for (const Move& wanted : {Move{channel, context, exten}, Move{extraChannel, extraContext, extraExten}}) {
        const Channel* found = find(wanted.name);
        if (found && std::none_of(moves.cbegin(), moves.cend(), [&](const Move& m) { return m.name == found->name; }))
            moves.append({found->name, wanted.context, wanted.exten});
    }
    const auto isMoved = [&](const QByteArray& name) {
        return std::any_of(moves.cbegin(), moves.cend(), [&](const Move& m) { return sameName(m.name, name); });
    };

    QList<QByteArray> orphans;
    for (const Move& move : std::as_const(moves)) {
        Channel* moved = findChannel(move.name);
        const QByteArray partner = moved->bridgedWith;
        const QByteArray dialler = moved->dialledBy;
        if (!partner.isEmpty())
            unbridge(*moved);
        moved->dialledBy.clear();
        moved->context = move.context;
        moved->exten = move.exten;
        for (const QByteArray& left : {partner, dialler}) {
            if (!left.isEmpty() && !isMoved(left) && !orphans.contains(left))
                orphans.append(left);
        }
    }
    // An orphan that the moved channel had dialled must not take it down when it
    // is hung up below.
    for (const QByteArray& orphan : std::as_const(orphans)) {
        if (Channel* left = findChannel(orphan); left && isMoved(left->dialledBy))
            left->dialledBy.clear();
    }
    for (const QByteArray& orphan : std::as_const(orphans)) {
        // Without the dialled channel: the modern managers closed the dial when it was answered.
        if (const Channel* left = find(orphan))
            raiseDialEnd(*left, "ANSWER");
        end(orphan);
    }

    // Two channels sent to the same extension meet there; one alone runs it.
    if (moves.size() == 2 && moves[0].exten == moves[1].exten && moves[0].context == moves[1].context) {
        raise(m_writer.newExten(*find(moves[0].name), "Bridge", moves[1].name));
        bridge(moves[0].name, moves[1].name);
        endLater(moves[0].name, moves[1].name);
        return;
    }
    for (const Move& move : std::as_const(moves))
        dialExtension(move.name, move.exten);
}

} // namespace pbxsim
