#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace agent::listen {

struct PcmAudio {
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples; // interleaved
};

// Reads a RIFF/WAVE file with 8-, 16-, 24- or 32-bit integer PCM or 32-bit
// float samples. Throws ListenError naming the file and the problem.
PcmAudio readWav(const std::filesystem::path& path);

// Writes 16-bit PCM.
void writeWav(const std::filesystem::path& path, const PcmAudio& audio);

// Channels averaged, then resampled with a windowed-sinc low-pass filter.
std::vector<std::int16_t> toMono(const PcmAudio& audio);
std::vector<std::int16_t> resample(std::span<const std::int16_t> mono, int fromRate, int toRate);

// What the recogniser takes: mono, 16 kHz.
std::vector<std::int16_t> toRecognizerInput(const PcmAudio& audio);

} // namespace agent::listen
