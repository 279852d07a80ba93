#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

// What one desk asks the manager to send it. A manager sends every event of
// the office to every session, so a desk on a busy PBX reads megabytes an hour
// for a handful of calls of its own phone. Once its login is accepted, the
// desk adds filters to its own session: only the events that name a channel
// of its phone (as Channel or DestChannel) and whatever carries the desk's own
// ActionIDs pass, and the dialplan's chatter about the phone (VarSet,
// Newexten, RTCP reports) stays behind. Responses and the lists that answer
// actions (Status, CoreShowChannels) are not events: filters never hold them.
//
// Adding filters needs the manager user's "system" write class. A manager
// that refuses one ("Permission denied") gets the request for the "call"
// class of events alone instead, which is what the cards read.
class ManagerEventFilter
{
public:
    // Every ActionID of the program's own actions starts with it.
    static const QByteArray OwnActionIdPrefix;
    static const QByteArray ActionIdPrefix; // of the filter actions

    explicit ManagerEventFilter(QByteArrayList technologies = {QByteArrayLiteral("SIP"), QByteArrayLiteral("PJSIP")});

    // The filter actions for the phone of that extension; their answers are
    // awaited from now on.
    QByteArray actionsText(const QByteArray& extension);
    // Reads whole messages for the answers to the filter actions. Returns the
    // request for call events alone the first time the manager refuses one,
    // empty otherwise.
    QByteArray read(QByteArrayView text);
    // A new session: nothing awaited.
    void reset() { m_awaited = 0; }

    // The request for the "call" class of events alone.
    static QByteArray callEventsText();
    // The text escaped so that an extended regular expression matches it as
    // it is.
    static QByteArray literalPattern(QByteArrayView text);

private:
    QByteArrayList m_technologies;
    int m_awaited = 0; // filter answers still to come
};
