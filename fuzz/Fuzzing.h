#pragma once
// What every fuzz target shares: its input as bytes, and a check whose failure
// ends the run as a crash, which libFuzzer reports with the input.

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

inline QByteArray asBytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

inline void check(bool ok) {
    if (!ok)
        std::abort();
}
