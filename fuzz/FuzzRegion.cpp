// Any bytes as an image's region (after a 4-byte prefix: the image's width and
// height, its x and y offset in a 64x64 frame): parseRegion() keeps inside the
// image or refuses, and frameShape() gives exactly that region, moved and
// clipped to the frame, or (when it is refused) the image's opaque pixels.

#include "agent/format/Compositor.h"
#include "agent/format/Limits.h"

#include <cstdint>
#include <cstdlib>

using namespace agent::format;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    const std::uint16_t width = data[0], height = data[1];
    const int x = std::int8_t(data[2]), y = std::int8_t(data[3]);
    const QByteArray rgn(reinterpret_cast<const char*>(data + 4), qsizetype(size - 4));
    QString why;
    const std::optional<QRegion> region = parseRegion(rgn, QSize(width, height), &why);
    if (region ? !QRect(0, 0, width, height).contains(region->boundingRect()) && !region->isEmpty()
               : why.isEmpty())
        std::abort();

    Character c;
    c.width = c.height = 64;
    Bitmap opaque{width, height,
                  std::vector<std::uint8_t>(limits::imageBytes(width, height), std::uint8_t(1))};
    c.addImage(std::move(opaque), rgn);
    Frame f;
    f.images.push_back({0, std::int16_t(x), std::int16_t(y)});
    const QRegion shape = frameShape(c, f);
    const QRegion frame(0, 0, 64, 64);
    const QRegion want = (region ? *region : QRegion(0, 0, width, height)).translated(x, y) & frame;
    // A shape too intricate for a window becomes each row's outer bounds, a superset.
    if (want.rectCount() <= limits::MaxShapeRects ? !(shape ^ want).isEmpty()
                                                  : !(want - shape).isEmpty())
        std::abort();
    if (!(shape - frame).isEmpty())
        std::abort();
    return 0;
}
