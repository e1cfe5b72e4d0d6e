// Our reader against ground truth from an independent reference decoder
// (../shared/characters/*-reference): every image pixel for pixel, every
// animation field for field, every sound byte for byte.

#include "TestData.h"

#include <algorithm>

using namespace agent::format;
using testdata::get;

namespace {

const std::pair<const char*, const char*> references[] = {
    // file, folder of images/ (not for alice: its 667 full-frame images are the
    // benchmark's), animations.txt and sounds/
    {"HANZ.ACS", "HANZ-reference"},
    {"orin.acs", "orin-reference"},
    {"alice.acs", "alice-reference"},
};

QString numbered(const char* reference, const char* what, std::size_t i) {
    return testdata::shared(QStringLiteral("%1/%2/%3.%4")
                                .arg(QLatin1String(reference), QLatin1String(what))
                                .arg(i, 4, 10, QLatin1Char('0'))
                                .arg(what[0] == 'i' ? "bmp" : "wav"));
}

// Index of the first element where a and b differ (or where one ends); -1 if equal.
template <typename A, typename B> long firstDifference(const A& a, const B& b) {
    const auto [x, y] = std::mismatch(a.begin(), a.end(), b.begin(), b.end(),
                                      [](auto p, auto q) { return p == decltype(p)(q); });
    return x == a.end() && y == b.end() ? -1 : long(x - a.begin());
}

// The animations as the reference's animations.txt writes them (its header
// comment documents the records), one record a line, without indentation.
QStringList dumpAnimations(const Character& c) {
    static const char* transitions[] = {"return", "exit-branches", "none"};
    static const char* mouths[] = {"closed", "wide1",  "wide2", "wide3",
                                   "wide4",  "medium", "narrow"};
    const auto orDash = [](const QString& s) { return s.isEmpty() ? QStringLiteral("-") : s; };
    QStringList out{QStringLiteral("animations %1").arg(c.animations.size())};
    for (std::size_t a = 0; a < c.animations.size(); ++a) {
        const Animation& anim = c.animations[a];
        const int t = int(anim.transition);
        out << QStringLiteral("animation %1 %2").arg(a).arg(anim.name)
            << QStringLiteral("inner ") + anim.storedName
            << QStringLiteral("transition %1 %2")
                   .arg(t)
                   .arg(QLatin1String(t < 3 ? transitions[t] : "?"))
            << QStringLiteral("return ") + orDash(anim.returnAnimation)
            << QStringLiteral("frames %1").arg(anim.frames.size());
        for (std::size_t f = 0; f < anim.frames.size(); ++f) {
            const Frame& fr = anim.frames[f];
            out << QStringLiteral("frame %1 duration=%2 exit=%3 sound=%4 images=%5 branches=%6 "
                                  "mouths=%7")
                       .arg(f)
                       .arg(fr.duration)
                       .arg(fr.exitFrame)
                       .arg(fr.sound == NoSound ? QStringLiteral("-") : QString::number(fr.sound))
                       .arg(fr.images.size())
                       .arg(fr.branches.size())
                       .arg(fr.overlays.size());
            for (const FrameImage& im : fr.images)
                out << QStringLiteral("image %1 %2 %3").arg(im.image).arg(im.x).arg(im.y);
            for (const Branch& b : fr.branches)
                out << QStringLiteral("branch %1 %2").arg(b.frame).arg(b.probability);
            for (const MouthOverlay& o : fr.overlays)
                out << QStringLiteral("mouth %1 %2 replace=%3 image=%4 x=%5 y=%6 w=%7 h=%8 "
                                      "unknown=%9 region=%10")
                           .arg(int(o.type))
                           .arg(QLatin1String(int(o.type) < 7 ? mouths[int(o.type)] : "?"))
                           .arg(int(o.replaceTopImage))
                           .arg(o.image)
                           .arg(o.x)
                           .arg(o.y)
                           .arg(o.width)
                           .arg(o.height)
                           .arg(o.unknown)
                           .arg(o.region ? QString::number(testdata::get(*o.region, 8))
                                         : QStringLiteral("-"));
        }
    }
    return out << QStringLiteral("end");
}

} // namespace

