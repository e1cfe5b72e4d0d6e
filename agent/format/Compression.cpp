#include "Compression.h"

#include "FormatError.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace agent::format {

namespace {

constexpr std::uint32_t EndMarker = 0xFFFFF;

// LSB-first bit reader over a bounded buffer. Refills 64 bits at a time; the
// caller refills once per sequence (the longest, a 20-bit-offset back reference,
// is 1 + 3 + 20 + 12 + 11 = 47 bits) and checks `available` before reads.
class BitReader {
  public:
    explicit BitReader(std::span<const std::uint8_t> in) : m_in(in) {}

    void refill() {
        if (m_pos + 8 <= m_in.size()) {
            std::uint64_t word;
            std::memcpy(&word, m_in.data() + m_pos, 8); // little-endian hosts only (x86, arm)
            m_bits |= word << m_count;
            m_pos += (63 - m_count) >> 3;
            m_count |= 56;
            return;
        }
        while (m_count <= 56 && m_pos < m_in.size()) {
            m_bits |= std::uint64_t(m_in[m_pos++]) << m_count;
            m_count += 8;
        }
    }
    int available() const { return int(m_count); }
    std::uint32_t peek(int n) const { return std::uint32_t(m_bits & ((1ull << n) - 1)); }
    void skip(int n) {
        m_bits >>= n;
        m_count -= unsigned(n);
    }
    std::uint32_t take(int n) {
        const std::uint32_t v = peek(n);
        skip(n);
        return v;
    }
    // Input bytes fully consumed so far.
    std::size_t consumedBytes() const { return m_pos - m_count / 8; }

  private:
    std::span<const std::uint8_t> m_in;
    std::size_t m_pos = 0;
    std::uint64_t m_bits = 0;
    unsigned m_count = 0;
};

[[noreturn]] void fail(const std::string& what, const std::string& msg, std::size_t at) {
    throw FormatError(what + ": compressed stream " + msg + " (input byte " + std::to_string(at) +
                      ")");
}

// Copies `len` bytes from `dist` back; the ranges may overlap (a run).
inline void copyMatch(std::uint8_t* dst, std::size_t dist, std::size_t len) {
    const std::uint8_t* src = dst - dist;
    if (dist >= len) {
        std::memcpy(dst, src, len);
    } else if (dist == 1) {
        std::memset(dst, *src, len);
    } else {
        // Each pass doubles the copied pattern, so the copies never overlap.
        std::size_t done = 0;
        std::size_t chunk = dist;
        while (done < len) {
            const std::size_t n = std::min(chunk, len - done);
            std::memcpy(dst + done, src, n);
            done += n;
            chunk = dist + done - (done % dist); // whole periods available behind dst + done
            src = dst + done - chunk;
        }
    }
}

} // namespace

DecompressResult decompress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                            const std::string& what, std::size_t maxExcess) {
    DecompressResult r;
    if (in.empty())
        fail(what, "is empty", 0);
    BitReader bits(in.subspan(1)); // the leading byte is always 0x00
    std::uint8_t* const base = out.data();
    const std::size_t size = out.size();
    std::size_t o = 0;

    auto need = [&](int n) {
        if (bits.available() < n)
            fail(what, "ends without its end marker", 1 + bits.consumedBytes());
    };

    for (;;) {
        bits.refill();
        need(1);
        if (bits.take(1) == 0) {
            need(8);
            const std::uint8_t byte = std::uint8_t(bits.take(8));
            if (o < size)
                base[o++] = byte;
            else if (++r.excess > maxExcess)
                fail(what, "runs past the end of its output", 1 + bits.consumedBytes());
            continue;
        }

        // Offset: 0 -> 6 bits, 10 -> 9 bits, 110 -> 12 bits, 111 -> 20 bits.
        need(3);
        std::size_t length = 2;
        std::size_t dist;
        const std::uint32_t prefix = bits.peek(3);
        if ((prefix & 1) == 0) {
            bits.skip(1);
            need(6);
            dist = bits.take(6) + 1;
        } else if ((prefix & 2) == 0) {
            bits.skip(2);
            need(9);
            dist = bits.take(9) + 65;
        } else if ((prefix & 4) == 0) {
            bits.skip(3);
            need(12);
            dist = bits.take(12) + 577;
        } else {
            bits.skip(3);
            need(20);
            const std::uint32_t v = bits.take(20);
            if (v == EndMarker) {
                r.written = o;
                r.consumed = 1 + bits.consumedBytes();
                return r;
            }
            dist = v + 4673;
            length = 3;
        }

        // Length: k one-bits (k <= 11), a zero, then k bits; adds 2^k - 1 + value.
        need(12);
        const int k = std::countr_one(bits.peek(12));
        if (k == 12)
            fail(what, "has a length prefix longer than 11 bits", 1 + bits.consumedBytes());
        bits.skip(k + 1);
        if (k) {
            need(k);
            length += ((1u << k) - 1) + bits.take(k);
        }

        // Copy what fits; the part before the output start reads as zeros.
        const std::size_t fit = o < size ? std::min(length, size - o) : 0;
        if (fit && dist <= o) {
            std::uint8_t* dst = base + o;
            if (dist >= 8 && fit <= 64 && size - o >= fit + 8) {
                // Whole 8-byte steps, each reading only bytes already written;
                // the overshoot (< 8 bytes) is rewritten by what follows.
                for (std::size_t i = 0; i < fit; i += 8)
                    std::memcpy(dst + i, dst + i - dist, 8);
            } else {
                copyMatch(dst, dist, fit);
            }
        } else if (fit) {
            for (std::size_t i = 0; i < fit; ++i) {
                const std::size_t at = o + i;
                if (at < dist) {
                    base[at] = 0;
                    ++r.beforeStart;
                } else {
                    base[at] = base[at - dist];
                }
            }
        }
        o += fit;
        r.excess += length - fit;
        if (r.excess > maxExcess)
            fail(what, "runs past the end of its output", 1 + bits.consumedBytes());
    }
}

