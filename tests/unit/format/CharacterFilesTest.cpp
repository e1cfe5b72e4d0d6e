// Every real character in ../shared/characters that loads: it decodes and
// composites. The broken ones are refused by name in acstool's checks.

#include "TestData.h"

#include "agent/format/Compositor.h"
#include "agent/format/Sound.h"

using namespace agent::format;

namespace {

struct Expect {
    const char* file;
    int animations;
    int images;
    int sounds;
    int width;
    int height;
    bool voice;
    bool balloon;
    const char* warning; // a tolerated fault every load must report, or nullptr
};

class GoodFile : public ::testing::TestWithParam<Expect> {};

// Counts from ../shared/characters/README.md where it gives them.
const Expect goodFiles[] = {
    {"HANZ.ACS", 103, 403, 5, 128, 128, true, true, nullptr},
    {"orin.acs", 19, 33, 1, 119, 119, true, true, nullptr},
    {"alice.acs", 59, 667, 3, 230, 156, true, true, nullptr},
    {"enterprise.acs", 4, 35, 2, 1280, 720, true, false, nullptr},
    {"banjo.acs", 108, 20, 104, 119, 119, true, false, nullptr},
    {"rubberball_base.acs", 12, 2, 0, 12, 12, false, false, nullptr},
    {"TheInvisibleMan.acs", 1, 0, 0, 100, 100, true, true, nullptr},
    {"offscreenplayer.acs", 0, 0, 0, 128, 128, true, false, nullptr},
    {"Angel.acs", 5, 14, 0, 128, 179, true, true, "image 12"},
    {"zippz.acs", 61, 142, 3, 128, 128, true, true, "image 64"},
};

} // namespace

TEST_P(GoodFile, LoadsDecodesAndComposites) {
    const Expect& e = GetParam();
    SKIP_WITHOUT_SHARED(e.file);
    const Character c = Character::open(testdata::shared(e.file));
    EXPECT_EQ(int(c.animations.size()), e.animations);
    EXPECT_EQ(int(c.imageCount()), e.images);
    EXPECT_EQ(int(c.soundCount()), e.sounds);
    EXPECT_EQ(c.width, e.width);
    EXPECT_EQ(c.height, e.height);
    EXPECT_EQ(c.voice.has_value(), e.voice);
    EXPECT_EQ(c.balloon.has_value(), e.balloon);
    EXPECT_EQ(bool(c.flags & VoiceOn), c.voice.has_value());
    EXPECT_EQ(bool(c.flags & BalloonOn), c.balloon.has_value());
    EXPECT_FALSE(c.locales.empty());

    testdata::decodeEverything(c);
    for (std::size_t i = 0; i < c.soundCount(); ++i)
        EXPECT_GT(decodeSound(c.sound(i).data).frameCount(), 0u) << "sound " << i;

    // Frames with images draw something inside the character's rectangle.
    int drawn = 0;
    for (const Animation& a : c.animations)
        for (const Frame& f : a.frames)
            if (!f.images.empty() && drawn < 20) {
                const QImage img = composeFrame(c, f);
                EXPECT_EQ(img.size(), c.size());
                const QRegion shape = frameShape(c, f);
                EXPECT_TRUE(QRegion(0, 0, c.width, c.height).contains(shape.boundingRect()) ||
                            shape.isEmpty());
                drawn += shape.isEmpty() ? 0 : 1;
            }
    if (e.images > 0) {
        EXPECT_GT(drawn, 0);
    }

    if (e.warning) {
        ASSERT_FALSE(c.warnings().isEmpty());
        EXPECT_TRUE(c.warnings().join('\n').contains(QLatin1String(e.warning)))
            << qPrintable(c.warnings().join('\n'));
        EXPECT_TRUE(c.warnings().front().contains(QLatin1String(e.file)));
    } else {
        EXPECT_TRUE(c.warnings().isEmpty()) << qPrintable(c.warnings().join('\n'));
    }
}

INSTANTIATE_TEST_SUITE_P(Shared, GoodFile, ::testing::ValuesIn(goodFiles), [](const auto& info) {
    std::string n = info.param.file;
    for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return n;
});

TEST(ImageCache, TrimKeepsTheMostRecentlyUsedWithinTheBound) {
    SKIP_WITHOUT_SHARED("orin.acs");
    const Character c = Character::open(testdata::shared("orin.acs"));
    const std::size_t last = c.imageCount() - 1;
    std::vector<std::vector<std::uint8_t>> first;
    std::size_t all = 0;
    for (std::size_t i = 0; i <= last; ++i) {
        first.push_back(c.bitmap(i).pixels);
        all += first.back().size();
    }
    ASSERT_EQ(c.cachedImageBytes(), all);
    c.bitmap(0); // now the most recent, then the last
    c.bitmap(last);
    const std::size_t budget = 2 * (first[0].size() + first[last].size());
    c.trimImageCache(budget);
    EXPECT_LE(c.cachedImageBytes(), budget);
    const std::size_t kept = c.cachedImageBytes();
    c.bitmap(0); // still cached: nothing decoded
    c.bitmap(last);
    EXPECT_EQ(c.cachedImageBytes(), kept);
    c.bitmap(1); // among the oldest: decoded again, with the same pixels
    EXPECT_EQ(c.cachedImageBytes(), kept + first[1].size());
    EXPECT_EQ(c.bitmap(1).pixels, first[1]);
    // With a limit the cache keeps itself within it, whatever is decoded.
    c.setImageCacheLimit(budget);
    for (std::size_t i = 0; i <= last; ++i)
        EXPECT_LE((c.bitmap(i), c.cachedImageBytes()), budget);
}
