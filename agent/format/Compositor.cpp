#include "Compositor.h"

#include <QList>

#include <cstring>

namespace agent::format {

namespace {

struct Placement {
    std::size_t image;
    int x;
    int y;
};

// The images to draw, top first: the mouth overlay replaces or tops images[0].
QList<Placement> placements(const Frame& frame, std::optional<MouthType> mouth) {
    QList<Placement> list;
    const MouthOverlay* overlay = mouth ? frame.overlay(*mouth) : nullptr;
    if (overlay)
        list.append({overlay->image, overlay->x, overlay->y});
    for (std::size_t i = 0; i < frame.images.size(); ++i) {
        if (i == 0 && overlay && overlay->replaceTopImage)
            continue;
        const FrameImage& im = frame.images[i];
        list.append({im.image, im.x, im.y});
    }
    return list;
}

} // namespace

QImage composeFrame(const Character& character, const Frame& frame,
                    std::optional<MouthType> mouth) {
    QImage out(character.width, character.height, QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    const std::vector<QRgb> colours = character.colourTable();
    const std::uint8_t clear = character.transparentIndex;
    const QList<Placement> list = placements(frame, mouth);
    for (auto it = list.crbegin(); it != list.crend(); ++it) { // last to first
        const Bitmap& b = character.bitmap(it->image);
        // Clip the image's rectangle to the frame once, then copy rows.
        const int x0 = std::max(0, it->x), x1 = std::min<int>(out.width(), it->x + b.width);
        const int y0 = std::max(0, it->y), y1 = std::min<int>(out.height(), it->y + b.height);
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* src = b.scanLine(y - it->y);
            auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = x0; x < x1; ++x) {
                const std::uint8_t index = src[x - it->x];
                if (index != clear)
                    dst[x] = colours[index];
            }
        }
    }
    return out;
}

QRegion frameShape(const Character& character, const Frame& frame, std::optional<MouthType> mouth) {
    QRegion shape;
    const std::uint8_t clear = character.transparentIndex;
    for (const Placement& p : placements(frame, mouth)) {
        std::optional<QRegion> region = parseRegion(character.regionData(p.image));
        if (!region) {
            // No region data: the image's non-transparent runs, row by row.
            const Bitmap& b = character.bitmap(p.image);
            QList<QRect> rects;
            for (int y = 0; y < b.height; ++y) {
                const std::uint8_t* row = b.scanLine(y);
                for (int x = 0; x < b.width;) {
                    if (row[x] == clear) {
                        ++x;
                        continue;
                    }
                    const int start = x;
                    while (x < b.width && row[x] != clear)
                        ++x;
                    rects.append(QRect(start, y, x - start, 1));
                }
            }
            region = QRegion();
            region->setRects(rects.constData(), int(rects.size()));
        }
        shape += region->translated(p.x, p.y);
    }
    return shape & QRegion(0, 0, character.width, character.height);
}

QImage indexedImage(const Character& character, std::size_t imageIndex) {
    const Bitmap& b = character.bitmap(imageIndex);
    QImage img(b.width, b.height, QImage::Format_Indexed8);
    const std::vector<QRgb> colours = character.colourTable();
    img.setColorTable(QList<QRgb>(colours.begin(), colours.end()));
    for (int y = 0; y < b.height; ++y)
        std::memcpy(img.scanLine(y), b.scanLine(y), b.width);
    return img;
}

} // namespace agent::format
