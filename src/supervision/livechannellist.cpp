#include "supervision/livechannellist.h"

#include "supervision/manageraction.h"
#include "supervision/managertext.h"

#include <utility>

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
    return m_awaited && read(ManagerText(text.toByteArray()));
}

bool LiveChannelList::read(const ManagerText& text)
{
    if (!m_awaited)
        return false;
    for (const ManagerMessage& message : text.messages()) {
        for (const char* name : {"Uniqueid", "Uniqueid1", "Uniqueid2", "DestUniqueID"}) {
            if (const QByteArrayView key = message.header(name); !key.isEmpty())
                m_unseen.remove(key.toByteArray());
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
