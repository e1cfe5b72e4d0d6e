// Any bytes as a character file: loading and decoding may only throw
// FormatError. What loads must also survive a write and read back equal.

#include "ExerciseCharacter.h"

#include "agent/format/FormatError.h"

#include <QByteArray>

#include <cstdint>

using namespace agent::format;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        fuzzing::exerciseCharacter(Character::fromBytes(bytes, QStringLiteral("fuzz.acs")));
    } catch (const FormatError&) {
    }
    return 0;
}
