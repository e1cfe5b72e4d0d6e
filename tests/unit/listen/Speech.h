#pragma once

// Test audio: phrases rendered with espeak-ng, noise mixed in, all at 16 kHz.
#include "agent/listen/Grammar.h"

#include <cstdint>
#include <string>
#include <vector>

namespace listentest {

// The six commands the program registers, with their Voice texts.
inline const std::vector<agent::listen::VoiceCommand> kCommands = {
    {"ACO", "Advanced"},
    {"AGENTWORLD", "Say It"},
    {"MASS", "Change What to be Said"},
    {"READPAGE", "Random Animation"},
    {"SING", "Sing"},
    {"BYE", "Shut Up! & Quit"},
};

using Samples = std::vector<std::int16_t>;

// espeak-ng voice (e.g. "en-us", "en+f3") at a speed in words per minute,
// resampled to 16 kHz, with 200 ms of digital silence around it as a
// push-to-talk recording has.
Samples render(const std::string& text, const std::string& voice, int wpm);

// Adds white Gaussian noise at the given signal-to-noise ratio (speech RMS
// measured over the loud part); the seed makes it repeatable.
Samples withNoise(const Samples& speech, double snrDb, unsigned seed);

// Adds another talker throughout, its speech belowDb quieter than this one's.
Samples withTalker(const Samples& speech, const Samples& talker, double belowDb);

// Noise alone, seconds long, at an RMS level in dB full scale.
Samples whiteNoise(double seconds, double dbfs, unsigned seed);
Samples brownNoise(double seconds, double dbfs, unsigned seed);
Samples hum(double seconds, double dbfs); // 50 Hz mains with harmonics

} // namespace listentest
