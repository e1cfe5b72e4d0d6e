#include "Synthetic.h"
#include "TestData.h"

#include "agent/format/Writer.h"

using namespace agent::format;

// Some of the generated images are too small to compress (seeds 1, 3, 7 and 11
// each have one) and are stored as they are.
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
