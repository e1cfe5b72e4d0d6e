#include "agent/format/Compression.h"
#include "agent/format/FormatError.h"

#include <gtest/gtest.h>

#include <random>

using namespace agent::format;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Writes bit sequences LSB first, the way the format reads them.
struct Bits {
    Bytes out{0x00};
    std::uint64_t acc = 0;
    int n = 0;
    void put(std::uint32_t v, int count) {
        for (int i = 0; i < count; ++i) {
            acc |= std::uint64_t((v >> i) & 1) << n;
            if (++n == 8) {
                out.push_back(std::uint8_t(acc));
                acc = 0;
                n = 0;
            }
        }
    }
    void literal(std::uint8_t b) {
        put(0, 1);
        put(b, 8);
    }
    void copy6(std::uint32_t dist, int extraOnes = 0, std::uint32_t extra = 0) {
        put(1, 1);
        put(0, 1);
        put(dist - 1, 6);
        for (int i = 0; i < extraOnes; ++i)
            put(1, 1);
        put(0, 1);
        put(extra, extraOnes);
    }
    Bytes end() {
        put(0xFFFFFF, 24); // back reference with the 20-bit end value
        while (n)
            put(1, 1);
        for (int i = 0; i < 6; ++i)
            out.push_back(0xFF);
        return out;
    }
};

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
    Bytes pattern;
    for (int i = 0; i < 20000; ++i)
        pattern.push_back(std::uint8_t((i % 3) * 40 + (i / 500) % 2)); // short-period runs
    inputs.push_back(pattern);
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

// Hand-written streams: what comes out, what is counted, and what is refused.
TEST(Compression, OddStreamsAreCountedOrRefusedByName) {
    Bits twelveOnes; // a length prefix of twelve ones
    twelveOnes.literal(1);
    twelveOnes.put(1, 1);
    twelveOnes.put(0, 7);
    twelveOnes.put(0xFFF, 12);
    Bits unended;
    for (int i = 0; i < 10; ++i)
        unended.literal(std::uint8_t(i));
    Bits before; // 3 bytes from distance 3: two before the start
    before.literal(7);
    before.copy6(3, 1, 0);
    Bits six;
    for (int i = 0; i < 6; ++i)
        six.literal(std::uint8_t(i + 1));
    Bits one;
    one.literal(5);
    // error, or else how much is written, from before the start and in excess
    const struct {
        const char* what;
        Bytes in;
        std::size_t size, tolerance;
        Bytes want; // the output's start
        const char* error;
        std::size_t written = 0, beforeStart = 0, excess = 0;
    } cases[] = {
        {"twelve ones", twelveOnes.end(), 64, 0, {}, "length prefix longer than 11 bits"},
        {"no end marker", unended.out, 64, 0, {}, "image 5: compressed stream ends without"},
        {"copy from before the start", before.end(), 4, 0, {7, 0, 0, 7}, nullptr, 4, 2, 0},
        {"excess within tolerance", six.end(), 4, 2, {1, 2, 3, 4}, nullptr, 4, 0, 2},
        {"excess past tolerance", six.end(), 3, 2, {}, "past the end"},
        {"stops short", one.end(), 10, 0, {5}, nullptr, 1, 0, 0},
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
