// Characters of the older generation (compound documents): each sample loads
// into the common model, decodes whole and survives the writer unchanged (the
// engine plays the model, whichever generation it came from); damage is refused
// naming the stream and the offset (random damage is the older fuzz target's).

#include "TestData.h"

#include "agent/format/Writer.h"

using namespace agent::format;

// Counts as acstool info shows them (file, animations, images each once, sounds,
// width, height); the pictures were checked by eye.
TEST(OlderFile, LoadsAndConverts) {
    const std::tuple<const char*, int, int, int, int, int> files[] = {
        {"MIKU.ACS", 4, 8, 0, 128, 256},          {"older/JOE.ACS", 8, 68, 1, 150, 146},
        {"older/Otto.acs", 65, 153, 0, 128, 128}, {"older/Smiley.acs", 6, 6, 0, 141, 232},
        {"older/gnome.acs", 1, 5, 0, 100, 259},   {"older/swan.acs", 6, 6, 0, 200, 200},
    };
    for (const auto& [file, animations, images, sounds, width, height] : files) {
        SCOPED_TRACE(file);
        SKIP_WITHOUT_SHARED(file);
        const Character c = Character::open(testdata::shared(file));
        EXPECT_EQ(
            std::tuple(int(c.animations.size()), c.imageCount(), c.soundCount(), c.size()),
            std::tuple(animations, std::size_t(images), std::size_t(sounds), QSize(width, height)));
        EXPECT_TRUE(c.warnings().isEmpty()) << qPrintable(c.warnings().join('\n'));
        testdata::decodeEverything(c);
        EXPECT_TRUE(Character::fromBytes(writeCharacter(c), QStringLiteral("back.acs")) == c);
    }
}

// Damage written into MIKU.ACS's char.acf stream where it lies in the container:
// a wrong signature, and compressed data said to run past the stream's end.
TEST(OlderDamage, IsRefusedNamingTheStreamAndOffset) {
    SKIP_WITHOUT_SHARED("MIKU.ACS");
    const QByteArray miku = testdata::readFile(testdata::shared("MIKU.ACS"));
    const qsizetype charAcf = miku.indexOf(QByteArray("\xC1\xAB\xCD\xAB", 4));
    ASSERT_GT(charAcf, 0);
    const std::tuple<qsizetype, std::uint32_t, const char*> cases[] = {
        {0, 0xABCDABC2, "stream 'char.acf': header at offset 0x0: signature 0xabcdabc2"},
        {8, 0xFFFF, "stream 'char.acf': header at offset 0xc: compressed data needs 65535 bytes"},
    };
    for (const auto& [at, value, message] : cases) {
        QByteArray bytes = miku;
        testdata::put(bytes, charAcf + at, value);
        EXPECT_MENTIONS(testdata::errorOf([&] { Character::fromBytes(bytes, "MIKU.ACS"); }),
                        std::string("MIKU.ACS: ") + message);
    }
}
