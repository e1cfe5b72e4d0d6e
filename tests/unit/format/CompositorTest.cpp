#include "agent/format/Compositor.h"

#include <gtest/gtest.h>

using namespace agent::format;

namespace {

constexpr std::uint8_t T = 9; // transparent index

QRgb colour(int i) {
    return qRgb(i, (2 * i) & 255, (3 * i) & 255);
}

// A 6x5 character; palette index i is colour(i).
Character makeCharacter() {
    Character c;
    c.width = 6;
    c.height = 5;
    c.transparentIndex = T;
    for (int i = 0; i < 256; ++i)
        c.palette.push_back(colour(i));
    return c;
}

std::uint32_t add(Character& c, std::uint16_t w, std::uint16_t h,
                  std::initializer_list<std::uint8_t> topDown, const QRegion& region = {}) {
    Bitmap b{w, h, {}};
    b.pixels.resize(std::size_t(b.stride()) * h);
    auto it = topDown.begin();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.scanLine(y)[x] = *it++;
    return std::uint32_t(c.addImage(b, region.isEmpty() ? QByteArray() : makeRegionData(region)));
}

bool same(const QRegion& a, const QRegion& b) {
    return (a ^ b).isEmpty();
}

} // namespace

TEST(Compositor, DrawsLastImageFirstClippedToTheFrameWithTransparentPixelsClear) {
    Character c = makeCharacter();
    const auto base = add(c, 3, 2, {1, 1, 1, 1, T, 1});
    const auto top = add(c, 2, 2, {2, T, 2, 2});
    const auto edge = add(c, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 10});
    Frame f;
    // Of the edge image only its top row, without the first column, fits.
    f.images = {{top, 1, 1}, {base, 0, 0}, {edge, -1, 4}};
    const QImage img = composeFrame(c, f);
    ASSERT_EQ(img.size(), QSize(6, 5));
    EXPECT_EQ(img.format(), QImage::Format_ARGB32);
    const QRgb clear = qRgba(0, 0, 0, 0);
    const QRgb want[5][6] = {
        {colour(1), colour(1), colour(1), clear, clear, clear},
        {colour(1), colour(2), colour(1), clear, clear, clear}, // top's clear pixel shows base
        {clear, colour(2), colour(2), clear, clear, clear},
        {clear, clear, clear, clear, clear, clear},
        {colour(2), colour(3), clear, clear, clear, clear},
    };
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(qAlpha(want[y][x]) ? img.pixel(x, y) : qAlpha(img.pixel(x, y)), want[y][x])
                << x << "," << y;
    EXPECT_TRUE(
        same(frameShape(c, f), QRegion(0, 0, 3, 2) + QRegion(1, 2, 2, 1) + QRegion(0, 4, 2, 1)));
    f.images = {{5, 0, 0}};
    EXPECT_THROW(composeFrame(c, f), FormatError);
}

TEST(Compositor, MouthOverlayGoesOverOrReplacesTheTopImage) {
    Character c = makeCharacter();
    const auto body = add(c, 2, 1, {1, 1});
    const auto head = add(c, 2, 1, {2, 2});
    const auto mouth = std::uint16_t(add(c, 1, 1, {3}));
    Frame f;
    f.images = {{head, 0, 0}, {body, 2, 0}};
    // type, replaces the top image, image, unknown, x, y, width, height, region
    f.overlays = {{MouthType::Wide2, false, mouth, 0, 1, 0, 0, 0, {}},
                  {MouthType::Narrow, true, mouth, 0, 1, 0, 0, 0, {}}};
    const auto row = [](const QImage& img) {
        return std::vector{img.pixel(0, 0), img.pixel(1, 0), img.pixel(2, 0)};
    };
    const QImage plain = composeFrame(c, f);
    EXPECT_EQ(row(plain), (std::vector{colour(2), colour(2), colour(1)}));
    EXPECT_EQ(row(composeFrame(c, f, MouthType::Wide2)),
              (std::vector{colour(2), colour(3), colour(1)}));
    // Narrow replaces the head: its place is clear.
    EXPECT_EQ(row(composeFrame(c, f, MouthType::Narrow)),
              (std::vector{qRgba(0, 0, 0, 0), colour(3), colour(1)}));
    // A type the frame lacks draws the frame as it is.
    EXPECT_EQ(composeFrame(c, f, MouthType::Closed), plain);
    EXPECT_TRUE(same(frameShape(c, f, MouthType::Narrow), QRegion(1, 0, 3, 1)));
}

TEST(Compositor, ShapeComesFromRegionDataWhenPresentElseFromPixels) {
    Character c = makeCharacter();
    const auto a = add(c, 3, 2, {1, T, 1, T, T, 1});
    const auto b = add(c, 2, 2, {1, 1, 1, 1}, QRegion(0, 0, 1, 1));
    Frame f;
    f.images = {{a, 1, 1}, {b, 4, 3}};
    EXPECT_TRUE(
        same(frameShape(c, f), QRegion(1, 1, 1, 1) + QRegion(3, 1, 1, 2) + QRegion(4, 3, 1, 1)));
    const QImage img = indexedImage(c, a);
    ASSERT_EQ(img.format(), QImage::Format_Indexed8);
    EXPECT_EQ(std::tuple(img.pixelIndex(0, 0), img.pixelIndex(1, 0), img.color(1), img.color(T)),
              std::tuple(1, int(T), colour(1), qRgba(0, 0, 0, 0)));
}
