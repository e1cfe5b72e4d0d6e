// Any bytes as an older-generation character: the compound document (libgsf),
// its streams and the character in them may only end in FormatError. Every
// input gets the container's signature, so each run takes that path; what
// loads must survive a write in the current format and read back equal.

#include "ExerciseCharacter.h"

// libgsf 1.14.50 leaks a few hundred bytes of a directory entry when it gives
// up on a malformed directory inside gsf_infile_msole_new: its fault, not ours.
// GLib's allocators are named too: without frame pointers the stacks of such
// leaks often end there, before they reach libgsf.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libgsf-1\nleak:libglib-2.0\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8)
        return 0;
    QByteArray bytes = asBytes(data, size);
    bytes.replace(0, 8, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    fuzzing::exerciseFile(bytes);
    return 0;
}
