#pragma once

// Bounds-checked little-endian reads over one structure of a file. Every
// failure names the file, the structure and the offset.

#include "FormatError.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace agent::format::detail {

inline std::string hexOffset(std::size_t offset) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%zx", offset);
    return buf;
}

class ByteReader {
  public:
    // Reads file[begin, end) on behalf of `structure`.
    ByteReader(std::span<const std::uint8_t> file, std::size_t begin, std::size_t end,
               std::string source, std::string structure)
        : m_file(file), m_pos(begin), m_end(end), m_source(std::move(source)),
          m_structure(std::move(structure)) {}

    [[noreturn]] void fail(const std::string& what) const { failAt(m_pos, what); }
    [[noreturn]] void failAt(std::size_t offset, const std::string& what) const {
        throw FormatError(m_source + ": " + m_structure + " at offset " + hexOffset(offset) + ": " +
                          what);
    }

    std::size_t offset() const { return m_pos; }
    std::size_t remaining() const { return m_end - m_pos; }
    const std::string& structure() const { return m_structure; }
    const std::string& source() const { return m_source; }

    std::span<const std::uint8_t> bytes(std::size_t n, const char* field) {
        if (n > remaining())
            fail(std::string(field) + " needs " + std::to_string(n) + " bytes, only " +
                 std::to_string(remaining()) + " left in the structure");
        auto s = m_file.subspan(m_pos, n);
        m_pos += n;
        return s;
    }
    std::uint8_t u8(const char* field) { return bytes(1, field)[0]; }
    std::uint16_t u16(const char* field) {
        auto b = bytes(2, field);
        return std::uint16_t(b[0] | b[1] << 8);
    }
    std::int16_t i16(const char* field) { return std::int16_t(u16(field)); }
    std::uint32_t u32(const char* field) {
        auto b = bytes(4, field);
        return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
               std::uint32_t(b[3]) << 24;
    }
    std::int32_t i32(const char* field) { return std::int32_t(u32(field)); }

    // A list count, refused when `count` items of at least `minItemSize` bytes
    // cannot fit in what is left: that bounds every allocation by the file size.
    std::size_t count(std::size_t count, std::size_t minItemSize, const char* list) {
        if (minItemSize && count > remaining() / minItemSize)
            failAt(m_pos, std::string(list) + " count " + std::to_string(count) +
                              " cannot fit in the " + std::to_string(remaining()) + " bytes left");
        return count;
    }

    // ULONG character count, UTF-16 characters, then a terminator when non-empty.
    QString string(const char* field) {
        const std::size_t start = m_pos;
        const std::uint32_t n = u32(field);
        if (n == 0)
            return {};
        if (n > (remaining() / 2) - 1 || remaining() < 2)
            failAt(start, std::string(field) + ": string length " + std::to_string(n) +
                              " runs past the structure");
        auto b = bytes(std::size_t(n) * 2 + 2, field);
        QString s(qsizetype(n), Qt::Uninitialized);
        for (std::uint32_t i = 0; i < n; ++i)
            s[qsizetype(i)] = QChar(char16_t(b[2 * i] | b[2 * i + 1] << 8));
        return s;
    }

  private:
    std::span<const std::uint8_t> m_file;
    std::size_t m_pos;
    std::size_t m_end;
    std::string m_source;
    std::string m_structure;
};

} // namespace agent::format::detail
