#pragma once
// When a character with nothing to do idles, and how deeply: after each quiet
// spell it plays a round of its current idle level; a few rounds of one level
// lead to the next, up to the third. A request starts it over at the first.

#include <cstdint>

namespace agent::engine {

// The engine's idle schedule: a pause between rounds, three rounds of each
// level before the next.
struct IdleSchedule {
    std::int64_t gapMs = 3000;
    int roundsPerLevel = 3;
};

class Idling {
  public:
    void setSchedule(IdleSchedule schedule) { schedule_ = schedule; }
    // Something happened at `now`: the next round waits a whole gap from here.
    void quiet(std::int64_t now) { quietSince_ = now; }
    // A request came: the next round is one of the first level again.
    void restart() { round_ = 0; }
    std::int64_t dueAt() const { return quietSince_ + schedule_.gapMs; }
    // Begins the round due at `now` and gives its level (1-3).
    int beginRound(std::int64_t now);

  private:
    IdleSchedule schedule_;
    int round_ = 0;
    std::int64_t quietSince_ = 0;
};

} // namespace agent::engine
