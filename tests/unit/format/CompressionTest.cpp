#include "agent/format/Compression.h"
#include "agent/format/FormatError.h"

#include <gtest/gtest.h>

#include <random>

using namespace agent::format;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes roundTrip(const Bytes& in) {
    const Bytes packed = compress(in);
    Bytes out(in.size());
    const DecompressResult r = decompress(packed, out, "test");
    EXPECT_EQ(r.written, in.size());
    EXPECT_EQ(r.excess, 0u);
    EXPECT_EQ(r.beforeStart, 0u);
    return out;
}

} // namespace

// The worked example of the format description: a 32-byte region header.
TEST(Compression, DecodesTheWorkedExample) {
    const Bytes in = {0x00, 0x40, 0x00, 0x04, 0x10, 0xD0, 0x90, 0x80, 0x42, 0xED,
                      0x98, 0x01, 0xB7, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const Bytes want = {0x20, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0xA8, 0, 0, 0,
                        0,    0, 0, 0, 0,    0, 0, 0, 0, 0, 0, 0, 0,    0, 0, 0};
    Bytes out(32, 0xEE);
    const DecompressResult r = decompress(in, out, "example");
    EXPECT_EQ(out, want);
    EXPECT_EQ(r.written, 32u);
    EXPECT_EQ(r.excess, 0u);
    EXPECT_LE(r.consumed, in.size());
}

TEST(Compression, RoundTripsAssortedData) {
    std::mt19937 rng(7);
    std::vector<Bytes> inputs;
    inputs.push_back({});
    inputs.push_back({42});
    inputs.push_back(Bytes(10000, 9)); // one long run
    Bytes noise(5000);
    for (auto& b : noise)
        b = std::uint8_t(rng());
    inputs.push_back(noise);
    // Far repeats exercise the 12- and 20-bit distances.
    Bytes far(300000);
    for (auto& b : far)
        b = std::uint8_t(rng() % 4);
    std::copy(far.begin(), far.begin() + 4000, far.begin() + 200000);
    std::copy(far.begin() + 100, far.begin() + 900, far.begin() + 1500);
    inputs.push_back(far);
    for (const Bytes& in : inputs)
        EXPECT_EQ(roundTrip(in), in) << "input of " << in.size() << " bytes";
}

// Hand-written streams (bits LSB first; a literal is a 0 and its 8 bits, the
// end a back reference with the 20-bit end value, then 1 bits and six 0xFF
// bytes): what comes out, what is counted, and what is refused.
TEST(Compression, OddStreamsAreCountedOrRefusedByName) {
    const auto ended = [](Bytes b) { // the end's last nine bytes are all ones
        b.insert(b.end(), 9, 0xFF);
        return b;
    };
    // Literal 1, then a 6-bit back reference whose length prefix has twelve ones.
    const Bytes twelveOnes = ended({0x00, 0x02, 0x02, 0xFE, 0xFF});
    // Literals 0-9 and no end.
    const Bytes unended = {0x00, 0x00, 0x04, 0x10, 0x30, 0x80, 0x40, 0x01, 0x03, 0x07, 0x10, 0x24};
    const Bytes before = ended({0x00, 0x0E, 0x12, 0xF2}); // 7, then 3 bytes from distance 3
    const Bytes six = ended({0x00, 0x02, 0x08, 0x18, 0x40, 0xA0, 0x80, 0xC1}); // literals 1-6
    const Bytes one = ended({0x00, 0x0A, 0xFE});                               // literal 5
    // error, or else how much is written, from before the start and in excess
    const struct {
        const char* what;
        Bytes in;
        std::size_t size, tolerance;
        Bytes want; // the output's start
        const char* error;
        std::size_t written = 0, beforeStart = 0, excess = 0;
    } cases[] = {
        {"twelve ones", twelveOnes, 64, 0, {}, "length prefix longer than 11 bits"},
        {"no end marker", unended, 64, 0, {}, "image 5: compressed stream ends without"},
        {"copy from before the start", before, 4, 0, {7, 0, 0, 7}, nullptr, 4, 2, 0},
        {"excess within tolerance", six, 4, 2, {1, 2, 3, 4}, nullptr, 4, 0, 2},
        {"excess past tolerance", six, 3, 2, {}, "past the end"},
        {"stops short", one, 10, 0, {5}, nullptr, 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes out(c.size, 0xEE);
        try {
            const DecompressResult r = decompress(c.in, out, "image 5", c.tolerance);
            EXPECT_EQ(c.error, nullptr) << "no error";
            EXPECT_EQ(Bytes(out.begin(), out.begin() + std::ptrdiff_t(c.want.size())), c.want);
            EXPECT_EQ(r.written, c.written);
            EXPECT_EQ(r.beforeStart, c.beforeStart);
            EXPECT_EQ(r.excess, c.excess);
        } catch (const FormatError& e) {
            ASSERT_NE(c.error, nullptr) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
        }
    }
}
