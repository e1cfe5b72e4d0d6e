#pragma once

// Characters of the older generation: a compound document holding a character
// stream (char.acf, signature C1 AB CD AB) and one stream per animation, each
// compressed with the same scheme as the current format's images. They load
// into the same Character as any other; docs/older-format.md describes them.

#include "Character.h"

#include <QByteArray>
#include <QStringList>

#include <string>

namespace agent::format {

// Fills `c` (fresh, its images and sounds empty) from the compound document
// `file`. Throws FormatError naming `source`, the stream and the offset in it
// (in its decompressed bytes where it is compressed). Tolerated faults are
// appended to *warnings. Every image is decoded here: the whole character
// decodes to no more than a fixed budget, checked before each allocation.
void readOlderCharacter(const QByteArray& file, const std::string& source, Character& c,
                        QStringList* warnings);

} // namespace agent::format
