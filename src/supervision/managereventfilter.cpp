#include "supervision/managereventfilter.h"

#include "supervision/manageraction.h"
#include "supervision/managermessages.h"

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

QByteArray ManagerEventFilter::read(QByteArrayView text)
{
    if (m_awaited == 0 || !text.contains(ActionIdPrefix))
        return {};
    bool refused = false;
    ManagerMessages::forEach(text, [&](QByteArrayView message) {
        using ManagerMessages::headerValue;
        if (m_awaited == 0 || !headerValue(message, "ActionID").startsWith(ActionIdPrefix) ||
            headerValue(message, "Response").isEmpty())
            return;
        --m_awaited;
        if (headerValue(message, "Response").compare("Success", Qt::CaseInsensitive) != 0) {
            refused = true;
            m_awaited = 0;
        }
    });
    return refused ? callEventsText() : QByteArray();
}

QByteArray ManagerEventFilter::callEventsText()
{
    return ManagerAction("Events").header("ActionID", OwnActionIdPrefix + "events").header("EventMask", "call").text();
}
