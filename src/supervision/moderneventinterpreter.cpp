#include "supervision/moderneventinterpreter.h"

#include "supervision/managermessages.h"

#include <bit>
#include <cstring>
#include <utility>

namespace {

using namespace std::string_view_literals;
using Field = ModernEventInterpreter::Field;

constexpr std::array<std::string_view, ModernEventInterpreter::FieldCount> fieldNames = {
    "Event"sv,        "Response"sv,         "Channel"sv,
    "Uniqueid"sv,     "ChannelState"sv,     "ChannelStateDesc"sv,
    "State"sv,        "ConnectedLineNum"sv, "ConnectedLineName"sv,
    "CallerIDNum"sv,  "CallerIDName"sv,     "CallerID"sv,
    "DialStatus"sv,   "DestCallerIDNum"sv,  "DestCallerIDName"sv,
    "Challenge"sv,    "Linkedid"sv,         "DestChannel"sv,
    "DestUniqueid"sv,
};

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view text, std::string_view other)
{
    if (text.size() != other.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (lowered(text[i]) != lowered(other[i]))
            return false;
    }
    return true;
}

// Names are told apart by their length first: most headers of a busy stream
// (Variable, Value, Linkedid, Privilege...) are dismissed by one table look-up.
constexpr std::size_t LongestName = 17;
constexpr std::array<std::uint32_t, LongestName + 1> namesByLength = [] {
    std::array<std::uint32_t, LongestName + 1> byLength{};
    for (std::size_t f = 0; f < fieldNames.size(); ++f)
        byLength[fieldNames[f].size()] |= 1u << f;
    return byLength;
}();

// The header the line's name stands for, or FieldCount for one that is not read.
Field fieldNamed(std::string_view name)
{
    if (name.size() > LongestName)
        return ModernEventInterpreter::FieldCount;
    for (std::uint32_t candidates = namesByLength[name.size()]; candidates != 0; candidates &= candidates - 1) {
        const auto field = static_cast<Field>(std::countr_zero(candidates));
        if (equalsNoCase(name, fieldNames[field]))
            return field;
    }
    return ModernEventInterpreter::FieldCount;
}

std::string_view trimmedValue(std::string_view value)
{
    const std::size_t first = value.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return value.substr(first, value.find_last_not_of(" \t") - first + 1);
}

QByteArray bytes(std::string_view text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

// An empty value, or the placeholder the manager writes for an unknown party,
// says nothing about the other party.
bool usable(std::string_view value)
{
    return !value.empty() && value != "<unknown>"sv;
}

// The label of the call: the name with the number taken out, up to its first
// colon (the office dialplan writes "SDA:name" into the caller name).
QByteArray sdaOf(std::string_view name, std::string_view number)
{
    QByteArray sda = bytes(name);
    if (!number.empty())
        sda.replace(QByteArrayView(number.data(), qsizetype(number.size())), QByteArrayView());
    if (const qsizetype colon = sda.indexOf(':'); colon >= 0)
        sda.truncate(colon);
    return sda;
}

} // namespace

ModernEventInterpreter::ModernEventInterpreter(CallCardOperations& cards, ExtensionSource extension,
                                               ChallengeSink challenge, QByteArrayList technologies)
    : m_cards(cards), m_extensionSource(std::move(extension)), m_challenge(std::move(challenge)),
      m_technologies(std::move(technologies))
{}

void ModernEventInterpreter::interpret(QByteArrayView text)
{
    m_extension = m_extensionSource();
    read(std::string_view(text.data(), std::size_t(text.size())));
    keepOpenMessage();
    while (!m_steps.empty()) {
        const Step step = std::move(m_steps.front());
        m_steps.pop_front();
        run(step);
    }
}

void ModernEventInterpreter::reset()
{
    m_message.present = 0;
    m_message.owned = 0;
    m_message.hasLines = false;
    m_partialLine.clear();
    m_skippingLine = false;
    m_afterCr = false;
}

