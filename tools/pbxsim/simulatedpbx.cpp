#include "simulatedpbx.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTimer>
#include <QUuid>

#include <algorithm>

namespace pbxsim {

namespace {

bool allDigits(const QByteArray& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Splits a caller id written "Name" <number>, Name <number> or number.
QPair<QByteArray, QByteArray> splitCallerId(const QByteArray& callerId)
{
    const qsizetype open = callerId.indexOf('<');
    const qsizetype close = callerId.indexOf('>', open + 1);
    if (open < 0 || close < 0)
        return {callerId.trimmed(), {}};
    QByteArray name = callerId.left(open).trimmed();
    if (name.size() >= 2 && name.startsWith('"') && name.endsWith('"'))
        name = name.mid(1, name.size() - 2);
    return {callerId.mid(open + 1, close - open - 1).trimmed(), name};
}

// The trunk towards the public network; internal phones are named after their
// extension.
constexpr char trunk[] = "SIP/ovh";

// What the office's trunk dialplan sets before it rings a phone: routing of the
// direct-dial number, caller id presentation, recording policy, call file name.
QList<QPair<QByteArray, QByteArray>> trunkDialplanVariables(const Channel& caller, const QByteArray& extension)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QByteArray stamp = now.toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1();
    const QByteArray sda = caller.callerName;
    return {
        {"__FROM_DID", sda},
        {"__DIRECTION", "INBOUND"},
        {"__CALLINGNUMPRES_SV", "allowed_not_screened"},
        {"__CALLINGNAMEPRES_SV", "allowed"},
        {"__MOHCLASS", "default"},
        {"__REC_POLICY_MODE", "dontcare"},
        {"__REC_STATUS", "INITIALIZED"},
        {"__MON_FMT", "wav"},
        {"NOW", QByteArray::number(now.toSecsSinceEpoch())},
        {"__DAY", now.toString(QStringLiteral("dd")).toLatin1()},
        {"__MONTH", now.toString(QStringLiteral("MM")).toLatin1()},
        {"__YEAR", now.toString(QStringLiteral("yyyy")).toLatin1()},
        {"__TIMESTR", stamp},
        {"__FROMEXTEN", caller.callerNum},
        {"__CALLFILENAME", "external-" + sda + '-' + caller.callerNum + '-' + stamp + '-' + caller.uniqueId},
        {"__TTL", "64"},
        {"__RINGTIMER", "30"},
        {"__EXTTOCALL", extension},
        {"__PICKUPMARK", extension},
        {"DIAL_OPTIONS", "HhTtrIb(func-apply-sipheaders^s^1)"},
        {"__SIGNORE", "TRUE"},
        {"RINGGROUP_INDEX", "1"},
        {"DB_RESULT", extension},
        {"GOSUB_RETVAL", {}},
    };
}

} // namespace

SimulatedPbx::SimulatedPbx(HeaderStyle style, CallTimings timings, QByteArray technology, QObject* parent)
    : QObject(parent), m_writer(style), m_timings(timings), m_technology(std::move(technology)),
      m_startSeconds(QDateTime::currentSecsSinceEpoch())
{}

const Channel* SimulatedPbx::find(const QByteArray& name) const
{
    const auto it = std::find_if(m_channels.cbegin(), m_channels.cend(),
                                 [&](const Channel& channel) { return sameName(channel.name, name); });
    return it == m_channels.cend() ? nullptr : &*it;
}

Channel* SimulatedPbx::findChannel(const QByteArray& name)
{
    return const_cast<Channel*>(find(name));
}

QByteArray SimulatedPbx::calleeOf(const QByteArray& name) const
{
    const auto it = std::find_if(m_channels.cbegin(), m_channels.cend(),
                                 [&](const Channel& channel) { return sameName(channel.dialledBy, name); });
    return it == m_channels.cend() ? QByteArray() : it->name;
}

void SimulatedPbx::after(int milliseconds, std::function<void()> step)
{
    QTimer::singleShot(std::max(milliseconds, 0), this, std::move(step));
}

QByteArray SimulatedPbx::nextName(const QByteArray& techResource)
{
    // The older managers name channels with a random number, the newer ones
    // with a counter; both print eight hexadecimal digits.
    const quint32 suffix =
        m_writer.style() == HeaderStyle::Old ? QRandomGenerator::global()->generate() : ++m_channelSequence;
    return techResource + '-' + QByteArray::number(suffix, 16).rightJustified(8, '0');
}

QByteArray SimulatedPbx::nextUniqueId()
{
    return QByteArray::number(m_startSeconds) + '.' + QByteArray::number(m_uniqueSequence++);
}

QByteArray SimulatedPbx::createChannel(const QByteArray& techResource, const QByteArray& callerNum,
                                       const QByteArray& callerName, const QByteArray& context, const QByteArray& exten,
                                       ChannelState state)
{
    Channel channel;
    channel.name = nextName(techResource);
    channel.uniqueId = nextUniqueId();
    channel.linkedId = channel.uniqueId;
    channel.state = state;
    channel.callerNum = callerNum;
    channel.callerName = callerName;
    channel.context = context;
    channel.exten = exten;
    m_channels.append(channel);
    raise(m_writer.newChannel(channel));
    return channel.name;
}

void SimulatedPbx::setState(const QByteArray& name, ChannelState state)
{
    Channel* channel = findChannel(name);
    if (!channel || channel->state == state)
        return;
    channel->state = state;
    raise(m_writer.newState(*channel));
}

QByteArray SimulatedPbx::dial(const QByteArray& source, const QByteArray& techResource, const QByteArray& dialString)
{
    const Channel* caller = find(source);
    if (!caller)
        return {};
    const QByteArray calleeNum = dialString.mid(dialString.lastIndexOf('/') + 1);
    Channel callee;
    callee.name = nextName(techResource);
    callee.uniqueId = nextUniqueId();
    callee.linkedId = caller->linkedId;
    callee.callerNum = calleeNum;
    // The modern snapshots show where the dialled leg stands in the dialplan.
    if (m_writer.snapshots())
        callee.exten = calleeNum;
    if (techResource != trunk)
        callee.callerName = "Poste " + calleeNum;
    callee.connectedNum = caller->callerNum;
    callee.connectedName = caller->callerName;
    callee.context = caller->context;
    callee.dialledBy = caller->name;
    const Channel callerCopy = *caller;
    m_channels.append(callee);
    findChannel(source)->connectedNum = calleeNum;
    raise(m_writer.newChannel(callee));
    raise(m_writer.dialBegin(callerCopy, callee, dialString));
    ringLater(callee.name);
    return callee.name;
}

void SimulatedPbx::ringLater(const QByteArray& name)
{
    // Unless it was answered or hung up in the meantime.
    after(stepMs(), [this, name] {
        const Channel* channel = find(name);
        if (!channel || channel->state != ChannelState::Down)
            return;
        setState(name, ChannelState::Ringing);
        if (const Channel* dialler = find(channel->dialledBy); dialler && m_writer.snapshots())
            raise(m_writer.dialState(*dialler, *channel));
    });
}

QByteArray SimulatedPbx::incomingCall(const QByteArray& callerNum, const QByteArray& sda, const QByteArray& extension)
{
    // The trunk's dialplan writes the dialled SDA number into the caller name,
    // which is how the office tells its lines apart.
    const QByteArray phone = m_technology + '/' + extension;
    QByteArray caller;
    if (m_writer.snapshots()) {
        caller = createChannel(trunk, callerNum, sda, "from-trunk", sda, ChannelState::Ring);
        runTrunkDialplan(caller, extension);
    } else {
        caller = createChannel(trunk, callerNum, sda, "from-trunk", sda);
        setState(caller, ChannelState::Ring);
    }
    raise(m_writer.newExten(*find(caller), "Dial", phone + ",30"));
    after(stepMs(), [this, caller, phone, extension] { dial(caller, phone, extension); });
    return caller;
}

void SimulatedPbx::runTrunkDialplan(const QByteArray& name, const QByteArray& extension)
{
    // All at once, as Asterisk writes them while the dialplan runs: 50 to 200
    // events, one Newexten and one VarSet for each variable set.
    Channel* channel = findChannel(name);
    const auto variables = trunkDialplanVariables(*channel, extension);
    const int steps = QRandomGenerator::global()->bounded(25, 101);
    for (int step = 0; step < steps; ++step) {
        const auto& [variable, value] = variables.at(step % variables.size());
        raise(m_writer.newExten(*channel, "Set", variable + '=' + value));
        raise(m_writer.varSet(*channel, variable, value));
        ++channel->priority;
    }
}

void SimulatedPbx::originate(const QByteArray& channel, const QByteArray& context, const QByteArray& exten,
                             const QByteArray& callerId)
{
    const auto [callerNum, callerName] = splitCallerId(callerId);
    const QByteArray name = createChannel(channel, callerNum, callerName, context, exten);
    // The phone shows the caller id given in the action as its other party.
    Channel* created = findChannel(name);
    created->connectedNum = callerNum;
    created->connectedName = callerName;
    ringLater(name);
    after(m_timings.ringMs / 2, [this, name] {
        if (!find(name))
            return;
        answer(name);
        raise(m_writer.originateResponse(*find(name)));
        dialExtension(name, find(name)->exten);
    });
}

void SimulatedPbx::dialExtension(const QByteArray& source, const QByteArray& exten)
{
    Channel* channel = findChannel(source);
    if (!channel)
        return;
    if (exten.isEmpty()) {
        // No such extension in the dialplan: the channel is hung up at once.
        hangup(source);
        return;
    }
    channel->exten = exten;
    const bool internal = exten.size() <= 4 || !allDigits(exten);
    const QByteArray techResource = internal ? m_technology + '/' + exten : QByteArray(trunk);
    const QByteArray dialString = internal ? exten : QByteArray(trunk).mid(4) + '/' + exten;
    const QByteArray target = internal ? techResource : techResource + '/' + exten;
    raise(m_writer.newExten(*channel, "Dial", target + ",30"));
    after(stepMs(), [this, source, techResource, dialString] {
        const QByteArray callee = dial(source, techResource, dialString);
        after(m_timings.ringMs, [this, source, callee] {
            const Channel* calleeChannel = find(callee);
            if (!find(source) || !calleeChannel || calleeChannel->state == ChannelState::Up)
                return;
            answer(callee);
            bridge(source, callee);
            endLater(source, callee);
        });
    });
}

void SimulatedPbx::answer(const QByteArray& name)
{
    const Channel* before = find(name);
    const bool ringing = before && before->state != ChannelState::Up;
    setState(name, ChannelState::Up);
    // The modern managers close the dial as soon as the callee answers.
    const Channel* dialler = ringing ? find(before->dialledBy) : nullptr;
    if (dialler && m_writer.snapshots())
        raiseDialEnd(*dialler, "ANSWER", find(name));
}

void SimulatedPbx::raiseDialEnd(const Channel& source, const QByteArray& dialStatus, const Channel* destination)
{
    if (const auto dialEnd = m_writer.dialEnd(source, dialStatus, destination))
        raise(*dialEnd);
}

void SimulatedPbx::bridge(const QByteArray& first, const QByteArray& second)
{
    Channel* one = findChannel(first);
    Channel* other = findChannel(second);
    if (!one || !other || one == other)
        return;
    one->bridgedWith = other->name;
    other->bridgedWith = one->name;
    one->bridgeId = other->bridgeId = QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    for (const ManagerMessage& event : m_writer.bridged(*one, *other))
        raise(event);
    if (m_writer.snapshots())
        reportMediaLater(one->name, other->name);
}

void SimulatedPbx::reportMediaLater(const QByteArray& first, const QByteArray& second)
{
    // A couple of RTCP reports while the two talk, as Asterisk sends every few seconds.
    for (const int third : {1, 2}) {
        after(m_timings.talkMs * third / 3, [this, first, second] {
            const Channel* one = find(first);
            const Channel* other = find(second);
            if (!one || !other || !sameName(one->bridgedWith, other->name))
                return;
            raise(m_writer.rtcp(*one, true));
            raise(m_writer.rtcp(*other, false));
        });
    }
}

void SimulatedPbx::unbridge(Channel& channel)
{
    Channel* peer = findChannel(channel.bridgedWith);
    channel.bridgedWith.clear();
    if (!peer)
        return;
    peer->bridgedWith.clear();
    for (const ManagerMessage& event : m_writer.unbridged(channel, *peer))
        raise(event);
    channel.bridgeId.clear();
    peer->bridgeId.clear();
}

void SimulatedPbx::endLater(const QByteArray& first, const QByteArray& second)
{
    after(m_timings.talkMs, [this, first, second] {
        const Channel* callee = find(second);
        if (callee && sameName(callee->bridgedWith, first))
            hangup(second);
    });
}

void SimulatedPbx::hangup(const QByteArray& name)
{
    if (const Channel* channel = find(name); channel && m_writer.snapshots())
        raise(m_writer.hangupRequest(*channel));
    end(name);
}

void SimulatedPbx::end(const QByteArray& name, bool cancelled)
{
    const auto it = std::find_if(m_channels.begin(), m_channels.end(),
                                 [&](const Channel& channel) { return sameName(channel.name, name); });
    if (it == m_channels.end())
        return;
    const QByteArray partner = it->bridgedWith;
    if (!partner.isEmpty())
        unbridge(*it);
    // Taken out first, so that the partners hung up below do not come back to it.
    const Channel ended = *it;
    m_channels.erase(it);

    QList<QByteArray> ringing;
    for (const Channel& channel : std::as_const(m_channels)) {
        if (sameName(channel.dialledBy, ended.name) && channel.state != ChannelState::Up)
            ringing.append(channel.name);
    }
    if (!ringing.isEmpty())
        raiseDialEnd(ended, "CANCEL", find(ringing.first()));
    for (const QByteArray& callee : std::as_const(ringing))
        end(callee, true);

    const bool answered = ended.state == ChannelState::Up;
    HangupCause cause = HangupCause::NormalClearing;
    if (!answered && cancelled)
        cause = HangupCause::Unknown;
    else if (!answered && !ended.dialledBy.isEmpty())
        cause = HangupCause::NoAnswer;
    // The modern managers close a dial before its channel goes, or when it was
    // answered; the older ones after the channel's hang-up.
    const Channel* dialler = find(ended.dialledBy);
    if (dialler && !answered && m_writer.snapshots())
        raiseDialEnd(*dialler, "NOANSWER", &ended);
    raise(m_writer.hangup(ended, cause));
    if (dialler) {
        if (!m_writer.snapshots())
            raiseDialEnd(*dialler, answered ? "ANSWER" : "NOANSWER");
        end(ended.dialledBy);
    }
    // A partner left alone in its bridge has nothing more to do in the dialplan.
    end(partner);
}

} // namespace pbxsim
