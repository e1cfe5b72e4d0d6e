// Any bytes as a recording for the listener: it is decoded or refused with a
// FormatError, never more samples than the bytes can hold, and what is decoded
// is made into the recogniser's input.

#include "Fuzzing.h"

#include "agent/format/FormatError.h"
#include "agent/format/Sound.h"
#include "agent/listen/Wav.h"

#include <algorithm>

using namespace agent;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    format::Pcm pcm;
    try {
        pcm = format::decodeRecording(asBytes(data, size));
    } catch (const format::FormatError&) {
        return 0;
    }
    // 8-bit PCM is the densest: one sample per byte.
    check(pcm.samples.size() <= size + 4096 && pcm.channels >= 1 && pcm.sampleRate > 0);
    // Resampling costs per output sample; keep odd rates and long recordings
    // from making each run slow (a thousand frames reach every path).
    if (pcm.sampleRate > 192000 || pcm.sampleRate < 4000)
        return 0;
    pcm.samples.resize(std::min(pcm.samples.size(), 1024 * std::size_t(pcm.channels)));
    const double expected = double(pcm.frameCount()) * 16000.0 / pcm.sampleRate;
    check(double(listen::toRecognizerInput(pcm).size()) <= expected + 1);
    return 0;
}
