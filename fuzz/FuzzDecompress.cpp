// Any bytes as a compressed stream (after a 3-byte prefix choosing the output
// size and tolerance): decompress stays in bounds or throws FormatError, and
// whatever it produces compresses back to the same bytes.

#include "Fuzzing.h"

#include "agent/format/Compression.h"
#include "agent/format/FormatError.h"

#include <algorithm>
#include <vector>

using namespace agent::format;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const std::size_t outSize = std::size_t(data[0]) | std::size_t(data[1]) << 8; // up to 64 KiB
    const std::size_t maxExcess = data[2];
    const std::span<const std::uint8_t> stream(data + 3, size - 3);
    std::vector<std::uint8_t> out(outSize);
    DecompressResult r;
    try {
        r = decompress(stream, out, "fuzz", maxExcess);
    } catch (const FormatError&) {
        return 0;
    }
    check(r.written <= outSize && r.excess <= maxExcess && r.consumed <= stream.size());
    const std::span<const std::uint8_t> produced(out.data(), r.written);
    std::vector<std::uint8_t> again(r.written);
    const DecompressResult r2 = decompress(compress(produced), again, "again");
    check(r2.written == r.written && !r2.excess && !r2.beforeStart &&
          std::ranges::equal(again, produced));
    return 0;
}