TEST(Reference, EveryImageMatchesPixelForPixelAndItsRegionCoversTheOpaquePixels) {
    for (const auto& [file, reference] : {references[0], references[1]}) {
        SCOPED_TRACE(file);
        SKIP_WITHOUT_SHARED(file);
        const Character c = Character::open(testdata::shared(file));
        ASSERT_TRUE(QFile::exists(numbered(reference, "images", c.imageCount() - 1)));
        ASSERT_FALSE(QFile::exists(numbered(reference, "images", c.imageCount())));
        int withRegion = 0;
        for (std::size_t i = 0; i < c.imageCount(); ++i) {
            SCOPED_TRACE("image " + std::to_string(i));
            // An 8-bit BMP: its colour table, then rows bottom-up and padded as ours.
            const QByteArray bmp = testdata::readFile(numbered(reference, "images", i));
            ASSERT_TRUE(bmp.startsWith("BM") && get(bmp, 28, 2) == 8);
            std::vector<QRgb> colours;
            for (std::uint32_t k = 0; k < (get(bmp, 46) ? get(bmp, 46) : 256); ++k) {
                const qsizetype at = 14 + get(bmp, 14) + 4 * k;
                colours.push_back(qRgb(std::uint8_t(bmp[at + 2]), std::uint8_t(bmp[at + 1]),
                                       std::uint8_t(bmp[at])));
            }
            ASSERT_EQ(firstDifference(c.palette, colours), -1) << "palette entry";
            const Bitmap& b = c.bitmap(i);
            ASSERT_EQ(QSize(b.width, b.height), QSize(int(get(bmp, 18)), int(get(bmp, 22))));
            ASSERT_EQ(firstDifference(b.pixels, bmp.mid(get(bmp, 10), b.stride() * b.height)), -1)
                << "pixel byte (bottom row first)";
            if (c.regionData(i).isEmpty())
                continue;
            const auto region = parseRegion(c.regionData(i), QSize(b.width, b.height));
            ASSERT_TRUE(region);
            ++withRegion;
            QList<QRect> runs;
            for (int y = 0; y < b.height; ++y)
                for (int x = 0, end = 0; x < b.width; x = end + 1) {
                    for (end = x; end < b.width && b.scanLine(y)[end] != c.transparentIndex;)
                        ++end;
                    if (end > x)
                        runs.append(QRect(x, y, end - x, 1));
                }
            QRegion opaque;
            opaque.setRects(runs.constData(), int(runs.size()));
            ASSERT_TRUE((*region ^ opaque).isEmpty());
        }
        EXPECT_GT(withRegion, 0);
    }
}

TEST(Reference, EveryAnimationMatchesFieldForFieldAndEverySoundByteForByte) {
    for (const auto& [file, reference] : references) {
        SCOPED_TRACE(file);
        SKIP_WITHOUT_SHARED(file);
        const QString animations = QLatin1String(reference) + QLatin1String("/animations.txt");
        SKIP_WITHOUT_SHARED(animations);
        const Character c = Character::open(testdata::shared(file));
        QStringList want; // the reference's records, without comments, blank lines or indentation
        for (const QString& line :
             QString::fromUtf8(testdata::readFile(testdata::shared(animations))).split(u'\n'))
            if (!line.trimmed().isEmpty() && !line.startsWith(u'#'))
                want << line.trimmed();
        const QStringList got = dumpAnimations(c);
        const long at = firstDifference(got, want);
        ASSERT_EQ(at, -1) << "record " << at << ": ours '" << qPrintable(got.value(at))
                          << "', the reference's '" << qPrintable(want.value(at)) << "'";

        ASSERT_FALSE(QFile::exists(numbered(reference, "sounds", c.soundCount())));
        for (std::size_t i = 0; i < c.soundCount(); ++i) {
            const QByteArray wav = testdata::readFile(numbered(reference, "sounds", i));
            ASSERT_FALSE(wav.isEmpty()) << "sound " << i;
            EXPECT_EQ(firstDifference(c.sound(i).data, wav), -1) << "sound " << i << " byte";
        }
        EXPECT_TRUE(c.warnings().isEmpty()) << qPrintable(c.warnings().join('\n'));
    }
}