void ModernEventInterpreter::read(std::string_view text)
{
    std::size_t start = 0;
    if (m_afterCr && !text.empty() && text.front() == '\n')
        start = 1;
    m_afterCr = false;
    while (start < text.size()) {
        // Lines end in CR LF, LF or CR.
        const char* from = text.data() + start;
        const std::size_t left = text.size() - start;
        const auto* lf = static_cast<const char*>(std::memchr(from, '\n', left));
        const std::size_t scan = lf ? std::size_t(lf - from) : left;
        const auto* cr = static_cast<const char*>(std::memchr(from, '\r', scan));
        if (!lf && !cr) {
            if (m_skippingLine || m_partialLine.size() + left > std::size_t(ManagerMessages::MaxLineLength)) {
                m_partialLine.clear();
                m_skippingLine = true;
            } else {
                m_partialLine.append(from, left);
            }
            return;
        }
        const std::size_t length = cr ? std::size_t(cr - from) : scan;
        std::size_t next = start + length + 1;
        if (cr) {
            if (next < text.size() && text[next] == '\n')
                ++next;
            else if (next == text.size())
                m_afterCr = true;
        }
        if (m_skippingLine || m_partialLine.size() + length > std::size_t(ManagerMessages::MaxLineLength)) {
            // No manager writes such a line: it is dropped unread.
            m_partialLine.clear();
            m_skippingLine = false;
        } else if (m_partialLine.empty()) {
            readLine(text.substr(start, length), false);
        } else {
            m_partialLine.append(from, length);
            readLine(m_partialLine, true);
            m_partialLine.clear();
        }
        start = next;
    }
}

void ModernEventInterpreter::readLine(std::string_view line, bool transient)
{
    if (line.empty()) {
        endMessage();
        return;
    }
    const std::size_t colon = line.find(':');
    const Field field = colon == std::string_view::npos ? FieldCount : fieldNamed(line.substr(0, colon));
    // Real managers sometimes leave out the empty line between two messages.
    if ((field == Event && (m_message.has(Event) || m_message.has(Response))) ||
        (field == Response && m_message.has(Response)))
        endMessage();
    m_message.hasLines = true;
    if (field != FieldCount && !m_message.has(field))
        setField(field, trimmedValue(line.substr(colon + 1)), transient);
}

void ModernEventInterpreter::setField(Field field, std::string_view value, bool transient)
{
    m_message.present |= 1u << field;
    if (transient) {
        m_message.storage[field].assign(value);
        m_message.values[field] = m_message.storage[field];
        m_message.owned |= 1u << field;
    } else {
        m_message.values[field] = value;
        m_message.owned &= ~(1u << field);
    }
}

void ModernEventInterpreter::keepOpenMessage()
{
    for (std::uint32_t borrowed = m_message.present & ~m_message.owned; borrowed != 0; borrowed &= borrowed - 1) {
        const auto field = static_cast<Field>(std::countr_zero(borrowed));
        m_message.storage[field].assign(m_message.values[field]);
        m_message.values[field] = m_message.storage[field];
    }
    m_message.owned = m_message.present;
}

void ModernEventInterpreter::endMessage()
{
    if (m_message.hasLines)
        collectSteps(m_message);
    m_message.present = 0;
    m_message.owned = 0;
    m_message.hasLines = false;
}

bool ModernEventInterpreter::isUsersChannel(std::string_view channel) const
{
    const std::size_t slash = channel.find('/');
    if (slash == std::string_view::npos)
        return false;
    const std::string_view technology = channel.substr(0, slash);
    bool known = false;
    for (const QByteArray& candidate : m_technologies)
        known = known || equalsNoCase(technology, std::string_view(candidate.constData(), candidate.size()));
    if (!known)
        return false;
    const std::string_view resource = channel.substr(slash + 1);
    const std::string_view extension(m_extension.constData(), m_extension.size());
    return resource == extension ||
           (resource.size() > extension.size() && resource.starts_with(extension) && resource[extension.size()] == '-');
}

void ModernEventInterpreter::collectSteps(const Message& message)
{
    collectCardSteps(message);
    // After the card steps, which may create the card. A dial names the
    // other party from its start, for a call that rings the phone; the card
    // of a placed call comes only with the answer.
    const std::string_view event = message.value(Event);
    if (equalsNoCase(event, "DialBegin"sv) ||
        (equalsNoCase(event, "DialEnd"sv) && message.value(DialStatus) == "ANSWER"sv))
        collectPeer(message);
}

