#pragma once

// The in-memory model back to a character file. Each image is compressed, or
// stored when that is smaller; Character::fromBytes(write(x)) == x.

#include "Character.h"

#include <QByteArray>
#include <QString>

namespace agent::format {

// Throws FormatError if the model cannot be written (an index out of range,
// a count that does not fit its field, an image that fails to decode).
QByteArray writeCharacter(const Character& character);
void writeCharacterFile(const Character& character, const QString& path);

} // namespace agent::format
