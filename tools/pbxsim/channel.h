#pragma once

#include <QByteArray>

namespace pbxsim {

// Asterisk channel states, with the numbers the newer managers print.
enum class ChannelState
{
    Down = 0,
    Ring = 4,
    Ringing = 5,
    Up = 6,
};

// One leg of a call inside the simulated PBX.
struct Channel
{
    QByteArray name;     // "SIP/100-0000001a"
    QByteArray uniqueId; // "1354321234.26", the same in every event of the channel
    QByteArray callerNum;
    QByteArray callerName;
    QByteArray connectedNum; // the other party, as the newer managers report it
    QByteArray connectedName;
    QByteArray context;
    QByteArray exten;
    int priority = 1;
    QByteArray linkedId; // the uniqueid of the first channel of the call, on every leg
    ChannelState state = ChannelState::Down;
    QByteArray bridgedWith; // name of the channel it talks to, empty when none
    QByteArray bridgeId;    // the bridge both share, for the managers that report bridges as objects
    QByteArray dialledBy;   // name of the channel whose Dial created it, empty when none
};

// Channel names compare as Asterisk compares them: without regard to case.
inline bool sameName(const QByteArray& first, const QByteArray& second)
{
    return first.compare(second, Qt::CaseInsensitive) == 0;
}

} // namespace pbxsim
