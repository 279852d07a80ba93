#pragma once

#include <QByteArray>

#include <cstdint>
#include <random>

// Produces manager text as a busy PBX sends it: events of many kinds in both
// header styles (older State/CallerID/Link/Unlink, newer ChannelState/
// ConnectedLine/Bridge), replies to actions, and about one event in a hundred
// on the watched extension. The same seed gives the same text.
class ManagerTextGenerator
{
public:
    ManagerTextGenerator(QByteArray extension, std::uint32_t seed);

    // Appends whole events until the text holds at least the given size.
    void generate(QByteArray& text, qsizetype size);

    qsizetype eventCount() const { return m_events; }
    qsizetype ownEventCount() const { return m_ownEvents; }

private:
    struct Call;

    Call nextCall();
    void appendEvent(QByteArray& text, const Call& call);
    int pick(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(m_random); }

    QByteArray m_extension;
    std::mt19937 m_random;
    qsizetype m_events = 0;
    qsizetype m_ownEvents = 0;
    std::uint64_t m_serial = 0;
};