void ModernEventInterpreter::collectCardSteps(const Message& message)
{
    if (!message.has(Event)) {
        if (message.has(Response) && message.has(Challenge))
            m_steps.push_back({Step::ReportChallenge, bytes(message.value(Challenge)), {}, {}, {}, {}});
        return;
    }
    const std::string_view event = message.value(Event);
    // The manager's list of live channels (Status) reports a state too.
    const bool channelEvent =
        equalsNoCase(event, "Newchannel"sv) || equalsNoCase(event, "Newstate"sv) || equalsNoCase(event, "Status"sv);
    const bool answeredDial = equalsNoCase(event, "DialEnd"sv) && message.value(DialStatus) == "ANSWER"sv;
    const bool hangup = equalsNoCase(event, "Hangup"sv);
    const bool connectedLine = equalsNoCase(event, "NewConnectedLine"sv);
    if (!channelEvent && !answeredDial && !hangup && !connectedLine)
        return;
    const std::string_view channel = message.value(Channel);
    const std::string_view key = message.value(Uniqueid);
    if (key.empty() || !isUsersChannel(channel))
        return;
    const QByteArray cardChannel = bytes(channel.substr(0, channel.find(';')));
    if (hangup) {
        m_steps.push_back({Step::HangUp, bytes(key), cardChannel, {}, {}, {}});
        return;
    }

    // The other party: on 1.8 and later the phone's own number is in
    // CallerIDNum and the other party in ConnectedLineNum; older managers have
    // only the caller id.
    std::string_view number;
    std::string_view name;
    const bool hasConnectedLine = message.has(ConnectedLineNum);
    if (hasConnectedLine) {
        number = message.value(ConnectedLineNum);
        name = message.value(ConnectedLineName);
    } else if (answeredDial) {
        number = message.value(DestCallerIdNum);
        name = message.value(DestCallerIdName);
    } else if (usable(message.value(CallerIdNum))) {
        number = message.value(CallerIdNum);
        name = message.value(CallerIdName);
    } else {
        number = message.value(CallerId);
    }
    if (answeredDial && !usable(number)) {
        number = message.value(DestCallerIdNum);
        name = message.value(DestCallerIdName);
    }
    const std::string_view extension(m_extension.constData(), std::size_t(m_extension.size()));
    const bool partyIsUser =
        hasConnectedLine && usable(number) && (number == extension || number == message.value(CallerIdNum));
    if (!usable(number) || partyIsUser) {
        number = {};
        name = {};
    }
    if (!usable(name))
        name = {};

    Step step{Step::Answer,  bytes(key),          cardChannel,
              bytes(number), sdaOf(name, number), bytes(message.value(Linkedid))};
    step.partyIsUser = partyIsUser;
    const std::string_view stateNumber = message.value(ChannelState);
    const std::string_view stateText = message.value(ChannelStateDesc);
    const std::string_view oldState = message.value(State);
    const bool up = stateNumber == "6"sv || stateText == "Up"sv || oldState == "Up"sv;
    if (connectedLine) {
        step.kind = Step::NameParty;
        step.up = up;
    } else if (channelEvent && (stateNumber == "5"sv || stateText == "Ringing"sv || oldState == "Ringing"sv)) {
        step.kind = Step::Ring;
    } else if (channelEvent && !up) {
        return;
    }
    // A call the phone placed shows only once the far end answers, not when
    // the dialplan answers the phone's own leg (the other party is not known
    // yet then).
    step.otherPartyKnown = answeredDial || !hasConnectedLine || !step.number.isEmpty();
    m_steps.push_back(std::move(step));
}

void ModernEventInterpreter::collectPeer(const Message& message)
{
    // The dialling channel and the one it dialled, either of which may be the
    // phone's: an incoming call dials the phone, a placed call dials out.
    const std::string_view channel = message.value(Channel);
    const std::string_view destination = message.value(DestChannel);
    if (channel.empty() || destination.empty())
        return;
    Step step{Step::NamePeer, {}, {}, {}, {}, {}};
    if (isUsersChannel(destination)) {
        step.key = bytes(message.value(DestUniqueid));
        step.peer = bytes(channel);
    } else if (isUsersChannel(channel)) {
        step.key = bytes(message.value(Uniqueid));
        step.peer = bytes(destination);
    }
    if (!step.key.isEmpty())
        m_steps.push_back(std::move(step));
}
