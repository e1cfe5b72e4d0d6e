#pragma once

// Frame sounds are RIFF WAVE blocks in one of the codecs character files use:
// PCM (format tag 1), ADPCM (2), A-law (6), mu-law (7), IMA ADPCM (0x11) and
// GSM 6.10 (0x31); anything else, WAVE or not, is refused. Real files carry
// damaged headers the original engine played anyway, so there are two ways
// in: decodeSound() reads through libsndfile and refuses what it refuses (for
// checking input, e.g. acstool build); decodeSoundTolerant() plays what can be
// decoded, decoding PCM and tag-2 ADPCM itself, and says what it had to work
// around.

#include <QByteArray>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace agent::format {

struct Pcm {
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples; // interleaved, frames * channels
    std::size_t frameCount() const { return channels ? samples.size() / std::size_t(channels) : 0; }
};

// Throws FormatError when libsndfile cannot decode the block.
Pcm decodeSound(const QByteArray& riffWav);

struct DecodedSound {
    Pcm pcm;             // no samples when nothing could be decoded
    QStringList repairs; // one line per fault worked around, e.g. "'data' chunk says ..."
};

// A recording given to the listener: RIFF WAVE with integer PCM (8 to 32 bits)
// or float samples. Throws FormatError saying what is wrong.
Pcm decodeRecording(const QByteArray& riffWav);

// Never throws. A data chunk running past the block is cut to what is there,
// a lying RIFF size is ignored, a malformed 'fmt ' chunk is read as far as it
// makes sense; other codecs go to libsndfile, with a rebuilt header if needed.
DecodedSound decodeSoundTolerant(const QByteArray& riffWav);

// 16-bit PCM WAV bytes for `pcm` (what acstool build and tests use to make sounds).
QByteArray encodeWav(const Pcm& pcm);

} // namespace agent::format
