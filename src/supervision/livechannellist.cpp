#include "supervision/livechannellist.h"

#include "supervision/manageraction.h"
#include "supervision/managertext.h"

#include <utility>

const QByteArray LiveChannelList::ActionId = QByteArrayLiteral("corvaline-status");

QByteArray LiveChannelList::actionText()
{
    return ManagerAction("Status").header("ActionID", ActionId).text();
}

void LiveChannelList::requested(const QByteArrayList& cardKeys, const OtherLegs& otherLegs)
{
    m_awaited = true;
    m_complete = false;
    m_unseen = QSet<QByteArray>(cardKeys.begin(), cardKeys.end());
    m_cardOfLeg.clear();
    for (const QByteArray& card : cardKeys) {
        m_cardOfLeg.insert(card, card);
        if (otherLegs) {
            for (const QByteArray& leg : otherLegs(card))
                m_cardOfLeg.insert(leg, card);
        }
    }
}

void LiveChannelList::reset()
{
    m_awaited = false;
}

bool LiveChannelList::read(QByteArrayView text)
{
    return m_awaited && read(ManagerText(text.toByteArray()));
}

bool LiveChannelList::read(const ManagerText& text)
{
    if (!m_awaited)
        return false;
    for (const ManagerMessage& message : text.messages()) {
        for (const char* name : {"Uniqueid", "Uniqueid1", "Uniqueid2", "DestUniqueID"}) {
            if (const QByteArrayView leg = message.header(name); !leg.isEmpty())
                m_unseen.remove(m_cardOfLeg.value(leg.toByteArray()));
        }
        if (message.header("ActionID") != ActionId)
            continue;
        m_complete = message.header("Event").compare("StatusComplete", Qt::CaseInsensitive) == 0;
        if (m_complete || message.header("Response").compare("Error", Qt::CaseInsensitive) == 0) {
            m_awaited = false;
            break;
        }
    }
    return std::exchange(m_complete, false);
}
