#include "Idling.h"

#include <algorithm>

namespace agent::engine {

int Idling::beginRound(std::int64_t now) {
    const int level = std::min(round_ / std::max(1, schedule_.roundsPerLevel) + 1, 3);
    ++round_;
    quietSince_ = now;
    return level;
}

} // namespace agent::engine
