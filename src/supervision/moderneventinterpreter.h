#pragma once

#include "supervision/callcardoperations.h"
#include "supervision/eventinterpretation.h"
#include "supervision/phonecalls.h"
#include "supervision/recentkeys.h"

#include <QByteArray>
#include <QByteArrayList>

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

// The modern interpretation, made for Asterisk 12 to 22 with chan_sip or PJSIP
// (and sound on older managers too). Unlike the classic one it reads whole
// manager messages: a message is the run of non-empty lines up to an empty line,
// or up to an Event line when it already holds an Event or Response header, or
// a Response line when it already holds a Response. A message is interpreted
// once, when it ends, from its own headers (the first of each name counts), and
// the parse carries across hand-overs, so where the text was cut never changes
// the result.
//
// Only the Channel header names the user's channel (TECH/extension or
// TECH/extension-..., TECH one of the given technologies), its Uniqueid is the
// card's key, and:
// - Newchannel, Newstate or Status (a line of the live channel list) ringing
//   adds a ringing card;
// - the same up, or DialEnd ANSWER, answers the card and opens
//   the caller's agenda once per key; without a card it creates one only when
//   the other party is known, so that the dialplan answering the phone's own
//   leg on an outgoing call shows nothing yet;
// - Hangup removes the card, or the card of its channel when the key has none
//   (older managers give a masqueraded channel a new Uniqueid), and its key
//   never gets a card again;
// - legs of the phone that ring for one call (same Linkedid: one user, several
//   devices) share one card, answered when one of them answers (the card then
//   acts on that device's channel) and removed when the last one goes;
// - NewConnectedLine names the other party anew on a carded channel (the far
//   end of a call the phone places, a transfer, a pickup): the card shows it;
// - DialEnd ANSWER naming a carded channel as Channel or DestChannel names the
//   channel the phone is bridged with, the other party's own leg, which a
//   transfer moves away from the phone.
// The phone's own number is never taken for the other party: a call that the
// dial window places rings the phone with the phone's own caller id, so its
// card shows the number dialled, or nothing, until the PBX names the far end,
// and is answered (its agenda page opened) only once that party is known.
// Challenges are reported only from responses, never from security events.
// A line longer than ManagerMessages::MaxLineLength is dropped unread.
class ModernEventInterpreter : public EventInterpretation
{
public:
    ModernEventInterpreter(CallCardOperations& cards, ExtensionSource extension, ChallengeSink challenge,
                           QByteArrayList technologies = {QByteArrayLiteral("SIP"), QByteArrayLiteral("PJSIP")});

    void interpret(QByteArrayView text) override;
    void reset() override;
    QByteArrayList otherLegs(const QByteArray& cardKey) const override;

    // The dial window has asked the PBX to ring the phone for a call to
    // number: the next leg of the phone rung for a call it places (its
    // connected line names the phone itself) shows that number until the PBX
    // names the far party. A later call replaces an earlier one.
    void expectPlacedCall(const QByteArray& number) { m_dialled = number; }

    // The other party's channel in the answered call of the card that acts on
    // the channel, empty while no dial named it.
    QByteArray bridgedPeer(const QByteArray& cardChannel) const;

    // The headers the interpretation reads; every other one is skipped.
    enum Field : std::uint8_t
    {
        Event,
        Response,
        Channel,
        Uniqueid,
        ChannelState,
        ChannelStateDesc,
        State,
        ConnectedLineNum,
        ConnectedLineName,
        CallerIdNum,
        CallerIdName,
        CallerId,
        DialStatus,
        DestCallerIdNum,
        DestCallerIdName,
        Challenge,
        Linkedid,
        DestChannel,
        DestUniqueid,
        FieldCount,
    };

private:
    // The message being read. Values point into the text being interpreted and
    // are copied into the message's own storage when the message outlives it.
    struct Message
    {
        bool has(Field field) const { return present & (1u << field); }
        std::string_view value(Field field) const { return has(field) ? values[field] : std::string_view(); }

        std::uint32_t present = 0;
        std::uint32_t owned = 0;
        bool hasLines = false;
        std::array<std::string_view, FieldCount> values;
        std::array<std::string, FieldCount> storage;
    };

    // What an ended message asks of the cards. The steps of a hand-over are
    // carried out once it is read whole, in the order of the stream: a run
    // entered again from one of them queues its steps behind the ones still
    // waiting.
    struct Step
    {
        enum Kind
        {
            ReportChallenge,
            Ring,
            Answer,
            HangUp,
            NameParty, // the connected line changed
            NamePeer,  // an answered dial joined the leg with the other party's
        };
        Kind kind;
        QByteArray key; // the challenge for ReportChallenge
        QByteArray channel;
        QByteArray number;
        QByteArray sda;
        QByteArray linkedid;
        bool otherPartyKnown = false; // an answer may create its card
        // The connected line names the user's own phone: the PBX rings it for
        // a call it places (Originate with the phone's own caller id).
        bool partyIsUser = false;
        bool up = false;   // NameParty: the leg is answered
        QByteArray peer{}; // NamePeer: the other party's channel
    };

    void read(std::string_view text);
    void readLine(std::string_view line, bool transient);
    void setField(Field field, std::string_view value, bool transient);
    void endMessage();
    void keepOpenMessage();
    void collectSteps(const Message& message);
    void collectCardSteps(const Message& message);
    void collectPeer(const Message& message);
    bool isUsersChannel(std::string_view channel) const;

    void run(const Step& step);
    void ring(const Step& step);
    void answer(const Step& step);
    void answerCard(const QByteArray& card);
    void nameParty(const Step& step);
    void hangUp(const Step& step);
    void namePeer(const Step& step);
    // The number the dial window called, for the card of the call it placed.
    QByteArray takeDialled();

    CallCardOperations& m_cards;
    ExtensionSource m_extensionSource;
    ChallengeSink m_challenge;
    QByteArrayList m_technologies;

    QByteArray m_extension; // read once per hand-over
    Message m_message;
    std::string m_partialLine;   // a line the last hand-over ended inside
    bool m_skippingLine = false; // inside a line longer than ManagerMessages::MaxLineLength
    bool m_afterCr = false;      // the last hand-over ended with a CR
    std::deque<Step> m_steps;
    RecentKeys m_answered; // calls whose card was answered and agenda opened
    RecentKeys m_hungUp;   // calls that ended: they never get a card again
    PhoneCalls m_calls;    // the calls the cards show, with their legs
    QByteArray m_dialled;  // awaiting its ringing leg
};