namespace {

// LSB-first bit writer.
class BitWriter {
  public:
    void put(std::uint32_t value, int n) {
        m_bits |= std::uint64_t(value) << m_count;
        m_count += n;
        while (m_count >= 8) {
            m_out.push_back(std::uint8_t(m_bits));
            m_bits >>= 8;
            m_count -= 8;
        }
    }
    void ones(int n) {
        while (n > 0) {
            const int step = std::min(n, 24);
            put((1u << step) - 1, step);
            n -= step;
        }
    }
    std::vector<std::uint8_t> finish() {
        if (m_count)
            put(0xFF >> m_count, 8 - m_count); // pad the last byte with 1-bits
        return std::move(m_out);
    }
    std::vector<std::uint8_t>& bytes() { return m_out; }

  private:
    std::vector<std::uint8_t> m_out;
    std::uint64_t m_bits = 0;
    int m_count = 0;
};

constexpr std::size_t MaxDistance = 4673 + 0xFFFFE;
constexpr std::size_t MinMatch = 2;
constexpr std::size_t MaxExtra = 4094;
constexpr int MaxHashBits = 15;
constexpr int MaxChain = 24;

inline std::uint32_t hash3(const std::uint8_t* p, int bits) {
    const std::uint32_t v =
        std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
    return (v * 2654435761u) >> (32 - bits);
}

void putMatch(BitWriter& w, std::size_t dist, std::size_t length) {
    w.put(1, 1);
    std::size_t base = 2;
    if (dist <= 64) {
        w.put(0, 1);
        w.put(std::uint32_t(dist - 1), 6);
    } else if (dist <= 576) {
        w.put(0b01, 2);
        w.put(std::uint32_t(dist - 65), 9);
    } else if (dist <= 4672) {
        w.put(0b011, 3);
        w.put(std::uint32_t(dist - 577), 12);
    } else {
        w.put(0b111, 3);
        w.put(std::uint32_t(dist - 4673), 20);
        base = 3;
    }
    const std::size_t extra = length - base;
    int k = 0;
    while (extra > (std::size_t(2) << k) - 2)
        ++k;
    w.ones(k);
    w.put(0, 1);
    if (k)
        w.put(std::uint32_t(extra - ((std::size_t(1) << k) - 1)), k);
}

} // namespace

std::vector<std::uint8_t> compress(std::span<const std::uint8_t> in) {
    BitWriter w;
    w.bytes().reserve(in.size() / 4 + 16);
    w.put(0, 8);

    const std::size_t n = in.size();
    // A table no larger than the input: small blocks (regions, small images)
    // are the common case and should not pay for clearing a big one.
    const int hashBits = std::clamp(int(std::bit_width(n)), 8, MaxHashBits);
    std::vector<std::int32_t> head(std::size_t(1) << hashBits, -1);
    std::vector<std::int32_t> prev(n, -1);
    auto insert = [&](std::size_t i) {
        if (i + 3 <= n) {
            const std::uint32_t h = hash3(in.data() + i, hashBits);
            prev[i] = head[h];
            head[h] = std::int32_t(i);
        }
    };

    std::size_t i = 0;
    while (i < n) {
        std::size_t bestLen = 0;
        std::size_t bestDist = 0;
        // A run of one byte value is the commonest case in images: try distance 1 first.
        if (i >= 1) {
            std::size_t len = 0;
            const std::size_t limit = std::min(n - i, MaxExtra + 2);
            while (len < limit && in[i + len] == in[i - 1])
                ++len;
            if (len >= MinMatch) {
                bestLen = len;
                bestDist = 1;
            }
        }
        if (i + 3 <= n && bestLen < MaxExtra + 2) {
            int chain = MaxChain;
            for (std::int32_t c = head[hash3(in.data() + i, hashBits)]; c >= 0 && chain-- > 0;
                 c = prev[c]) {
                const std::size_t dist = i - std::size_t(c);
                if (dist > MaxDistance)
                    break;
                const std::size_t base = dist > 4672 ? 3 : 2;
                const std::size_t limit = std::min(n - i, MaxExtra + base);
                std::size_t len = 0;
                while (len < limit && in[std::size_t(c) + len] == in[i + len])
                    ++len;
                if (len >= base && len > bestLen + (dist > 4672 ? 1 : 0)) {
                    bestLen = len;
                    bestDist = dist;
                }
            }
        }
        if (bestLen >= MinMatch) {
            putMatch(w, bestDist, bestLen);
            for (std::size_t j = 0; j < bestLen; ++j)
                insert(i + j);
            i += bestLen;
        } else {
            w.put(std::uint32_t(in[i]) << 1, 9);
            insert(i);
            ++i;
        }
    }
    // End marker, then 1-bits, as every original block ends.
    w.ones(4 + 20);
    std::vector<std::uint8_t> out = w.finish();
    out.insert(out.end(), 4, 0xFF);
    return out;
}

} // namespace agent::format
