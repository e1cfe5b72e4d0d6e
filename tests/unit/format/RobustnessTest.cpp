// Damaged files: every truncation and random byte flips give a FormatError
// (never a crash, a hang or another exception), and specific damage is named.

#include "Synthetic.h"
#include "TestData.h"

#include "agent/format/Writer.h"

#include <random>

using namespace agent::format;

namespace {

// Opens and decodes everything; returns the error message, or "" when it loads.
std::string load(const QByteArray& bytes) {
    try {
        const Character c = Character::fromBytes(bytes, QStringLiteral("damaged.acs"));
        testdata::decodeEverything(c);
        return {};
    } catch (const FormatError& e) {
        return e.what();
    }
}

QByteArray smallCharacter() {
    synthetic::Options o;
    o.width = 12;
    o.height = 10;
    o.images = 4;
    o.animations = 2;
    o.framesPerAnimation = 3;
    o.sounds = 1;
    o.soundSamples = 20;
    return writeCharacter(synthetic::makeCharacter(5, o));
}

void everyTruncationFails(const QByteArray& file) {
    for (qsizetype len = 0; len < file.size(); ++len) {
        const std::string m = load(file.left(len));
        ASSERT_FALSE(m.empty()) << "loaded when cut to " << len << " of " << file.size();
        ASSERT_EQ(m.rfind("damaged.acs: ", 0), 0u) << m;
    }
}

void randomFlipsFailCleanly(const QByteArray& file, int rounds, std::uint32_t seed) {
    std::mt19937 rng(seed);
    int refused = 0;
    for (int i = 0; i < rounds; ++i) {
        QByteArray damaged = file;
        const int flips = 1 + int(rng() % 4);
        for (int k = 0; k < flips; ++k)
            damaged[qsizetype(rng() % std::uint32_t(file.size()))] ^= char(1 + rng() % 255);
        refused += load(damaged).empty() ? 0 : 1; // only FormatError may escape load()
    }
    EXPECT_GT(refused, 0); // flips in the tables must be noticed
}

} // namespace

TEST(Robustness, GeneratedFileLoadsUndamaged) {
    EXPECT_EQ(load(smallCharacter()), "");
}

TEST(Robustness, EveryTruncationOfAGeneratedFileIsRefused) {
    everyTruncationFails(smallCharacter());
}

TEST(Robustness, EveryTruncationOfSmallRealFilesIsRefused) {
    for (const char* name : {"rubberball_base.acs", "TheInvisibleMan.acs", "offscreenplayer.acs"}) {
        SKIP_WITHOUT_SHARED(name);
        SCOPED_TRACE(name);
        everyTruncationFails(testdata::readFile(testdata::shared(name)));
    }
}

TEST(Robustness, RandomByteFlipsGiveOnlyCleanErrors) {
    randomFlipsFailCleanly(smallCharacter(), 3000, 1);
    SKIP_WITHOUT_SHARED("rubberball_base.acs");
    randomFlipsFailCleanly(testdata::readFile(testdata::shared("rubberball_base.acs")), 3000, 2);
}

using testdata::get;
using testdata::put;

TEST(Robustness, WrongSignatureIsNamed) {
    QByteArray f = smallCharacter();
    f[0] = 'X';
    const std::string m = load(f);
    EXPECT_NE(m.find("not a character file: signature 58 AB CD AB"), std::string::npos) << m;
    EXPECT_NE(load("tiny").find("too short"), std::string::npos);
}

TEST(Robustness, LocatorOutsideTheFileIsNamed) {
    QByteArray f = smallCharacter();
    put(f, 20, 0x7FFFFFF0); // image table offset
    const std::string m = load(f);
    EXPECT_NE(m.find("damaged.acs: header at offset 0x"), std::string::npos) << m;
    EXPECT_NE(m.find("image table locator"), std::string::npos) << m;
    EXPECT_NE(m.find("points outside the file"), std::string::npos) << m;
}

TEST(Robustness, CountThatCannotFitIsRefusedBeforeAllocating) {
    QByteArray f = smallCharacter();
    put(f, qsizetype(get(f, 20)), 0x40000000); // image count
    const std::string m = load(f);
    EXPECT_NE(m.find("image table at offset"), std::string::npos) << m;
    EXPECT_NE(m.find("image count 1073741824 cannot fit"), std::string::npos) << m;
}

TEST(Robustness, ImageTooLargeForItsStreamIsRefused) {
    Character c;
    c.width = c.height = 8;
    Bitmap b;
    b.width = 256;
    b.height = 256;
    b.pixels.assign(std::size_t(b.stride()) * b.height, 0); // compresses to under 100 bytes
    c.addImage(b);
    QByteArray f = writeCharacter(c);
    // Claim 60000x60000: far more than the stream could ever produce.
    const qsizetype image = qsizetype(get(f, qsizetype(get(f, 20)) + 4));
    f[image + 1] = char(0x60);
    f[image + 2] = char(0xEA);
    f[image + 3] = char(0x60);
    f[image + 4] = char(0xEA);
    const std::string m = load(f);
    EXPECT_NE(m.find("image 0 at offset"), std::string::npos) << m;
    EXPECT_NE(m.find("cannot come from"), std::string::npos) << m;
}

TEST(Robustness, StreamRunningFarPastOrEndingEarlyIsRefused) {
    Character c;
    c.width = c.height = 8;
    Bitmap b;
    b.width = 64;
    b.height = 64;
    for (int i = 0; i < 64 * 64; ++i)
        b.pixels.push_back(std::uint8_t(i % 7 == 0 ? i : 0));
    c.addImage(b);
    const QByteArray good = writeCharacter(c);
    const qsizetype image = qsizetype(get(good, qsizetype(get(good, 20)) + 4));
    // 64x64 claimed as 64x32: the stream runs 2048 bytes past.
    QByteArray longer = good;
    longer[image + 3] = 32;
    EXPECT_NE(load(longer).find("runs past the end of its output"), std::string::npos)
        << load(longer);
    // Claimed as 64x80: the stream ends early.
    QByteArray shorter = good;
    shorter[image + 3] = 80;
    EXPECT_NE(load(shorter).find("ends early"), std::string::npos) << load(shorter);
}

TEST(Robustness, IndexOutOfRangeInAnAnimationIsNamed) {
    Character c = synthetic::makeCharacter(3);
    for (Animation& a : c.animations)
        for (Frame& f : a.frames)
            f.overlays.clear();
    c.animations[0].frames[0].images = {{2, 0, 0}};
    QByteArray f = writeCharacter(c);
    // Empty the image table: every frame image index is now out of range.
    put(f, qsizetype(get(f, 20)), 0);
    const std::string m = load(f);
    EXPECT_NE(m.find("damaged.acs: animation 0 'Anim0_3' frame 0: image index 2 out of range "
                     "(0 images)"),
              std::string::npos)
        << m;
}
