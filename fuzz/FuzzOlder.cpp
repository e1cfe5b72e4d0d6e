// Any bytes as an older-generation character: the compound document (libgsf),
// its streams and the character in them may only end in FormatError. Every
// input gets the container's signature, so each run takes that path; what
// loads must survive a write in the current format and read back equal.

#include "agent/format/Character.h"
#include "agent/format/Compositor.h"
#include "agent/format/Writer.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace agent::format;

// libgsf 1.14.50 leaks a few hundred bytes of a directory entry when it gives
// up on a malformed directory inside gsf_infile_msole_new: its fault, not ours.
// GLib's allocators are named too: without frame pointers the stacks of such
// leaks often end there, before they reach libgsf.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libgsf-1\nleak:libglib-2.0\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char signature[8] = {'\xD0', '\xCF', '\x11', '\xE0',
                                      '\xA1', '\xB1', '\x1A', '\xE1'};
    if (size < sizeof signature)
        return 0;
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    std::memcpy(bytes.data(), signature, sizeof signature);
    Character c;
    try {
        c = Character::fromBytes(bytes, QStringLiteral("fuzz.acs"));
        int frames = 0;
        for (const Animation& a : c.animations)
            for (const Frame& f : a.frames) {
                if (++frames > 32)
                    break;
                composeFrame(c, f);
                frameShape(c, f);
                for (const MouthOverlay& o : f.overlays)
                    composeFrame(c, f, o.type);
            }
    } catch (const FormatError&) {
        return 0;
    }
    const Character back = Character::fromBytes(writeCharacter(c), QStringLiteral("again.acs"));
    if (!(back == c))
        std::abort();
    return 0;
}
