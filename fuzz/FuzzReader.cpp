// Any bytes as a character file: loading and decoding may only throw
// FormatError. What loads must also survive a write and read back equal.

#include "agent/format/Character.h"
#include "agent/format/Compositor.h"
#include "agent/format/Writer.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

using namespace agent::format;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    Character c;
    try {
        c = Character::fromBytes(bytes, QStringLiteral("fuzz.acs"));
        for (std::size_t i = 0; i < c.imageCount(); ++i) {
            c.bitmap(i);
            parseRegion(c.regionData(i), QSize(c.imageEntry(i).width, c.imageEntry(i).height));
        }
        // Compositing allocates the frame size; keep runs fast on big claims.
        if (std::size_t(c.width) * c.height <= (1u << 20)) {
            int frames = 0;
            for (const Animation& a : c.animations)
                for (const Frame& f : a.frames) {
                    if (++frames > 64)
                        break;
                    composeFrame(c, f);
                    frameShape(c, f);
                    for (const MouthOverlay& o : f.overlays)
                        composeFrame(c, f, o.type);
                }
        }
    } catch (const FormatError&) {
        return 0;
    }
    // A file that loads round-trips through the writer.
    const Character back = Character::fromBytes(writeCharacter(c), QStringLiteral("again.acs"));
    if (!(back == c))
        std::abort();
    return 0;
}
