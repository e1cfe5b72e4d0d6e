#include "TrayIcon.h"

#include "ByteReader.h"

#include <vector>

namespace agent::format {

namespace {

// A tray icon is tiny; anything larger is damage.
constexpr std::int32_t MaxSide = 256;

// A packed DIB: BITMAPINFOHEADER, colour table, one pixel array.
struct Dib {
    int width = 0;
    int height = 0;
    bool bottomUp = true;
    int bitCount = 0;
    std::vector<QRgb> colours;
    std::span<const std::uint8_t> pixels;
    std::size_t stride = 0;

    const std::uint8_t* row(int y) const {
        return pixels.data() + std::size_t(bottomUp ? height - 1 - y : y) * stride;
    }
    // Colour table index of pixel (x, y), y counted from the top; bit counts up to 8.
    int index(int x, int y) const {
        const std::uint8_t* p = row(y);
        const int perByte = 8 / bitCount, shift = 8 - bitCount * (1 + x % perByte);
        return (p[x / perByte] >> shift) & ((1 << bitCount) - 1);
    }
    QRgb at(int x, int y) const {
        if (bitCount <= 8)
            return colours[std::size_t(index(x, y))];
        const std::uint8_t* p = row(y) + std::size_t(x) * std::size_t(bitCount / 8);
        return qRgb(p[2], p[1], p[0]);
    }
};

Dib readDib(const QByteArray& bytes, const char* which) {
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                             std::size_t(bytes.size()));
    detail::ByteReader r(data, 0, data.size(), "tray icon", which);
    Dib d;
    if (r.u32("header size") != 40)
        r.failAt(0, "header size is not 40");
    const std::int32_t width = r.i32("width");
    const std::int32_t height = r.i32("height");
    if (width <= 0 || width > MaxSide || height == 0 || height < -MaxSide || height > MaxSide)
        r.failAt(4, "size " + std::to_string(width) + "x" + std::to_string(height) +
                        " is not an icon's");
    d.width = width;
    d.height = height < 0 ? -height : height;
    d.bottomUp = height > 0;
    r.u16("planes");
    d.bitCount = r.u16("bit count");
    if (d.bitCount != 1 && d.bitCount != 4 && d.bitCount != 8 && d.bitCount != 24 &&
        d.bitCount != 32)
        r.failAt(14, std::to_string(d.bitCount) + " bits per pixel");
    if (r.u32("compression") != 0)
        r.failAt(16, "compressed pixels");
    r.bytes(12, "size and resolution");
    std::uint32_t used = r.u32("colours used");
    r.u32("colours important");
    if (d.bitCount <= 8) {
        const std::uint32_t full = 1u << d.bitCount;
        if (used == 0 || used > full)
            used = full;
        for (std::uint32_t i = 0; i < used; ++i) {
            const auto c = r.bytes(4, "colour table"); // blue, green, red, 0
            d.colours.push_back(qRgb(c[2], c[1], c[0]));
        }
        // Indices past a short table read as black rather than out of bounds.
        d.colours.resize(full, qRgb(0, 0, 0));
    }
    d.stride = (std::size_t(d.width) * std::size_t(d.bitCount) + 31) / 32 * 4;
    d.pixels = r.bytes(d.stride * std::size_t(d.height), "pixels");
    return d;
}

} // namespace

QImage decodeTrayIcon(const TrayIcon& icon) {
    const Dib mask = readDib(icon.monochrome, "mask bitmap");
    const Dib colour = readDib(icon.colour, "colour bitmap");
    if (mask.bitCount != 1)
        throw FormatError("tray icon: mask bitmap has " + std::to_string(mask.bitCount) +
                          " bits per pixel, not 1");
    if (mask.width != colour.width || mask.height != colour.height)
        throw FormatError("tray icon: mask is " + std::to_string(mask.width) + "x" +
                          std::to_string(mask.height) + ", colour bitmap " +
                          std::to_string(colour.width) + "x" + std::to_string(colour.height));
    QImage image(colour.width, colour.height, QImage::Format_ARGB32);
    for (int y = 0; y < colour.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < colour.width; ++x) {
            line[x] = mask.index(x, y) ? qRgba(0, 0, 0, 0) : colour.at(x, y); // 1: transparent
        }
    }
    return image;
}

} // namespace agent::format
