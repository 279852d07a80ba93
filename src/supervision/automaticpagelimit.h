#pragma once

#include <chrono>
#include <deque>

// How many agenda pages the program may open by itself: at most PagesPerPeriod
// within any Period. Each page starts or wakes the user's browser; a burst of
// answered calls (a queue handed over, a replayed session) would otherwise
// open one per call. Pages beyond the limit are not opened; the card's own
// button still opens its page.
class AutomaticPageLimit
{
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int PagesPerPeriod = 3;
    static constexpr std::chrono::seconds Period{10};

    // Whether a page may open at now; when it may, it counts from now on.
    bool allow(Clock::time_point now);

private:
    std::deque<Clock::time_point> m_opened; // the last pages, oldest first
};
