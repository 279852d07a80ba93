// The modern interpretation's second half: the steps read from a text's
// messages, carried out on the cards in the order they were read.
#include "supervision/moderneventinterpreter.h"

#include <utility>

void ModernEventInterpreter::run(const Step& step)
{
    switch (step.kind) {
    case Step::ReportChallenge:
        m_challenge(step.key);
        return;
    case Step::Ring:
        ring(step);
        return;
    case Step::Answer:
        answer(step);
        return;
    case Step::NameParty:
        nameParty(step);
        return;
    case Step::HangUp:
        hangUp(step);
        return;
    case Step::NamePeer:
        namePeer(step);
        return;
    }
}

QByteArray ModernEventInterpreter::takeDialled()
{
    return std::exchange(m_dialled, QByteArray());
}

void ModernEventInterpreter::ring(const Step& step)
{
    if (m_hungUp.contains(step.key) || !m_calls.cardOf(step.key).isEmpty() || m_cards.HasCallCard(step.key))
        return;
    // Another device of the user ringing for the same call.
    if (const QByteArray card = m_calls.ringingCard(step.linkedid); !card.isEmpty() && m_cards.HasCallCard(card)) {
        m_calls.addLeg(card, step.key, step.channel);
        return;
    }
    const QByteArray number = step.partyIsUser ? takeDialled() : step.number;
    const QByteArray sda = step.partyIsUser ? QByteArray() : step.sda;
    m_calls.prune([this](const QByteArray& card) { return m_cards.HasCallCard(card); });
    m_calls.add(step.key, step.linkedid, step.channel, number, sda).partyAwaited = step.partyIsUser && number.isEmpty();
    // The phone rung with its own caller id: a call it places.
    if (step.partyIsUser)
        m_cards.AddPlacedCallCard(number, sda, step.key, step.channel);
    else
        m_cards.AddRingingCard(number, sda, step.key, step.channel);
}

void ModernEventInterpreter::answer(const Step& step)
{
    if (m_hungUp.contains(step.key))
        return;
    const QByteArray card = m_calls.cardOf(step.key);
    PhoneCalls::Call* call = m_calls.call(card);
    if (!call || !m_cards.HasCallCard(card)) {
        if (m_answered.contains(step.key))
            return;
        if (m_cards.HasCallCard(step.key)) {
            m_answered.insert(step.key);
            m_cards.ShowConnectedCall(step.number, step.sda, step.key, step.channel);
            m_cards.OpenCallerAgenda(step.key);
            return;
        }
        // A phone that answers the call it places without ringing first.
        const QByteArray number = step.partyIsUser ? takeDialled() : step.number;
        if (!step.otherPartyKnown && number.isEmpty())
            return;
        m_calls.add(step.key, step.linkedid, step.channel, number, step.sda).answered = true;
        answerCard(step.key);
        return;
    }
    const bool otherDevice = !call->answered && call->channel != step.channel;
    call->answered = true;
    const bool named = !step.number.isEmpty() && (call->number != step.number || call->sda != step.sda);
    if (otherDevice)
        call->channel = step.channel; // another device of the user took the call
    if (named) {
        call->number = step.number;
        call->sda = step.sda;
        call->partyAwaited = false;
    }
    if (otherDevice || named)
        m_cards.UpdateCallCard(card, call->number, call->sda, call->channel);
    // The agenda waits for the other party to be named.
    if (!call->partyAwaited)
        answerCard(card);
}

void ModernEventInterpreter::answerCard(const QByteArray& card)
{
    if (m_answered.contains(card))
        return;
    m_answered.insert(card);
    const PhoneCalls::Call call = *m_calls.call(card);
    m_cards.ShowConnectedCall(call.number, call.sda, card, call.channel);
    m_cards.OpenCallerAgenda(card);
}

void ModernEventInterpreter::nameParty(const Step& step)
{
    if (step.number.isEmpty() || m_hungUp.contains(step.key))
        return;
    const QByteArray card = m_calls.cardOf(step.key);
    PhoneCalls::Call* call = m_calls.call(card);
    if (!call || !m_cards.HasCallCard(card))
        return;
    if (step.up)
        return answer(step);
    if (call->number != step.number || call->sda != step.sda) {
        call->number = step.number;
        call->sda = step.sda;
        call->partyAwaited = false;
        m_cards.UpdateCallCard(card, step.number, step.sda, call->channel);
    }
}

void ModernEventInterpreter::hangUp(const Step& step)
{
    m_hungUp.insert(step.key);
    if (const QByteArray card = m_calls.cardOf(step.key); !card.isEmpty()) {
        const QByteArray channel = m_calls.call(card)->channel;
        if (!m_calls.removeLeg(step.key)) {
            // Another device of the user still has the call.
            if (const PhoneCalls::Call* call = m_calls.call(card); call && call->channel != channel)
                m_cards.UpdateCallCard(card, call->number, call->sda, call->channel);
            return;
        }
        m_hungUp.insert(card);
        m_cards.RemoveCallCard(card);
        return;
    }
    const bool hadCard = m_cards.HasCallCard(step.key);
    m_cards.RemoveCallCard(step.key);
    if (hadCard)
        return;
    const QByteArray masqueraded = m_cards.callCardKeyForChannel(step.channel);
    if (!masqueraded.isEmpty()) {
        m_hungUp.insert(masqueraded);
        m_calls.remove(masqueraded);
        m_cards.RemoveCallCard(masqueraded);
    }
}

void ModernEventInterpreter::namePeer(const Step& step)
{
    m_calls.namePeer(step.key, step.peer);
}

QByteArray ModernEventInterpreter::bridgedPeer(const QByteArray& cardChannel) const
{
    const PhoneCalls::Call* call = m_calls.call(m_cards.callCardKeyForChannel(cardChannel));
    return call ? call->peer : QByteArray();
}

QByteArrayList ModernEventInterpreter::otherLegs(const QByteArray& cardKey) const
{
    const PhoneCalls::Call* call = m_calls.call(cardKey);
    if (!call)
        return {};
    QByteArrayList legs = call->legs.keys();
    legs.removeAll(cardKey);
    return legs;
}
