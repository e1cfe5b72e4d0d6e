// Any bytes as a frame sound: the tolerant decoder never throws, and what it
// returns is whole frames, bounded by what the bytes could hold (GSM 6.10, the
// densest codec, packs 320 samples in 65 bytes).

#include "Fuzzing.h"

#include "agent/format/Sound.h"

using namespace agent::format;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Pcm p = decodeSoundTolerant(asBytes(data, size)).pcm;
    check(p.samples.size() <= size * 5 + 4096);
    check(p.samples.empty() || (p.channels >= 1 && p.channels <= 8 && p.sampleRate > 0 &&
                                p.samples.size() % std::size_t(p.channels) == 0));
    return 0;
}
