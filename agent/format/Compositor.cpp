#include "Compositor.h"

#include "Limits.h"

#include <QList>

#include <cstring>

namespace agent::format {

namespace {

struct Placement {
    std::size_t image;
    int x;
    int y;
};

// Counts images and their pixel bytes against the frame's bounds.
class Budget {
  public:
    explicit Budget(const Character& c)
        : m_character(c), m_bytes(limits::maxFrameBytes(c.width, c.height)) {}
    bool take(std::size_t image) {
        const ImageEntry& e = m_character.imageEntry(image);
        const std::size_t bytes = limits::imageBytes(e.width, e.height);
        if (m_count == limits::MaxFrameImages || bytes > m_bytes)
            return false;
        ++m_count;
        m_bytes -= bytes;
        return true;
    }

  private:
    const Character& m_character;
    std::size_t m_bytes;
    std::size_t m_count = 0;
};

// The images to draw, top first: the mouth overlay replaces or tops images[0];
// what passes the bounds is left out.
std::vector<Placement> placements(const Character& c, const Frame& frame,
                                  std::optional<MouthType> mouth) {
    std::vector<Placement> list;
    Budget budget(c);
    const MouthOverlay* overlay = mouth ? frame.overlay(*mouth) : nullptr;
    if (overlay && budget.take(overlay->image))
        list.push_back({overlay->image, overlay->x, overlay->y});
    for (std::size_t i = 0; i < frame.images.size(); ++i) {
        if (i == 0 && overlay && overlay->replaceTopImage)
            continue;
        const FrameImage& im = frame.images[i];
        if (!budget.take(im.image))
            break;
        list.push_back({im.image, im.x, im.y});
    }
    return list;
}

// The part of the frame an image at (x, y) covers, in frame coordinates.
QRect clipped(const Character& c, int x, int y, int width, int height) {
    return QRect(x, y, width, height) & QRect(0, 0, c.width, c.height);
}

} // namespace

std::size_t drawableImages(const Character& c, const Frame& frame) {
    Budget budget(c);
    std::size_t largest = 0, overlay = 0;
    for (const MouthOverlay& o : frame.overlays) {
        const ImageEntry& e = c.imageEntry(o.image);
        if (const std::size_t bytes = limits::imageBytes(e.width, e.height); bytes > largest) {
            largest = bytes;
            overlay = o.image;
        }
    }
    if (!frame.overlays.empty())
        budget.take(overlay);
    std::size_t n = 0;
    while (n < frame.images.size() && budget.take(frame.images[n].image))
        ++n;
    return n;
}

QImage composeFrame(const Character& character, const Frame& frame,
                    std::optional<MouthType> mouth) {
    QImage out(character.width, character.height, QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    const std::vector<QRgb> colours = character.colourTable();
    const std::uint8_t clear = character.transparentIndex;
    const std::vector<Placement> list = placements(character, frame, mouth);
    for (auto it = list.crbegin(); it != list.crend(); ++it) { // last to first
        const std::shared_ptr<const Bitmap> b = character.usableBitmap(it->image);
        if (!b)
            continue;
        // Clip the image's rectangle to the frame once, then copy rows.
        const QRect area = clipped(character, it->x, it->y, b->width, b->height);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const std::uint8_t* src = b->scanLine(y - it->y);
            auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = area.left(); x <= area.right(); ++x) {
                const std::uint8_t index = src[x - it->x];
                if (index != clear)
                    dst[x] = colours[index];
            }
        }
    }
    return out;
}

// Marks what each image covers in a frame-sized mask, then reads the mask back
// as rows of runs, rows with the same runs joined into one band. That is the
// banded form QRegion keeps, built in one pass, where uniting the images' own
// regions would cost far more on intricate shapes.
QRegion frameShape(const Character& character, const Frame& frame, std::optional<MouthType> mouth) {
    const int width = character.width, height = character.height;
    if (!width || !height)
        return {};
    std::vector<std::uint8_t> mask(std::size_t(width) * std::size_t(height), 0);
    auto row = [&](int y) { return mask.data() + std::size_t(y) * std::size_t(width); };
    const std::uint8_t clear = character.transparentIndex;
    for (const Placement& p : placements(character, frame, mouth)) {
        // An image left out of the picture is left out of the shape too.
        const std::shared_ptr<const Bitmap> b = character.usableBitmap(p.image);
        if (!b)
            continue;
        if (const std::optional<QRegion> region = character.usableRegion(p.image)) {
            // Sound regions are banded and clipped to their image: each pixel is marked once.
            for (const QRect& r : *region) {
                const QRect area = r.translated(p.x, p.y) & QRect(0, 0, width, height);
                for (int y = area.top(); y <= area.bottom(); ++y)
                    std::memset(row(y) + area.left(), 1, std::size_t(area.width()));
            }
            continue;
        }
        const QRect area = clipped(character, p.x, p.y, b->width, b->height);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const std::uint8_t* src = b->scanLine(y - p.y);
            std::uint8_t* dst = row(y);
            for (int x = area.left(); x <= area.right(); ++x)
                dst[x] |= std::uint8_t(src[x - p.x] != clear);
        }
    }

    QList<QRect> rects;
    qsizetype band = 0; // where the current band's rectangles start
    std::vector<int> runs, previous;
    bool simplified = false;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* line = row(y);
        runs.clear();
        for (int x = 0; x < width;) {
            if (!line[x]) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < width && line[x])
                ++x;
            runs.push_back(start);
            runs.push_back(x);
        }
        if (!simplified && rects.size() + qsizetype(runs.size() / 2) > limits::MaxShapeRects) {
            // Too intricate to be worth a window shape: start again with each row's outer bounds.
            simplified = true;
            rects.clear();
            previous.clear();
            y = -1;
            continue;
        }
        if (simplified && runs.size() > 2)
            runs.erase(runs.begin() + 1, runs.end() - 1);
        if (runs == previous && !runs.empty()) {
            for (qsizetype i = band; i < rects.size(); ++i)
                rects[i].setBottom(y);
            continue;
        }
        band = rects.size();
        for (std::size_t i = 0; i < runs.size(); i += 2)
            rects.append(QRect(runs[i], y, runs[i + 1] - runs[i], 1));
        previous.swap(runs);
    }
    QRegion shape;
    shape.setRects(rects.constData(), int(rects.size()));
    return shape;
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
