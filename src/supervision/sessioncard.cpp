#include "supervision/sessioncard.h"

#include "config/cp1252.h"

#include <QCoreApplication>

namespace {

// In the code page of every text the cards take.
QByteArray cardText(const char* french)
{
    return Cp1252::fromUnicode(QCoreApplication::translate("SessionCard", french));
}

} // namespace

const QByteArray SessionCard::Key = QByteArrayLiteral("100.cvl");

void SessionCard::showDisconnected()
{
    if (!shown())
        show(cardText(QT_TRANSLATE_NOOP("SessionCard", "/ Attention Déconnecté")));
}

void SessionCard::showRefused()
{
    show(cardText(QT_TRANSLATE_NOOP("SessionCard", "/ Attention Accès refusé")));
}

void SessionCard::remove()
{
    m_cards.RemoveCallCard(Key);
}

bool SessionCard::shown() const
{
    return m_cards.HasCallCard(Key);
}

QByteArrayList SessionCard::callKeys() const
{
    QByteArrayList keys = m_cards.callCardKeys();
    keys.removeAll(Key);
    return keys;
}

void SessionCard::show(const QByteArray& sda)
{
    if (m_cards.HasCallCard(Key)) {
        if (m_sda == sda)
            return;
        m_cards.RemoveCallCard(Key);
    }
    m_sda = sda;
    m_cards.AddRingingCard(QByteArray(), sda, Key, QByteArrayLiteral("00"));
}
