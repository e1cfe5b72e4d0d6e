// Every real character in ../shared/characters that loads: each image, region,
// frame and mouth decodes and composites, each sound decodes as libsndfile
// decodes it, the tray icon decodes, and only the known faults warn. acstool
// check (CMakeLists.txt) asserts their counts.

#include "TestData.h"

#include "agent/format/Sound.h"
#include "agent/format/TrayIcon.h"

using namespace agent::format;

TEST(RealFiles, DecodeWholeWithSoundsAsLibsndfileDecodesThem) {
    const QString files = QStringLiteral("HANZ.ACS orin.acs alice.acs enterprise.acs banjo.acs "
                                         "rubberball_base.acs TheInvisibleMan.acs "
                                         "offscreenplayer.acs Angel.acs zippz.acs");
    for (const QString& name : files.split(u' ')) {
        SCOPED_TRACE(name.toStdString());
        SKIP_WITHOUT_SHARED(name);
        const Character c = Character::open(testdata::shared(name));
        testdata::decodeEverything(c);
        for (std::size_t i = 0; i < c.soundCount(); ++i) {
            const Pcm ours = c.soundPcm(i), theirs = decodeSound(c.sound(i).data);
            EXPECT_GT(ours.frameCount(), 0u) << "sound " << i;
            EXPECT_TRUE(ours.samples == theirs.samples && ours.sampleRate == theirs.sampleRate &&
                        ours.channels == theirs.channels)
                << "sound " << i;
        }
        EXPECT_TRUE(!c.trayIcon || !decodeTrayIcon(*c.trayIcon).isNull());
        const QString w = c.warnings().join('\n');
        // Angel and zippz each have an image every load repairs (acstool check names it).
        const bool damaged = name == u"Angel.acs" || name == u"zippz.acs";
        EXPECT_TRUE(damaged ? w.contains(name + ": image ") : w.isEmpty()) << qPrintable(w);
    }
}

// Trimming keeps the most recently used; a limit holds whatever is decoded.
TEST(ImageCache, KeepsTheMostRecentlyUsedWithinItsBound) {
    SKIP_WITHOUT_SHARED("orin.acs");
    const Character c = Character::open(testdata::shared("orin.acs"));
    const std::size_t last = c.imageCount() - 1;
    const std::size_t budget = 2 * (c.bitmap(0).pixels.size() + c.bitmap(last).pixels.size());
    for (std::size_t i = 0; i <= last; ++i)
        c.bitmap(i);
    c.bitmap(0);
    c.trimImageCache(budget);
    const std::size_t kept = c.cachedImageBytes();
    EXPECT_LE(kept, budget);
    c.bitmap(last);
    c.bitmap(0);
    EXPECT_EQ(c.cachedImageBytes(), kept) << "the two most recent were not decoded again";
    c.setImageCacheLimit(budget);
    for (std::size_t i = 0; i <= last; ++i)
        EXPECT_LE((c.bitmap(i), c.cachedImageBytes()), budget);
}
