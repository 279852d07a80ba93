#include "supervision/livechannellist.h"

#include "supervision/manageraction.h"
#include "supervision/managermessages.h"

#include <utility>

using ManagerMessages::headerValue;

const QByteArray LiveChannelList::ActionId = QByteArrayLiteral("corvaline-status");

QByteArray LiveChannelList::actionText()
{
    return ManagerAction("Status").header("ActionID", ActionId).text();
}

void LiveChannelList::requested(const QByteArrayList& cardKeys)
{
    m_awaited = true;
    m_complete = false;
    m_unseen = QSet<QByteArray>(cardKeys.begin(), cardKeys.end());
}

void LiveChannelList::reset()
{
    m_awaited = false;
}

bool LiveChannelList::read(QByteArrayView text)
{
    if (!m_awaited)
        return false;
    ManagerMessages::forEach(text, [this](QByteArrayView message) {
        if (!m_awaited)
            return;
        for (const char* name : {"Uniqueid", "Uniqueid1", "Uniqueid2", "DestUniqueID"}) {
            if (const QByteArrayView key = headerValue(message, name); !key.isEmpty())
                m_unseen.remove(key.toByteArray());
        }
        if (headerValue(message, "ActionID") != ActionId)
            return;
        m_complete = headerValue(message, "Event").compare("StatusComplete", Qt::CaseInsensitive) == 0;
        if (m_complete || headerValue(message, "Response").compare("Error", Qt::CaseInsensitive) == 0)
            m_awaited = false;
    });
    return std::exchange(m_complete, false);
}
