#pragma once

// Where the shared real characters are, and small helpers the format tests
// share. A test that needs one skips only when the whole folder is absent (a
// bare clone); a file missing from a present folder fails the test.

#include "agent/format/Character.h"

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

} // namespace testdata

#define SKIP_WITHOUT_SHARED(name)                                                                  \
    do {                                                                                           \
        if (!testdata::sharedPresent())                                                            \
            GTEST_SKIP() << "no shared characters folder (bare clone): "                           \
                         << qPrintable(testdata::sharedDir());                                     \
        ASSERT_TRUE(QFile::exists(testdata::shared(name)))                                         \
            << qPrintable(testdata::shared(name)) << " is missing from the shared characters";     \
    } while (0)
