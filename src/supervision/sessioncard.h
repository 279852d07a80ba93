#pragma once

#include "supervision/callcardoperations.h"

#include <QByteArray>
#include <QByteArrayList>

// The card that tells the manager session's state while it is not logged in:
// disconnected, or refused. It lives in the attached card list under its own
// key, beside the calls' cards.
class SessionCard
{
public:
    // The main window's card TFrame4 knows the session's card by the same key.
    static const QByteArray Key;

    explicit SessionCard(CallCardOperations& cards) : m_cards(cards) {}

    // The session closed; a refusal stays shown, it says more than the
    // disconnection that follows it.
    void showDisconnected();
    void showRefused();
    // The login was accepted.
    void remove();
    bool shown() const;
    // The keys of the calls' cards, without the session's.
    QByteArrayList callKeys() const;

private:
    // The same text again changes nothing: a login refused at every retry
    // must not make the card flicker.
    void show(const QByteArray& sda);

    CallCardOperations& m_cards;
    QByteArray m_sda; // what the card says
};
