#pragma once

// Where the shared real characters are (tests using them skip when absent),
// and small helpers the format tests share.

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
inline bool haveShared(const QString& name) {
    return QFile::exists(shared(name));
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
        if (!testdata::haveShared(name))                                                           \
            GTEST_SKIP() << "shared character " << qPrintable(QString(name)) << " not present";    \
    } while (0)
