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
    // The round trips mean something only if equality sees one field.
    Character changed = synthetic::makeCharacter(2);
    changed.animations[0].frames[0].duration += 1;
    EXPECT_FALSE(changed == synthetic::makeCharacter(2));
}

TEST(Writer, NoisyImagesAreStored) {
    Character c;
    c.width = c.height = 64;
    std::mt19937 rng(1);
    Bitmap noise{64, 64, {}};
    for (int i = 0; i < 64 * 64; ++i)
        noise.pixels.push_back(std::uint8_t(rng()));
    c.addImage(noise);
    QByteArray stored = writeCharacter(c);
    // Stored pixels cost their size plus a little; compressing noise would cost more.
    EXPECT_LT(stored.size(), 64 * 64 + 200);
    EXPECT_GT(stored.size(), 64 * 64);
    EXPECT_TRUE(Character::fromBytes(stored, "s") == c);
    // ... and equality sees one pixel: the first, after the block's 10-byte header.
    stored[testdata::get(stored, testdata::get(stored, 20) + 4) + 10] ^= 1;
    EXPECT_FALSE(Character::fromBytes(stored, "s") == c);
}

TEST(Writer, RefusesAnInconsistentModel) {
    Character c = synthetic::makeCharacter(1);
    Character noVoice = c;
    noVoice.voice.reset();
    EXPECT_MENTIONS(testdata::errorOf([&] { writeCharacter(noVoice); }),
                    "the voice-on flag and the voice info disagree");
    c.animations[0].frames[0].images = {{999, 0, 0}};
    EXPECT_MENTIONS(testdata::errorOf([&] { writeCharacter(c); }), "image index 999 out of range");
}

TEST(Writer, RealCharacterRoundTrips) {
    SKIP_WITHOUT_SHARED("HANZ.ACS");
    const Character hanz = Character::open(testdata::shared("HANZ.ACS"));
    const QByteArray bytes = writeCharacter(hanz);
    EXPECT_TRUE(Character::fromBytes(bytes, QStringLiteral("hanz-copy.acs")) == hanz);
    // The compressor is in its author's league (and does compress): the copy is not much bigger.
    EXPECT_LT(bytes.size(), testdata::readFile(testdata::shared("HANZ.ACS")).size() * 5 / 4);
}
