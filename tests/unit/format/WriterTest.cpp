#include "Synthetic.h"
#include "TestData.h"

#include "agent/format/Writer.h"

#include <random>

using namespace agent::format;

TEST(Writer, GeneratedCharactersRoundTrip) {
    for (std::uint32_t seed = 1; seed <= 12; ++seed) {
        const Character c = synthetic::makeCharacter(seed);
        const QByteArray bytes = writeCharacter(c);
        const Character back = Character::fromBytes(bytes, QStringLiteral("written.acs"));
        ASSERT_TRUE(back == c) << "seed " << seed;
        EXPECT_TRUE(back.warnings().isEmpty());
        // Writing what was read gives the same bytes again.
        EXPECT_EQ(writeCharacter(back), bytes) << "seed " << seed;
    }
}

// The round trips above mean something only if equality sees one pixel or one field.
TEST(Writer, EqualityNoticesADifferentPixelOrField) {
    const Character c = synthetic::makeCharacter(2);
    Character rebuilt; // the same model with one pixel of image 0 changed
    rebuilt.width = c.width;
    rebuilt.height = c.height;
    rebuilt.transparentIndex = c.transparentIndex;
    rebuilt.flags = c.flags;
    rebuilt.guid = c.guid;
    rebuilt.voice = c.voice;
    rebuilt.balloon = c.balloon;
    rebuilt.palette = c.palette;
    rebuilt.trayIcon = c.trayIcon;
    rebuilt.states = c.states;
    rebuilt.locales = c.locales;
    rebuilt.animations = c.animations;
    for (std::size_t i = 0; i < c.imageCount(); ++i) {
        Bitmap b = c.bitmap(i);
        b.scanLine(0)[0] ^= i == 0 ? 1 : 0;
        rebuilt.addImage(b, c.regionData(i), c.imageEntry(i).unknown);
    }
    for (std::size_t i = 0; i < c.soundCount(); ++i)
        rebuilt.addSound(c.sound(i).data, c.sound(i).checksum);
    EXPECT_FALSE(rebuilt == c);
    Character changed = c;
    ASSERT_TRUE(changed == c);
    changed.animations[0].frames[0].duration += 1;
    EXPECT_FALSE(changed == c);
}

TEST(Writer, NoisyImagesAreStoredAndRunsCompressed) {
    Character c;
    c.width = c.height = 64;
    std::mt19937 rng(1);
    Bitmap noise;
    noise.width = noise.height = 64;
    for (int i = 0; i < 64 * 64; ++i)
        noise.pixels.push_back(std::uint8_t(rng()));
    c.addImage(noise);
    const QByteArray stored = writeCharacter(c);
    // Stored pixels cost their size plus a little; compressing noise would cost more.
    EXPECT_LT(stored.size(), 64 * 64 + 200);
    EXPECT_GT(stored.size(), 64 * 64);
    Character flat;
    flat.width = flat.height = 64;
    Bitmap run = noise;
    std::fill(run.pixels.begin(), run.pixels.end(), 3);
    flat.addImage(run);
    EXPECT_LT(writeCharacter(flat).size(), 200);
    EXPECT_TRUE(Character::fromBytes(stored, "s") == c);
}

TEST(Writer, RefusesAnInconsistentModel) {
    Character c = synthetic::makeCharacter(1);
    Character noVoice = c;
    noVoice.voice.reset();
    EXPECT_THROW(writeCharacter(noVoice), FormatError);
    Character badIndex = c;
    badIndex.animations[0].frames[0].images = {{999, 0, 0}};
    EXPECT_MENTIONS(testdata::errorOf([&] { writeCharacter(badIndex); }),
                    "image index 999 out of range");
    Character badBranch = c;
    badBranch.animations[0].frames[0].branches = {{77, 100}};
    EXPECT_THROW(writeCharacter(badBranch), FormatError);
}

TEST(Writer, RealCharacterRoundTrips) {
    SKIP_WITHOUT_SHARED("HANZ.ACS");
    const Character hanz = Character::open(testdata::shared("HANZ.ACS"));
    const QByteArray bytes = writeCharacter(hanz);
    const Character back = Character::fromBytes(bytes, QStringLiteral("hanz-copy.acs"));
    EXPECT_TRUE(back == hanz);
    // The compressor is in its author's league: the copy is not much bigger.
    EXPECT_LT(bytes.size(), testdata::readFile(testdata::shared("HANZ.ACS")).size() * 5 / 4);
}
