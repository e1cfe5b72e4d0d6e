// Any bytes as an image's region (after a 4-byte prefix: the image's width and
// height, its x and y offset in a 64x64 frame): parseRegion() keeps inside the
// image or refuses, and frameShape() gives exactly that region, moved and
// clipped to the frame, or (when it is refused) the image's opaque pixels.

#include "Fuzzing.h"

#include "agent/format/Compositor.h"
#include "agent/format/Limits.h"

using namespace agent::format;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    const std::uint16_t width = data[0], height = data[1];
    const int x = std::int8_t(data[2]), y = std::int8_t(data[3]);
    const QByteArray rgn = asBytes(data + 4, size - 4);
    QString why;
    const std::optional<QRegion> region = parseRegion(rgn, QSize(width, height), &why);
    check(region ? region->isEmpty() || QRect(0, 0, width, height).contains(region->boundingRect())
                 : !why.isEmpty());

    Character c;
    c.width = c.height = 64;
    c.addImage(
        Bitmap{width, height, std::vector<std::uint8_t>(limits::imageBytes(width, height), 1)},
        rgn);
    Frame f;
    f.images.push_back({0, std::int16_t(x), std::int16_t(y)});
    const QRegion shape = frameShape(c, f);
    const QRegion frame(0, 0, 64, 64);
    const QRegion want = (region ? *region : QRegion(0, 0, width, height)).translated(x, y) & frame;
    // A shape too intricate for a window becomes each row's outer bounds, a superset.
    check(want.rectCount() <= limits::MaxShapeRects ? (shape ^ want).isEmpty()
                                                    : (want - shape).isEmpty());
    check((shape - frame).isEmpty());
    return 0;
}
