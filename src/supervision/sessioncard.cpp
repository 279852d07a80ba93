#include "supervision/sessioncard.h"

namespace {

// "/ Attention Déconnecté", in the code page of every text the cards take.
const QByteArray DisconnectedSda = QByteArrayLiteral("/ Attention D\xe9"
                                                     "connect\xe9");
// "/ Attention Accès refusé": the manager refused the login.
const QByteArray RefusedSda = QByteArrayLiteral("/ Attention Acc\xe8s refus\xe9");

} // namespace

const QByteArray SessionCard::Key = QByteArrayLiteral("100.cvl");

void SessionCard::showDisconnected()
{
    if (!shown())
        show(DisconnectedSda);
}

void SessionCard::showRefused()
{
    show(RefusedSda);
}

void SessionCard::remove()
{
    if (m_cards)
        m_cards->RemoveCallCard(Key);
}

bool SessionCard::shown() const
{
    return m_cards && m_cards->HasCallCard(Key);
}

QByteArrayList SessionCard::callKeys() const
{
    QByteArrayList keys = m_cards ? m_cards->callCardKeys() : QByteArrayList();
    keys.removeAll(Key);
    return keys;
}

void SessionCard::show(const QByteArray& sda)
{
    if (!m_cards)
        return;
    if (m_cards->HasCallCard(Key)) {
        if (m_sda == sda)
            return;
        m_cards->RemoveCallCard(Key);
    }
    m_sda = sda;
    m_cards->AddRingingCard(QByteArray(), sda, Key, QByteArrayLiteral("00"));
}
