#include "supervision/managereventfilter.h"

#include "supervision/manageraction.h"
#include "supervision/managertext.h"

#include <utility>

const QByteArray ManagerEventFilter::OwnActionIdPrefix = QByteArrayLiteral("corvaline-");
const QByteArray ManagerEventFilter::ActionIdPrefix = QByteArrayLiteral("corvaline-filter-");

namespace {

// Events a manager sends by the dozen for every call, that the cards never read.
const QByteArray Chatter = QByteArrayLiteral("!^Event: (VarSet|Newexten|RTCPSent|RTCPReceived)[[:space:]]");

} // namespace

ManagerEventFilter::ManagerEventFilter(QByteArrayList technologies) : m_technologies(std::move(technologies)) {}

QByteArray ManagerEventFilter::literalPattern(QByteArrayView text)
{
    QByteArray pattern;
    for (const char c : text) {
        if (QByteArrayView(".[]()*+?{}|^$\\").contains(c))
            pattern.append('\\');
        pattern.append(c);
    }
    return pattern;
}

QByteArray ManagerEventFilter::actionsText(const QByteArray& extension)
{
    QByteArrayList technologies;
    for (const QByteArray& technology : m_technologies)
        technologies.append(literalPattern(technology));
    // "Channel: " also ends "DestChannel: ": the Dial events that ring the phone.
    const QByteArrayList filters = {
        "Channel: (" + technologies.join('|') + ")/" + literalPattern(extension) + '-',
        "ActionID: " + literalPattern(OwnActionIdPrefix),
        Chatter,
    };
    QByteArray text;
    for (qsizetype i = 0; i < filters.size(); ++i) {
        text += ManagerAction("Filter")
                    .header("ActionID", ActionIdPrefix + QByteArray::number(i + 1))
                    .header("Operation", "Add")
                    .header("Filter", filters[i])
                    .text();
    }
    m_awaited = int(filters.size());
    return text;
}

QByteArray ManagerEventFilter::read(const ManagerText& text)
{
    if (m_awaited == 0 || !text.text().contains(ActionIdPrefix))
        return {};
    for (const ManagerMessage& message : text.messages()) {
        if (!message.header("ActionID").startsWith(ActionIdPrefix) || message.header("Response").isEmpty())
            continue;
        --m_awaited;
        if (message.header("Response").compare("Success", Qt::CaseInsensitive) != 0) {
            m_awaited = 0;
            return callEventsText();
        }
        if (m_awaited == 0)
            break;
    }
    return {};
}

QByteArray ManagerEventFilter::callEventsText()
{
    return ManagerAction("Events").header("ActionID", OwnActionIdPrefix + "events").header("EventMask", "call").text();
}
