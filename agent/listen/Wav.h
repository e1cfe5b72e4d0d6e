#pragma once
// Recordings on disk, for the command-line recogniser and tests: the bytes go
// through the character format's WAV decoder (one RIFF reader in the engine),
// then are made into what the recogniser takes.

#include "agent/format/Sound.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace agent::listen {

using PcmAudio = format::Pcm;

// A RIFF/WAVE file with integer PCM (8 to 32 bits) or float samples. Throws
// ListenError naming the file and the problem.
PcmAudio readWav(const std::filesystem::path& path);

// Writes 16-bit PCM.
void writeWav(const std::filesystem::path& path, const PcmAudio& audio);

// Channels averaged, then resampled with a windowed-sinc low-pass filter.
std::vector<std::int16_t> toMono(const PcmAudio& audio);
std::vector<std::int16_t> resample(std::span<const std::int16_t> mono, int fromRate, int toRate);

// What the recogniser takes: mono, 16 kHz.
std::vector<std::int16_t> toRecognizerInput(const PcmAudio& audio);

} // namespace agent::listen
