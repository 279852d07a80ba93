#include "managersession.h"

#include "simulatedpbx.h"
#include "supervision/md5.h"

#include <QDateTime>
#include <QRandomGenerator>

#include <algorithm>

namespace pbxsim {

namespace {

bool isYes(const QByteArray& value)
{
    static const QByteArrayList yes = {"on", "yes", "true", "y", "t", "1", "all"};
    return yes.contains(value.trimmed().toLower());
}

bool isNo(const QByteArray& value)
{
    static const QByteArrayList no = {"off", "no", "false", "n", "f", "0"};
    return no.contains(value.trimmed().toLower());
}

// The classes of an event: its Privilege list without the catch-all "all".
QByteArrayList eventClasses(const ManagerMessage& event)
{
    QByteArrayList classes;
    for (const QByteArray& item : event.value("Privilege").split(',')) {
        const QByteArray name = item.trimmed().toLower();
        if (!name.isEmpty() && name != "all")
            classes.append(name);
    }
    return classes;
}

} // namespace

ManagerSession::ManagerSession(SimulatedPbx& pbx, const SessionSettings& settings, QObject* parent)
    : QObject(parent), m_pbx(pbx), m_settings(settings)
{
    m_replayTimer.setSingleShot(true);
    connect(&m_replayTimer, &QTimer::timeout, this, &ManagerSession::replayNext);
    connect(&m_pbx, &SimulatedPbx::eventRaised, this, &ManagerSession::forward);
}

void ManagerSession::start()
{
    emit output(QByteArray(m_pbx.writer().snapshots() ? ModernBanner : Banner));
}

void ManagerSession::receive(const QByteArray& bytes)
{
    for (const ReceivedAction& action : m_reader.feed(bytes)) {
        emit actionReceived(action.raw);
        handle(action);
    }
}

void ManagerSession::handle(const ReceivedAction& received)
{
    const ManagerMessage& action = received.message;
    const QByteArray name = action.value("Action").trimmed().toLower();
    if (name.isEmpty()) {
        error(action, "Missing action in request");
        return;
    }
    if (name == "login") {
        login(action);
        return;
    }
    if (name == "challenge") {
        challenge(action);
        return;
    }
    if (name == "logoff") {
        respond(action, "Goodbye", {{"Message", "Thanks for all the fish."}});
        emit finished();
        return;
    }
    if (!m_loggedIn) {
        error(action, "Permission denied");
        return;
    }
    if (name == "ping") {
        const QByteArray now = QByteArray::number(QDateTime::currentMSecsSinceEpoch() / 1000.0, 'f', 6);
        respond(action, "Success", {{"Ping", "Pong"}, {"Timestamp", now}});
    } else if (name == "events") {
        events(action);
    } else if (name == "originate") {
        originate(action);
    } else if (name == "redirect") {
        redirect(action);
    } else if (name == "hangup") {
        hangup(action);
    } else if (name == "blindtransfer") {
        blindTransfer(action);
    } else if (name == "status") {
        status(action);
    } else {
        error(action, "Invalid/unknown command");
    }
}

void ManagerSession::respond(const ManagerMessage& action, const QByteArray& response,
                             const QList<QPair<QByteArray, QByteArray>>& headers)
{
    ManagerMessage reply;
    reply.add("Response", response);
    if (action.has("ActionID"))
        reply.add("ActionID", action.value("ActionID"));
    for (const auto& [name, value] : headers)
        reply.add(name, value);
    emit output(reply.toWire());
}

void ManagerSession::error(const ManagerMessage& action, const QByteArray& message)
{
    respond(action, "Error", {{"Message", message}});
}

void ManagerSession::success(const ManagerMessage& action, const QByteArray& message)
{
    respond(action, "Success", {{"Message", message}});
}

void ManagerSession::login(const ManagerMessage& action)
{
    // Asterisk answers a second login on an open session without looking at
    // it, so the settings of the first login, its Events among them, stay.
    if (m_loggedIn) {
        success(action, "Already authenticated");
        return;
    }
    if (!validCredentials(action)) {
        // As Asterisk does: the answer, then the end of the session.
        error(action, "Authentication failed");
        emit finished();
        return;
    }
    m_loggedIn = true;
    if (action.has("Events"))
        setEventMask(action.value("Events"));
    success(action, "Authentication accepted");
    emit loggedInNow();
    if (const auto booted = m_pbx.writer().fullyBooted())
        forward(*booted);
    if (!m_settings.replayBlocks.isEmpty() && eventsOn()) {
        m_replayNext = 0;
        replayNext();
    }
}

bool ManagerSession::validCredentials(const ManagerMessage& action) const
{
    // Asterisk finds the manager account by its name without regard to case.
    if (action.value("Username").compare(m_settings.user, Qt::CaseInsensitive) != 0)
        return false;
    if (action.value("AuthType").trimmed().compare("MD5", Qt::CaseInsensitive) == 0) {
        // A key is only good against the challenge issued on this connection.
        if (m_challenge.isEmpty())
            return false;
        const QByteArray expected = DigestHex(TextDigest(m_challenge + m_settings.secret));
        return action.value("Key").trimmed().compare(expected, Qt::CaseInsensitive) == 0;
    }
    return action.has("Secret") && action.value("Secret") == m_settings.secret;
}

void ManagerSession::challenge(const ManagerMessage& action)
{
    if (action.value("AuthType").trimmed().compare("MD5", Qt::CaseInsensitive) != 0) {
        error(action, "Must specify AuthType");
        return;
    }
    // One challenge per connection: asking again gives the same one.
    if (m_challenge.isEmpty())
        m_challenge = QByteArray::number(QRandomGenerator::global()->bounded(100000000, 2147483647));
    respond(action, "Success", {{"Challenge", m_challenge}});
}

void ManagerSession::events(const ManagerMessage& action)
{
    setEventMask(action.value("EventMask"));
    respond(action, "Success", {{"Events", eventsOn() ? "On" : "Off"}});
}

void ManagerSession::setEventMask(const QByteArray& mask)
{
    m_eventClasses.clear();
    m_allEvents = isYes(mask);
    if (m_allEvents || isNo(mask))
        return;
    for (const QByteArray& item : mask.split(',')) {
        const QByteArray name = item.trimmed().toLower();
        if (!name.isEmpty())
            m_eventClasses.append(name);
    }
}

bool ManagerSession::wants(const ManagerMessage& event) const
{
    if (!m_loggedIn)
        return false;
    if (m_allEvents)
        return true;
    const QByteArrayList classes = eventClasses(event);
    return std::any_of(classes.cbegin(), classes.cend(),
                       [&](const QByteArray& name) { return m_eventClasses.contains(name); });
}

void ManagerSession::status(const ManagerMessage& action)
{
    // The list goes to the client that asked, whatever its events setting.
    success(action, "Channel status will follow");
    const QList<Channel> channels = m_pbx.channels();
    const auto withActionId = [&action](ManagerMessage event) {
        if (action.has("ActionID"))
            event.add("ActionID", action.value("ActionID"));
        return event.toWire();
    };
    for (const Channel& channel : channels)
        emit output(withActionId(m_pbx.writer().status(channel)));
    emit output(withActionId(m_pbx.writer().statusComplete(channels.size())));
}

void ManagerSession::forward(const ManagerMessage& event)
{
    if (wants(event))
        emit output(event.toWire());
}

void ManagerSession::replayNext()
{
    if (m_replayNext >= m_settings.replayBlocks.size())
        return;
    emit output(m_settings.replayBlocks.at(m_replayNext++));
    if (m_replayNext < m_settings.replayBlocks.size())
        m_replayTimer.start(m_settings.replayGapMs);
}

void ManagerSession::originate(const ManagerMessage& action)
{
    const QByteArray channel = action.value("Channel").trimmed();
    if (channel.isEmpty()) {
        error(action, "Channel not specified");
        return;
    }
    if (channel.indexOf('/') <= 0 || channel.endsWith('/')) {
        error(action, "Invalid channel");
        return;
    }
    success(action, "Originate successfully queued");
    m_pbx.originate(channel, action.value("Context").trimmed(), action.value("Exten").trimmed(),
                    action.value("CallerID"));
}

void ManagerSession::redirect(const ManagerMessage& action)
{
    const QByteArray channel = action.value("Channel").trimmed();
    const QByteArray extra = action.value("ExtraChannel").trimmed();
    if (channel.isEmpty()) {
        error(action, "Channel not specified");
        return;
    }
    for (const QByteArray& name : {channel, extra}) {
        if (!name.isEmpty() && !m_pbx.find(name)) {
            error(action, "Channel does not exist: " + name);
            return;
        }
    }
    success(action, extra.isEmpty() ? "Redirect successful" : "Dual Redirect successful");
    m_pbx.redirect(channel, action.value("Context").trimmed(), action.value("Exten").trimmed(), extra,
                   action.value("ExtraContext").trimmed(), action.value("ExtraExten").trimmed());
}

QByteArray ManagerSession::existingChannel(const ManagerMessage& action)
{
    const QByteArray channel = action.value("Channel").trimmed();
    if (channel.isEmpty()) {
        error(action, "No channel specified");
        return {};
    }
    if (!m_pbx.find(channel)) {
        error(action, "No such channel");
        return {};
    }
    return channel;
}

void ManagerSession::hangup(const ManagerMessage& action)
{
    const QByteArray channel = existingChannel(action);
    if (channel.isEmpty())
        return;
    success(action, "Channel Hungup");
    m_pbx.hangup(channel);
}

void ManagerSession::blindTransfer(const ManagerMessage& action)
{
    const QByteArray channel = existingChannel(action);
    if (channel.isEmpty())
        return;
    const QByteArray exten = action.value("Exten").trimmed();
    if (exten.isEmpty()) {
        error(action, "No extension specified");
        return;
    }
    // The reply comes first, then the events of the transfer.
    if (!m_pbx.find(m_pbx.find(channel)->bridgedWith)) {
        error(action, "Transfer failed");
        return;
    }
    success(action, "Transfer succeeded");
    m_pbx.blindTransfer(channel, action.value("Context").trimmed(), exten);
}

} // namespace pbxsim
