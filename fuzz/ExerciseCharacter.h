#pragma once
// What the fuzz targets ask of bytes read as a character file: loading and
// decoding may only refuse with FormatError. What loads has every image and
// region decoded, the first frames composed (with each mouth) and shaped, then
// a write in the current format that must read back equal.

#include "Fuzzing.h"

#include "agent/format/Character.h"
#include "agent/format/Compositor.h"
#include "agent/format/FormatError.h"
#include "agent/format/Writer.h"

namespace fuzzing {

inline void exerciseFile(const QByteArray& bytes) {
    using namespace agent::format;
    try {
        const Character c = Character::fromBytes(bytes, QStringLiteral("fuzz.acs"));
        std::size_t pixels = 0;
        for (std::size_t i = 0; i < c.imageCount(); ++i) {
            pixels += c.bitmap(i).pixels.size();
            parseRegion(c.regionData(i), QSize(c.imageEntry(i).width, c.imageEntry(i).height));
        }
        // Compositing and shaping cost the frame's area each time; a few frames
        // of a modest size reach every path, bigger claims only slow the run.
        int frames = 0;
        for (const Animation& a : c.animations)
            for (const Frame& f : a.frames) {
                if (++frames > 16 || std::size_t(c.width) * c.height > (1u << 16))
                    break;
                composeFrame(c, f);
                frameShape(c, f);
                for (const MouthOverlay& o : f.overlays)
                    composeFrame(c, f, o.type);
            }
        // What loaded must write and read back without complaint: noexcept makes
        // a FormatError here a crash. Packing costs per pixel, and big pictures
        // take no path small ones do not.
        if (pixels <= (1u << 16))
            [&c]() noexcept {
                check(Character::fromBytes(writeCharacter(c), QStringLiteral("again.acs")) == c);
            }();
    } catch (const FormatError&) {
    }
}

} // namespace fuzzing
