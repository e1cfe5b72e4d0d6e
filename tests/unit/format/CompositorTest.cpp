#include "agent/format/Compositor.h"
#include "agent/format/Writer.h"

#include <gtest/gtest.h>

using namespace agent::format;

namespace {

constexpr std::uint8_t T = 9; // transparent index

// A 6x5 character; palette index i is the colour (i, 2i, 3i).
Character makeCharacter() {
    Character c;
    c.width = 6;
    c.height = 5;
    c.transparentIndex = T;
    for (int i = 0; i < 256; ++i)
        c.palette.push_back(qRgb(i, (2 * i) & 255, (3 * i) & 255));
    return c;
}

Bitmap image(std::uint16_t w, std::uint16_t h, std::initializer_list<std::uint8_t> topDown) {
    Bitmap b;
    b.width = w;
    b.height = h;
    b.pixels.assign(std::size_t(b.stride()) * h, 0);
    auto it = topDown.begin();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.scanLine(y)[x] = *it++;
    return b;
}

bool sameRegion(const QRegion& a, const QRegion& b) {
    return (a ^ b).isEmpty();
}

QRgb colour(int i) {
    return qRgb(i, (2 * i) & 255, (3 * i) & 255);
}

} // namespace

TEST(Compositor, DrawsLastImageFirstAndLeavesTransparentPixelsClear) {
    Character c = makeCharacter();
    const auto base = c.addImage(image(3, 2, {1, 1, 1, 1, T, 1}));
    const auto top = c.addImage(image(2, 2, {2, T, 2, 2}));
    Frame f;
    f.images = {{std::uint32_t(top), 1, 1}, {std::uint32_t(base), 0, 0}};
    const QImage img = composeFrame(c, f);
    ASSERT_EQ(img.size(), QSize(6, 5));
    EXPECT_EQ(img.format(), QImage::Format_ARGB32);
    EXPECT_EQ(img.pixel(0, 0), colour(1));
    EXPECT_EQ(img.pixel(1, 1), colour(2)); // top image wins
    EXPECT_EQ(img.pixel(2, 1), colour(1)); // top's transparent pixel shows the base (its (1,0))
    EXPECT_EQ(img.pixel(1, 2), colour(2));
    EXPECT_EQ(img.pixel(2, 2), colour(2));
    EXPECT_EQ(qAlpha(img.pixel(3, 0)), 0); // outside every image
    EXPECT_EQ(qAlpha(img.pixel(0, 2)), 0);
}

TEST(Compositor, ClipsImagesAtTheFrameEdges) {
    Character c = makeCharacter();
    const auto im = c.addImage(image(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 10}));
    Frame f;
    f.images = {{std::uint32_t(im), -1, 4}}; // only its top row, without the first column, fits
    const QImage img = composeFrame(c, f);
    EXPECT_EQ(img.pixel(0, 4), colour(2));
    EXPECT_EQ(img.pixel(1, 4), colour(3));
    EXPECT_EQ(qAlpha(img.pixel(2, 4)), 0);
    EXPECT_TRUE(sameRegion(frameShape(c, f), QRegion(0, 4, 2, 1)));
}

TEST(Compositor, MouthOverlayGoesOverOrReplacesTheTopImage) {
    Character c = makeCharacter();
    const auto body = c.addImage(image(2, 1, {1, 1}));
    const auto head = c.addImage(image(2, 1, {2, 2}));
    const auto mouth = c.addImage(image(1, 1, {3}));
    Frame f;
    f.images = {{std::uint32_t(head), 0, 0}, {std::uint32_t(body), 2, 0}};
    MouthOverlay over;
    over.type = MouthType::Wide2;
    over.image = std::uint16_t(mouth);
    over.x = 1;
    MouthOverlay replace = over;
    replace.type = MouthType::Narrow;
    replace.replaceTopImage = true;
    f.overlays = {over, replace};

    const QImage plain = composeFrame(c, f);
    EXPECT_EQ(plain.pixel(1, 0), colour(2));
    const QImage wide = composeFrame(c, f, MouthType::Wide2);
    EXPECT_EQ(wide.pixel(0, 0), colour(2));
    EXPECT_EQ(wide.pixel(1, 0), colour(3));
    EXPECT_EQ(wide.pixel(2, 0), colour(1));
    const QImage narrow = composeFrame(c, f, MouthType::Narrow);
    EXPECT_EQ(qAlpha(narrow.pixel(0, 0)), 0); // the head is gone
    EXPECT_EQ(narrow.pixel(1, 0), colour(3));
    EXPECT_EQ(narrow.pixel(2, 0), colour(1));
    // A type the frame lacks draws the frame as it is.
    EXPECT_EQ(composeFrame(c, f, MouthType::Closed), plain);
    EXPECT_TRUE(sameRegion(frameShape(c, f, MouthType::Narrow), QRegion(1, 0, 3, 1)));
}

TEST(Compositor, ShapeComesFromRegionDataWhenPresentElseFromPixels) {
    Character c = makeCharacter();
    const auto a = c.addImage(image(3, 2, {1, T, 1, T, T, 1}));
    const auto b = c.addImage(image(2, 2, {1, 1, 1, 1}), makeRegionData(QRegion(0, 0, 1, 1)));
    Frame fa;
    fa.images = {{std::uint32_t(a), 1, 1}};
    QRegion want = QRegion(1, 1, 1, 1) + QRegion(3, 1, 1, 1) + QRegion(3, 2, 1, 1);
    EXPECT_TRUE(sameRegion(frameShape(c, fa), want));
    Frame fb;
    fb.images = {{std::uint32_t(b), 4, 3}};
    EXPECT_TRUE(sameRegion(frameShape(c, fb), QRegion(4, 3, 1, 1)));
}

TEST(Compositor, IndexedImageUsesThePaletteWithTransparentAlphaZero) {
    Character c = makeCharacter();
    const auto a = c.addImage(image(2, 1, {4, T}));
    const QImage img = indexedImage(c, a);
    ASSERT_EQ(img.format(), QImage::Format_Indexed8);
    EXPECT_EQ(img.pixelIndex(0, 0), 4);
    EXPECT_EQ(img.pixelIndex(1, 0), T);
    EXPECT_EQ(img.color(4), colour(4));
    EXPECT_EQ(qAlpha(img.color(T)), 0);
}

TEST(Compositor, ImageIndexOutOfRangeIsAFormatError) {
    Character c = makeCharacter();
    Frame f;
    f.images = {{5, 0, 0}};
    EXPECT_THROW(composeFrame(c, f), FormatError);
}
