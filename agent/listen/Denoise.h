#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace agent::listen {

// Takes steady background noise (hiss, a fan, mains hum) out of an utterance
// by spectral subtraction: the noise's spectrum is the mean of the quietest
// frames, so the audio must hold some stretch without speech. Returns audio
// of the same length, or nothing when the background is not steady (other
// talkers, or too little audio to tell): what changes from moment to moment
// cannot be subtracted.
std::optional<std::vector<std::int16_t>> withoutSteadyNoise(std::span<const std::int16_t> audio);

} // namespace agent::listen
