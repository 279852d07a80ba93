#include "supervision/automaticpagelimit.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;

TEST(AutomaticPageLimit, AllowsThePagesOfAPeriod_ThenOneMoreForEachThatLeavesIt)
{
    // Milliseconds from the first page, and whether a page may open then.
    const struct
    {
        int at;
        bool allowed;
    } steps[] = {{0, true},     {100, true},    {200, true},   {300, false},   {9999, false},
                 {10000, true}, {10050, false}, {10100, true}, {10150, false}, {30000, true}};
    static_assert(AutomaticPageLimit::PagesPerPeriod == 3 && AutomaticPageLimit::Period == std::chrono::seconds(10),
                  "the table follows the limit");
    AutomaticPageLimit limit;
    const AutomaticPageLimit::Clock::time_point start{};
    for (const auto& step : steps)
        EXPECT_EQ(limit.allow(start + milliseconds(step.at)), step.allowed) << "at " << step.at << " ms";
}

} // namespace
