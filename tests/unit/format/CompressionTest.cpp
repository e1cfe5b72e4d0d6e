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

TEST(Compression, CompressesRunsAndFarRepeatsWell) {
    EXPECT_LT(compress(Bytes(100000, 3)).size(), 200u);
    std::mt19937 rng(3);
    Bytes block(8000);
    for (auto& b : block)
        b = std::uint8_t(rng());
    Bytes twice = block;
    twice.insert(twice.end(), block.begin(), block.end()); // distance 8000: 20-bit form
    EXPECT_LT(compress(twice).size(), compress(block).size() + 100);
}

TEST(Compression, LengthPrefixOfTwelveOnesIsRefused) {
    Bits s;
    s.literal(1);
    s.put(1, 1);
    s.put(0, 1);
    s.put(0, 6);
    s.put(0xFFF, 12);
    const Bytes in = s.end();
    Bytes out(64);
    EXPECT_THROW(decompress(in, out, "t"), FormatError);
}

TEST(Compression, StreamWithoutEndMarkerIsRefused) {
    Bits s;
    for (int i = 0; i < 10; ++i)
        s.literal(std::uint8_t(i));
    Bytes in = s.out; // no end marker, no padding
    Bytes out(64);
    try {
        decompress(in, out, "image 5");
        FAIL() << "no error";
    } catch (const FormatError& e) {
        EXPECT_NE(
            std::string(e.what()).find("image 5: compressed stream ends without its end marker"),
            std::string::npos)
            << e.what();
    }
}

TEST(Compression, CopiesFromBeforeTheStartReadZerosAndAreCounted) {
    Bits s;
    s.literal(7);
    s.copy6(3, 1, 0); // 3 bytes from distance 3: two before the start
    const Bytes in = s.end();
    Bytes out(4, 0xEE);
    const DecompressResult r = decompress(in, out, "t");
    EXPECT_EQ(out, (Bytes{7, 0, 0, 7}));
    EXPECT_EQ(r.beforeStart, 2u);
    EXPECT_EQ(r.written, 4u);
}

TEST(Compression, ExcessWithinToleranceIsDroppedAndCounted) {
    Bits s;
    for (int i = 0; i < 6; ++i)
        s.literal(std::uint8_t(i + 1));
    const Bytes in = s.end();
    Bytes out(4);
    const DecompressResult r = decompress(in, out, "t", 2);
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(r.excess, 2u);
    Bytes out2(3);
    EXPECT_THROW(decompress(in, out2, "t", 2), FormatError);
}

TEST(Compression, StoppingShortIsReportedNotPadded) {
    Bits s;
    s.literal(5);
    const Bytes in = s.end();
    Bytes out(10, 0xEE);
    const DecompressResult r = decompress(in, out, "t");
    EXPECT_EQ(r.written, 1u);
    EXPECT_EQ(out[0], 5);
}

TEST(Compression, EveryTruncationOfAStreamFailsCleanly) {
    std::mt19937 rng(11);
    Bytes data(3000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t(i % 97 < 50 ? 0 : rng() % 8);
    const Bytes packed = compress(data);
    for (std::size_t len = 0; len + 6 < packed.size(); ++len) {
        const Bytes cut(packed.begin(), packed.begin() + std::ptrdiff_t(len));
        Bytes out(data.size());
        try {
            const DecompressResult r = decompress(cut, out, "t");
            EXPECT_LT(r.written, data.size()) << "cut at " << len;
        } catch (const FormatError&) {
        }
    }
}
