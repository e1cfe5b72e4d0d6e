// Damaged files: every truncation gives a FormatError (never a crash, a hang or
// another exception), and specific damage is named with its place; so is what a
// user can pick in the file dialog that is not a character file.

#include "Synthetic.h"
#include "TestData.h"

#include "agent/format/Writer.h"

#include <QTemporaryDir>

using namespace agent::format;

namespace {

// Opens and decodes everything; returns the error message, or "(no error)".
std::string load(const QByteArray& bytes) {
    return testdata::errorOf([&bytes] {
        testdata::decodeEverything(Character::fromBytes(bytes, QStringLiteral("damaged.acs")));
    });
}

QByteArray smallCharacter() {
    // 12x10, 4 images, 2 animations of 3 frames, 1 sound of 20 samples
    return writeCharacter(synthetic::makeCharacter(5, {12, 10, 4, 2, 3, 1, 20}));
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
    ASSERT_EQ(load(smallCharacter()), "(no error)");
    cuts(smallCharacter());
    for (const char* name : {"rubberball_base.acs", "TheInvisibleMan.acs", "offscreenplayer.acs"}) {
        SKIP_WITHOUT_SHARED(name);
        cuts(testdata::readFile(testdata::shared(name)));
    }
}

using testdata::get;
using testdata::put;

// Each message names the file and the offset or the part (a stream running past
// its image is the compression test's; a little past, Damage's).
TEST(Robustness, DamageIsNamedWithItsPlace) {
    const QByteArray small = smallCharacter();
    const qsizetype images = get(small, 20), image = get(small, images + 4);
    QByteArray locator = small, count = small, huge = small, shorter = small, index = small;
    put(locator, 20, 0x7FFFFFF0);
    put(count, images, 0x40000000);
    put(huge, image + 1, 60000, 2);
    put(huge, image + 3, 60000, 2);
    put(shorter, image + 3, get(small, image + 3, 2) * 2, 2); // twice the height it holds
    put(index, images, 0); // no images: every index is out of range
    const std::pair<QByteArray, const char*> cases[] = {
        {locator, "header at offset 0x14: image table locator (offset 0x7ffffff0, size 52) "
                  "points outside the file"},
        {count, "image table at offset 0x9b5: image count 1073741824 cannot fit"},
        {huge, "image 0 at offset 0x8c5: 60000x60000 pixels (3600000000 bytes) cannot come from"},
        {shorter, "image 0 at offset 0x8c9: compressed stream ends early"},
        {index, "animation 0 'Anim0_5' frame 0: image index 3 out of range (0 images)"},
    };
    for (const auto& [bytes, message] : cases)
        EXPECT_MENTIONS(load(bytes), std::string("damaged.acs: ") + message);
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
