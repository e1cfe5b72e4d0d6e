#pragma once

// The character format's bit-level LZ scheme: a 0x00 byte, a stream of
// LSB-first bit sequences (a literal byte, or a back reference of 2..4097
// bytes at distance 1..1053247), an end marker, then 1-bits to the end.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace agent::format {

struct DecompressResult {
    std::size_t written = 0;     // bytes written to the output (<= out.size())
    std::size_t excess = 0;      // bytes the stream produced past the output's end (dropped)
    std::size_t beforeStart = 0; // bytes copied from before the output's start (read as 0)
    std::size_t consumed = 0;    // input bytes up to and including the end marker
};

// Decompresses `in` into `out`. Every read and write is bounded. Throws
// FormatError (message prefixed by `what`) when the stream is malformed, ends
// without its end marker, or runs more than `maxExcess` bytes past `out`.
// Stopping short of out.size() is not an error here: check result.written
// (bytes of `out` past it are unspecified).
DecompressResult decompress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                            const std::string& what, std::size_t maxExcess = 0);

// Compresses `in`; decompress() of the result gives `in` back exactly.
std::vector<std::uint8_t> compress(std::span<const std::uint8_t> in);

} // namespace agent::format
