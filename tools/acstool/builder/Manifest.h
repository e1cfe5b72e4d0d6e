#pragma once

// The manifest of a character source folder (character.txt): where its files
// are, how an error names one of its lines, and the parsers for its values.

#include "agent/format/Character.h"

#include <QRgb>
#include <QString>
#include <QStringList>

namespace acstool {

class Manifest {
  public:
    explicit Manifest(const QString& dir);

    // Throws agent::format::FormatError as "PATH:LINE: what".
    [[noreturn]] void fail(int line, const QString& what) const;
    const QString& path() const { return m_path; }
    // A file named in the manifest, relative to its folder.
    QString file(const QString& rel) const;

  private:
    QString m_dir;
    QString m_path;
};

// Each parser fails on the manifest's line when the value does not parse.
bool parseBool(const Manifest& m, int line, const QString& v);
// Decimal, or hexadecimal with "0x"; from lo to hi inclusive.
long long parseInt(const Manifest& m, int line, const QString& v, long long lo, long long hi);
QRgb parseColour(const Manifest& m, int line, const QString& v);
agent::format::MouthType parseMouth(const Manifest& m, int line, const QString& v);

// Splits on whitespace, keeping "quoted words" together.
QStringList words(const QString& text);

} // namespace acstool
