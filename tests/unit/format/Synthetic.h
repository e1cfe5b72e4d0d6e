#pragma once

// Generated characters for tests, fuzz seeds and benchmarks: blob-shaped
// images on a transparent background (so they compress like real art),
// animations with branches, exit branches, return animations and mouth
// overlays, and short PCM sounds.

#include "agent/format/Character.h"

#include <cstdint>

namespace synthetic {

struct Options {
    std::uint16_t width = 32;
    std::uint16_t height = 24;
    int images = 6;
    int animations = 3;
    int framesPerAnimation = 4;
    int sounds = 2;
    int soundSamples = 200;
    bool regions = true; // give every other image region data
};

agent::format::Character makeCharacter(std::uint32_t seed, const Options& options = {});

} // namespace synthetic
