#pragma once

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

// Produces manager text as a busy Asterisk 13 to 22 sends it: channel
// snapshots (ChannelState, ConnectedLine*, Linkedid), DialBegin/DialEnd with
// the Dest snapshot, bridges, HangupRequest and Hangup that still carries the
// state, and the dialplan's long VarSet/Newexten bursts. Several calls run at
// once and their events interleave; a few ring or are placed by the watched
// extension, on PJSIP or SIP, the rest by other phones (some whose number only
// starts with it). Every call ends before generate() returns. The same seed
// gives the same text.
class ManagerTextGenerator
{
public:
    ManagerTextGenerator(QByteArray extension, std::uint32_t seed);
    ~ManagerTextGenerator();

    // Appends messages until the text holds at least the given size, then ends
    // the calls still going.
    void generate(QByteArray& text, qsizetype size);

    // Messages with an Event header, and all messages (replies included).
    qsizetype eventCount() const { return m_events; }
    qsizetype messageCount() const { return m_messages; }
    qsizetype callCount() const { return m_calls; }
    // Calls with a leg on the watched extension; how often such a leg rang,
    // and how often it was answered with the other party known.
    qsizetype ownCallCount() const { return m_ownCalls; }
    qsizetype ownRingingCount() const { return m_ownRinging; }
    qsizetype ownAnsweredCount() const { return m_ownAnswered; }

private:
    struct Leg;
    struct Call;

    std::unique_ptr<Call> incomingCall();
    std::unique_ptr<Call> placedCall();
    // The leg's Newchannel and dialplan steps; answered by the dialplan itself
    // when asked (a voice menu, or a phone's own leg before the far end is known).
    void enterDialplan(Call& call, Leg& leg, int steps, bool answer);
    // Rings the callee; true when it answers, else it has hung up.
    bool dial(Call& call, const Leg& caller, Leg& callee, int answerPercent);
    void connectCall(Call& call, Leg& caller, Leg& callee);
    void hangUp(Call& call, Leg& leg, int cause);
    void dialplanBurst(Call& call, Leg& leg, int count);
    void dialEvent(Call& call, const char* name, const Leg& caller, const Leg& callee, const char* status);
    void stateChange(Call& call, Leg& leg, int state);
    void sessionMessage(QByteArray& text);

    Leg phoneLeg(const QByteArray& phone, bool own);
    Leg trunkLeg();
    QByteArray otherPhone();
    QByteArray nextUniqueid();
    QByteArray externalNumber();
    int pick(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(m_random); }
    int between(int low, int high) { return low + pick(high - low + 1); }

    QByteArray m_extension;
    std::mt19937 m_random;
    qsizetype m_events = 0;
    qsizetype m_messages = 0;
    qsizetype m_calls = 0;
    qsizetype m_ownCalls = 0;
    qsizetype m_ownRinging = 0;
    qsizetype m_ownAnswered = 0;
    std::uint64_t m_serial = 0;
    std::uint32_t m_channelSerial = 0;
};
