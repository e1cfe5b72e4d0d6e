// Idle rounds on a manual clock: a gap before each, levels rising every few rounds.

#include "agent/engine/Idling.h"
#include "agent/engine/Clock.h"

#include <gtest/gtest.h>

#include <string>

using namespace agent::engine;

TEST(Idling, RoundsComeAGapApartAndRiseALevelEveryFewRounds) {
    const std::pair<IdleSchedule, const char*> cases[] = {
        {{1000, 3}, "11122233"}, {{500, 1}, "12333333"}, {{200, 0}, "12333333"}};
    for (const auto& [schedule, expected] : cases) {
        ManualClock clock;
        Idling idling;
        idling.setSchedule(schedule);
        std::string levels;
        for (int round = 0; round < 8; ++round) {
            idling.quiet(clock.now()); // the last round's animation ended
            clock.advanceBy(schedule.gapMs);
            EXPECT_EQ(idling.dueAt(), clock.now());
            levels += std::to_string(idling.beginRound(clock.now()));
        }
        EXPECT_EQ(levels, expected);
    }
}
