#pragma once

// Compiles a character from a source folder: a manifest (character.txt) plus
// PNG images and WAV sounds. The format is described in tools/README.md.

#include "agent/format/Character.h"

#include <QString>

namespace acstool {

// Throws agent::format::FormatError naming the manifest line or file at fault.
agent::format::Character buildCharacter(const QString& sourceDir);

} // namespace acstool
