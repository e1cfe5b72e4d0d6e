#pragma once

// Where the shared real characters are, and small helpers the format tests
// share. A test that needs one skips only when the whole folder is absent (a
// bare clone); a file missing from a present folder fails the test.

#include "agent/format/Character.h"
#include "agent/format/FormatError.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

namespace testdata {

inline QString sharedDir() {
    return QStringLiteral(PARLAVOX_SHARED_CHARACTERS);
}
inline QString shared(const QString& name) {
    return QDir(sharedDir()).filePath(name);
}
inline bool sharedPresent() {
    return QDir(sharedDir()).exists();
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// Decodes every image and region and composites every frame (with each of its
// overlays): what the engine could ask of a loaded file.
void decodeEverything(const agent::format::Character& c);

// Little-endian fields of a file in memory, for writing damage into it.
inline std::uint32_t get(const QByteArray& b, qsizetype at, int bytes = 4) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint32_t(std::uint8_t(b[at + i])) << (8 * i);
    return v;
}
inline void put(QByteArray& b, qsizetype at, std::uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i)
        b[at + i] = char(v >> (8 * i));
}

// The message of the FormatError `f` throws; "(no error)" when it throws none.
template <class F> std::string errorOf(F&& f) {
    try {
        f();
    } catch (const agent::format::FormatError& e) {
        return e.what();
    }
    return "(no error)";
}
#define EXPECT_MENTIONS(message, part)                                                             \
    EXPECT_NE((message).find(part), std::string::npos) << (message)

} // namespace testdata

#define SKIP_WITHOUT_SHARED(name)                                                                  \
    do {                                                                                           \
        if (!testdata::sharedPresent())                                                            \
            GTEST_SKIP() << "no shared characters folder (bare clone): "                           \
                         << qPrintable(testdata::sharedDir());                                     \
        ASSERT_TRUE(QFile::exists(testdata::shared(name)))                                         \
            << qPrintable(testdata::shared(name)) << " is missing from the shared characters";     \
    } while (0)
