// Characters of the older generation (compound documents): each sample loads
// into the common model, decodes whole and survives the writer unchanged (the
// engine plays the model, whichever generation it came from); damage is refused
// naming the stream and the offset.

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

// Damage written into MIKU.ACS's streams where they lie in the container.
TEST(OlderDamage, IsRefusedNamingTheStreamAndOffset) {
    SKIP_WITHOUT_SHARED("MIKU.ACS");
    const QByteArray miku = testdata::readFile(testdata::shared("MIKU.ACS"));
    const qsizetype charAcf = miku.indexOf(QByteArray("\xC1\xAB\xCD\xAB", 4));
    // anim1.aaf: versions 31.1, then the checksum char.acf gives it.
    const qsizetype anim1 = miku.indexOf(QByteArray("\x1F\x00\x01\x00\x7B\x1B\x1A\xF0", 8));
    const qsizetype name = miku.indexOf(QByteArray("c\0h\0a\0r\0.\0a\0c\0f\0", 16));
    ASSERT_GT(charAcf, 0);
    ASSERT_GT(anim1, 0);
    ASSERT_GT(name, 0);
    const struct {
        qsizetype at;
        std::uint32_t value;
        int bytes;
        const char* message;
    } cases[] = {
        {charAcf, 0xABCDABC2, 4, "stream 'char.acf': header at offset 0x0: signature 0xabcdabc2"},
        {charAcf + 8, 0xFFFF, 4,
         "stream 'char.acf': header at offset 0xc: compressed data needs 65535"},
        {name, 'x', 1, "the compound document has no stream 'char.acf'"},
        {anim1 + 9, 0x7FFFFFFF, 4,
         "stream 'anim1.aaf': animation header at offset 0x9: 2147483647"},
        {0, 0, 4, "MIKU.ACS: not a character file"},
    };
    for (const auto& k : cases) {
        QByteArray bytes = miku;
        testdata::put(bytes, k.at, k.value, k.bytes);
        try {
            Character::fromBytes(bytes, QStringLiteral("MIKU.ACS"));
            ADD_FAILURE() << "loaded: " << k.message;
        } catch (const FormatError& e) {
            EXPECT_NE(std::string(e.what()).find(k.message), std::string::npos) << e.what();
        }
    }
}
