// Any bytes as a character file: loading and decoding may only throw
// FormatError. What loads must also survive a write and read back equal.

#include "ExerciseCharacter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::exerciseFile(asBytes(data, size));
    return 0;
}
