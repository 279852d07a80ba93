#include "supervision/classiceventinterpreter.h"

#include "supervision/managermessages.h"

#include <QByteArrayList>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

namespace {

using namespace std::string_view_literals;

// The texts the interpretation looks for, one bit each. Every one of them holds
// a colon, which lets a line be scanned once, colon by colon, instead of once
// per text: a text occurs in the line exactly when its part before its first
// colon ends at one of the line's colons and its part from that colon on starts
// there. Lines without a colon (the empty line closing each event is the most
// common) match nothing at all.
enum Text : std::uint8_t
{
    EventStart,
    EventHangup,
    EventUnlink,
    BridgestateLink,
    BridgestateUnlink,
    StateRing,
    EventDial,
    ChannelStateDescRinging,
    ChannelState5,
    StateUp,
    ChannelStateDescUp,
    ChannelState6,
    Challenge,
    ConnectedLineNum,
    ConnectedLineName,
    CallerId,
    CallerIdNum,
    CallerIdName,
    Uniqueid,
    Uniqueid1,
    SipChannel,  // "Channel: SIP/" followed by the extension
    SipChannel1, // "Channel1: SIP/" followed by the extension
    TextCount,
};

using Matches = std::uint32_t;
static_assert(TextCount <= 32);

constexpr Matches bit(Text t)
{
    return Matches{1} << t;
}

constexpr std::array<std::string_view, TextCount> texts = {
    "Event:"sv,
    "Event: Hangup"sv,
    "Event: Unlink"sv,
    "Bridgestate: Link"sv,
    "Bridgestate: Unlink"sv,
    "State: Ring"sv,
    "Event: Dial"sv,
    "ChannelStateDesc: Ringing"sv,
    "ChannelState: 5"sv,
    "State: Up"sv,
    "ChannelStateDesc: Up"sv,
    "ChannelState: 6"sv,
    "Challenge: "sv,
    "ConnectedLineNum: "sv,
    "ConnectedLineName: "sv,
    "CallerID: "sv,
    "CallerIDNum: "sv,
    "CallerIDName: "sv,
    "Uniqueid: "sv,
    "Uniqueid1: "sv,
    "Channel: SIP/"sv,
    "Channel1: SIP/"sv,
};

// A text split at its first colon: the head must end at a colon of the line,
// the tail (colon included) must start there.
struct SplitText
{
    std::string_view head;
    std::string_view tail;
};

constexpr std::array<SplitText, TextCount> splitTexts = [] {
    std::array<SplitText, TextCount> split{};
    for (std::size_t t = 0; t < TextCount; ++t) {
        const std::size_t colon = texts[t].find(':');
        split[t] = {texts[t].substr(0, colon), texts[t].substr(colon)};
    }
    return split;
}();

// State tests from top to bottom: every match overwrites the previous one, so
// the lowest matching row decides.
constexpr std::array<std::pair<Text, EventState>, 11> stateTests = {{
    {EventHangup, EventState::Gone},
    {EventUnlink, EventState::Gone},
    {BridgestateLink, EventState::Gone},
    {BridgestateUnlink, EventState::Gone},
    {StateRing, EventState::Ring},
    {EventDial, EventState::Ring},
    {ChannelStateDescRinging, EventState::StateRinging},
    {ChannelState5, EventState::StateRinging},
    {StateUp, EventState::Up},
    {ChannelStateDescUp, EventState::StateUp},
    {ChannelState6, EventState::StateUp},
}};

constexpr Matches stateTestMask = [] {
    Matches mask = 0;
    for (const auto& test : stateTests)
        mask |= bit(test.first);
    return mask;
}();

std::string_view view(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

bool occursAt(std::string_view line, std::size_t colon, const SplitText& text)
{
    return colon >= text.head.size() && line.substr(colon - text.head.size(), text.head.size()) == text.head &&
           line.substr(colon).starts_with(text.tail);
}

// For each byte, the texts whose head ends with it: the byte before a colon
// rules out most texts at once (most manager headers match none).
constexpr std::array<Matches, 256> candidatesByLastHeadByte = [] {
    std::array<Matches, 256> candidates{};
    for (std::size_t t = 0; t < TextCount; ++t)
        candidates[static_cast<unsigned char>(splitTexts[t].head.back())] |= bit(static_cast<Text>(t));
    return candidates;
}();

// Finds which texts occur in the line. The extension is asked for only when a
// SIP channel header is present, which is the only time it matters, and at
// most once per line.
class LineScanner
{
public:
    explicit LineScanner(const EventInterpretation::ExtensionSource& extension) : m_extensionSource(extension) {}

    Matches scan(std::string_view line)
    {
        Matches found = 0;
        m_extensionRead = false;
        for (std::size_t colon = line.find(':'); colon != std::string_view::npos; colon = line.find(':', colon + 1)) {
            if (colon == 0)
                continue;
            for (Matches candidates = candidatesByLastHeadByte[static_cast<unsigned char>(line[colon - 1])];
                 candidates != 0; candidates &= candidates - 1) {
                const auto t = static_cast<Text>(std::countr_zero(candidates));
                if (!occursAt(line, colon, splitTexts[t]))
                    continue;
                // The channel texts only count when the user's extension follows them.
                if ((t == SipChannel || t == SipChannel1) &&
                    !extensionFollows(line.substr(colon + splitTexts[t].tail.size())))
                    continue;
                found |= bit(t);
            }
        }
        return found;
    }

private:
    bool extensionFollows(std::string_view rest)
    {
        if (!m_extensionRead) {
            m_extension = m_extensionSource();
            m_extensionRead = true;
        }
        return rest.starts_with(view(m_extension));
    }

    const EventInterpretation::ExtensionSource& m_extensionSource;
    QByteArray m_extension;
    bool m_extensionRead = false;
};

// The text with every occurrence of the removed text taken out, scanning left
// to right over the original (a removal never creates a new occurrence that is
// removed too). Removing an empty text removes nothing.
QByteArray without(std::string_view text, std::string_view removed)
{
    QByteArray result;
    result.reserve(static_cast<qsizetype>(text.size()));
    std::size_t from = 0;
    if (!removed.empty()) {
        for (std::size_t at = text.find(removed); at != std::string_view::npos; at = text.find(removed, from)) {
            result.append(text.data() + from, static_cast<qsizetype>(at - from));
            from = at + removed.size();
        }
    }
    result.append(text.data() + from, static_cast<qsizetype>(text.size() - from));
    return result;
}

bool isBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

// The line without the text, then trimmed of codes 0 to 32 at both ends.
QByteArray withoutTrimmed(std::string_view line, Text text)
{
    QByteArray result = without(line, texts[text]);
    qsizetype end = result.size();
    while (end > 0 && isBlankOrControl(result.at(end - 1)))
        --end;
    qsizetype start = 0;
    while (start < end && isBlankOrControl(result.at(start)))
        ++start;
    result.truncate(end);
    result.remove(0, start);
    return result;
}

// The part before the first separator, or everything when there is none.
void cutAt(QByteArray& value, char separator)
{
    const qsizetype at = value.indexOf(separator);
    if (at >= 0)
        value.truncate(at);
}

// The interpretation state of one hand-over.
struct CurrentEvent
{
    QByteArray number;
    QByteArray sda;
    QByteArray key;
    QByteArray channel;
    bool mine = false;
    EventState state = EventState::None;
    // Cards removed since this event started.
    QByteArrayList removedKeys;
};

void extractFields(CurrentEvent& event, std::string_view line, Matches found)
{
    const bool cutSdaAtColon = event.state != EventState::Ring && event.state != EventState::Up;
    Text numberText = TextCount;
    Text nameText = TextCount;
    switch (event.state) {
    case EventState::StateRinging:
        numberText = ConnectedLineNum;
        nameText = ConnectedLineName;
        break;
    case EventState::Ring:
    case EventState::Up:
        if (found & bit(CallerId))
            event.number = withoutTrimmed(line, CallerId);
        numberText = CallerIdNum;
        nameText = CallerIdName;
        break;
    case EventState::None:
    case EventState::Gone:
    case EventState::StateUp:
        numberText = CallerIdNum;
        nameText = CallerIdName;
        break;
    }
    if (found & bit(numberText))
        event.number = withoutTrimmed(line, numberText);
    if (found & bit(nameText)) {
        event.sda = without(view(withoutTrimmed(line, nameText)), view(event.number));
        if (cutSdaAtColon)
            cutAt(event.sda, ':');
    }
}

void applyTexts(CurrentEvent& event, std::string_view line, Matches found,
                const EventInterpretation::ChallengeSink& challenge)
{
    if (found & bit(EventStart))
        event = CurrentEvent{};
    if (found & stateTestMask) {
        for (const auto& [text, state] : stateTests) {
            if (found & bit(text))
                event.state = state;
        }
    }
    if (found & bit(Challenge))
        challenge(withoutTrimmed(line, Challenge));
    for (const Text channelText : {SipChannel, SipChannel1}) {
        if (found & bit(channelText)) {
            event.mine = true;
            event.channel = withoutTrimmed(line, channelText);
            cutAt(event.channel, ';');
        }
    }
    extractFields(event, line, found);
    if (found & bit(Uniqueid))
        event.key = withoutTrimmed(line, Uniqueid);
    if (found & bit(Uniqueid1))
        event.key = withoutTrimmed(line, Uniqueid1);
}

// The operation of the event's state, repeated at every line once the event
// is the user's and has a key. A card removed while the event is interpreted
// is not created again.
void act(CurrentEvent& event, CallCardOperations& cards)
{
    if (!event.mine || event.key.isEmpty())
        return;
    const bool removed = event.removedKeys.contains(event.key);
    switch (event.state) {
    case EventState::Ring:
    case EventState::StateRinging:
        if (!removed)
            cards.AddRingingCard(event.number, event.sda, event.key, event.channel);
        break;
    case EventState::Up:
        if (!removed)
            cards.ShowConnectedCall(event.number, event.sda, event.key, event.channel);
        break;
    case EventState::StateUp:
        cards.OpenCallerAgenda(event.key);
        break;
    case EventState::Gone:
        cards.RemoveCallCard(event.key);
        if (!event.removedKeys.contains(event.key))
            event.removedKeys.append(event.key);
        break;
    case EventState::None:
        break;
    }
}

} // namespace

ClassicEventInterpreter::ClassicEventInterpreter(CallCardOperations& cards, ExtensionSource extension,
                                                 ChallengeSink challenge)
    : m_cards(cards), m_extension(std::move(extension)), m_challenge(std::move(challenge))
{}

void ClassicEventInterpreter::interpret(QByteArrayView received)
{
    const QByteArray text = ManagerMessages::withoutNul(received);
    const std::string_view all = view(text);

    CurrentEvent event;
    LineScanner scanner(m_extension);
    // Lines end at CR; an LF right after a CR belongs to the line break, any
    // other LF stays inside the line. Text after the last CR is a line, but a
    // text ending with CR or CR LF has no empty line after it.
    std::size_t start = 0;
    while (start < all.size()) {
        const std::size_t cr = all.find('\r', start);
        const std::size_t end = cr == std::string_view::npos ? all.size() : cr;
        const std::string_view line = all.substr(start, end - start);

        if (const Matches found = scanner.scan(line))
            applyTexts(event, line, found, m_challenge);
        act(event, m_cards);

        if (cr == std::string_view::npos)
            break;
        start = cr + 1;
        if (start < all.size() && all[start] == '\n')
            ++start;
    }
}
