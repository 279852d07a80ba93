#pragma once

#include "supervision/callcardoperations.h"

#include <QByteArray>

// Stands between the console and the main window's card list, counting the
// operations it passes on, so the figures show that the interpretation ran.
// Those on the ignored key (the console's disconnection card) are not counted.
class ForwardingCardCounter : public CallCardOperations
{
public:
    ForwardingCardCounter(CallCardOperations& cards, QByteArray ignoredKey);

    void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                        const QByteArray& channel) override;
    void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override;
    void OpenCallerAgenda(const QByteArray& key) override;
    void RemoveCallCard(const QByteArray& key) override;
    bool HasCallCard(const QByteArray& key) const override;
    QByteArray callCardKeyForChannel(const QByteArray& channel) const override;
    QByteArrayList callCardKeys() const override;

    qsizetype operations() const { return m_ringing + m_answered + m_agendas + m_removals; }
    qsizetype ringing() const { return m_ringing; }
    qsizetype answered() const { return m_answered; }

private:
    CallCardOperations& m_cards;
    QByteArray m_ignoredKey;
    qsizetype m_ringing = 0;
    qsizetype m_answered = 0;
    qsizetype m_agendas = 0;
    qsizetype m_removals = 0;
};
