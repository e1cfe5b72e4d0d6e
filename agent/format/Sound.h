#pragma once

// Frame sounds are RIFF WAV blocks (PCM, ADPCM with format tag 2, IMA ADPCM, ...);
// libsndfile decodes them from memory.

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace agent::format {

struct Pcm {
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples; // interleaved, frames * channels
    std::size_t frameCount() const { return channels ? samples.size() / std::size_t(channels) : 0; }
};

// Throws FormatError ("sound N: ...") when the data is not a decodable WAV.
Pcm decodeSound(const QByteArray& riffWav);

// 16-bit PCM WAV bytes for `pcm` (what acstool build and tests use to make sounds).
QByteArray encodeWav(const Pcm& pcm);

} // namespace agent::format
