// Damaged files: every truncation gives a FormatError (never a crash, a hang or
// another exception), and specific damage is named; so is what a user can pick
// in the file dialog that is not a character file.

#include "Synthetic.h"
#include "TestData.h"

#include "agent/format/Writer.h"

#include <QTemporaryDir>

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

} // namespace

// Random damage, which must not crash, is the reader fuzz target's; every cut
// file must be refused, not loaded.
TEST(Robustness, EveryTruncationIsRefused) {
    const auto cuts = [](const QByteArray& file) {
        for (qsizetype len = 0; len < file.size(); ++len) {
            const std::string m = load(file.left(len));
            ASSERT_EQ(m.rfind("damaged.acs: ", 0), 0u) << "cut to " << len << ": " << m;
        }
    };
    ASSERT_EQ(load(smallCharacter()), "");
    cuts(smallCharacter());
    for (const char* name : {"rubberball_base.acs", "TheInvisibleMan.acs", "offscreenplayer.acs"}) {
        SKIP_WITHOUT_SHARED(name);
        cuts(testdata::readFile(testdata::shared(name)));
    }
}

using testdata::get;
using testdata::put;

namespace {
// One image of `width` x `height` pixels (every seventh set) in an 8x8 character,
// and the offset of that image's block.
QByteArray oneImage(std::uint16_t width, std::uint16_t height, qsizetype* image) {
    Character c;
    c.width = c.height = 8;
    Bitmap b{width, height, {}};
    for (int i = 0; i < b.stride() * height; ++i)
        b.pixels.push_back(std::uint8_t(i % 7 == 0 && width < 256 ? i : 0));
    c.addImage(b);
    const QByteArray f = writeCharacter(c);
    *image = qsizetype(get(f, qsizetype(get(f, 20)) + 4));
    return f;
}
} // namespace

TEST(Robustness, SpecificDamageIsNamed) {
    const QByteArray small = smallCharacter();
    QByteArray signature = small, locator = small, count = small;
    signature[0] = 'X';
    put(locator, 20, 0x7FFFFFF0);                      // image table offset
    put(count, qsizetype(get(count, 20)), 0x40000000); // image count
    qsizetype at = 0;
    QByteArray huge = oneImage(256, 256, &at); // compresses to under 100 bytes
    put(huge, at + 1, 60000, 2);               // ... claimed as 60000x60000
    put(huge, at + 3, 60000, 2);
    QByteArray longer = oneImage(64, 64, &at), shorter = longer;
    longer[at + 3] = 32; // 64x64 claimed as 64x32: the stream runs 2048 bytes past
    shorter[at + 3] = 80;
    Character c = synthetic::makeCharacter(3);
    for (Animation& a : c.animations)
        for (Frame& f : a.frames)
            f.overlays.clear();
    c.animations[0].frames[0].images = {{2, 0, 0}};
    QByteArray index = writeCharacter(c);
    put(index, qsizetype(get(index, 20)), 0); // no images: every index is out of range
    const struct {
        const char* what;
        QByteArray bytes;
        std::vector<const char*> mentions;
    } cases[] = {
        {"signature", signature, {"not a character file: signature 58 AB CD AB"}},
        {"too short", "tiny", {"too short"}},
        {"locator",
         locator,
         {"damaged.acs: header at offset 0x", "image table locator", "points outside the file"}},
        {"count", count, {"image table at offset", "image count 1073741824 cannot fit"}},
        {"image size", huge, {"image 0 at offset", "cannot come from"}},
        {"stream runs past", longer, {"runs past the end of its output"}},
        {"stream ends early", shorter, {"ends early"}},
        {"image index",
         index,
         {"damaged.acs: animation 0 'Anim0_3' frame 0: image index 2 out of range (0 images)"}},
    };
    for (const auto& d : cases) {
        const std::string m = load(d.bytes);
        for (const char* mention : d.mentions)
            EXPECT_MENTIONS(m, mention) << d.what;
    }
}

TEST(OpenFile, WhatTheUserPicksIsOpenedOrRefusedNamingTheFile) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Zoë ✓ Figuren"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto save = [&dir](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName()
                                                                              : QString();
    };
    const QByteArray good = smallCharacter();
    EXPECT_NO_THROW(Character::open(save(QStringLiteral("Zoë ✓ Figuren/Größe 日本.acs"), good)));
    const std::pair<QString, const char*> refused[] = {
        {dir.filePath(QStringLiteral("nowhere.acs")), "cannot open"},
        {folder, "cannot"},                // a folder picked as a file
        {"/proc/self/mem", "cannot read"}, // opens, then every read fails, even for root
        {save(QStringLiteral("empty.acs"), {}), "too short"},
        {save(QStringLiteral("cut.acs"), good.left(good.size() / 2)), "offset"},
    };
    for (const auto& [path, why] : refused) {
        const std::string m = testdata::errorOf([&path = path] { Character::open(path); });
        EXPECT_MENTIONS(m, path.toStdString());
        EXPECT_MENTIONS(m, why);
    }
}
