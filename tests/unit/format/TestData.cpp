#include "TestData.h"

#include "agent/format/Compositor.h"

namespace testdata {

void decodeEverything(const agent::format::Character& c) {
    for (std::size_t i = 0; i < c.imageCount(); ++i) {
        c.bitmap(i);
        c.regionData(i);
    }
    for (const auto& a : c.animations)
        for (const auto& f : a.frames) {
            agent::format::composeFrame(c, f);
            agent::format::frameShape(c, f);
            for (const auto& o : f.overlays)
                agent::format::composeFrame(c, f, o.type);
        }
}

} // namespace testdata
