// Our reader against ground truth from an independent reference decoder
// (../shared/characters/*-reference): every image pixel for pixel, every
// animation field for field, every sound byte for byte. Region data against
// the pixels is the compositor's and the crafted regions' test.

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
    static const char* transitions[] = {"return", "exit-branches", "none", "?"};
    static const char* mouths[] = {"closed", "wide1",  "wide2", "wide3",
                                   "wide4",  "medium", "narrow"};
    const auto orDash = [](const QString& s) { return s.isEmpty() ? QStringLiteral("-") : s; };
    QStringList out{QStringLiteral("animations %1").arg(c.animations.size())};
    for (std::size_t a = 0; a < c.animations.size(); ++a) {
        const Animation& anim = c.animations[a];
        const int t = std::min(int(anim.transition), 3);
        out << QStringLiteral("animation %1 %2").arg(a).arg(anim.name) << "inner " + anim.storedName
            << QString::asprintf("transition %d %s", int(anim.transition), transitions[t])
            << "return " + orDash(anim.returnAnimation)
            << QStringLiteral("frames %1").arg(anim.frames.size());
        for (std::size_t f = 0; f < anim.frames.size(); ++f) {
            const Frame& fr = anim.frames[f];
            out << QString::asprintf("frame %zu duration=%d exit=%d sound=", f, fr.duration,
                                     fr.exitFrame) +
                       (fr.sound == NoSound ? QStringLiteral("-") : QString::number(fr.sound)) +
                       QString::asprintf(" images=%zu branches=%zu mouths=%zu", fr.images.size(),
                                         fr.branches.size(), fr.overlays.size());
            for (const FrameImage& im : fr.images)
                out << QString::asprintf("image %u %d %d", im.image, im.x, im.y);
            for (const Branch& b : fr.branches)
                out << QString::asprintf("branch %d %d", b.frame, b.probability);
            for (const MouthOverlay& o : fr.overlays)
                out << QString::asprintf(
                           "mouth %d %s replace=%d image=%d x=%d y=%d w=%d h=%d unknown=%d region=",
                           int(o.type), int(o.type) < 7 ? mouths[int(o.type)] : "?",
                           int(o.replaceTopImage), o.image, o.x, o.y, o.width, o.height,
                           o.unknown) +
                           (o.region ? QString::number(get(*o.region, 8)) : QStringLiteral("-"));
        }
    }
    return out << QStringLiteral("end");
}

} // namespace

TEST(Reference, EveryImageAnimationAndSoundMatches) {
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

        if (QLatin1String(file) == QLatin1String("alice.acs"))
            continue;
        ASSERT_TRUE(QFile::exists(numbered(reference, "images", c.imageCount() - 1)));
        ASSERT_FALSE(QFile::exists(numbered(reference, "images", c.imageCount())));
        for (std::size_t i = 0; i < c.imageCount(); ++i) {
            // An 8-bit BMP: its colour table, then rows bottom-up and padded as ours.
            const QByteArray bmp = testdata::readFile(numbered(reference, "images", i));
            ASSERT_TRUE(bmp.startsWith("BM") && get(bmp, 28, 2) == 8) << "image " << i;
            std::vector<QRgb> colours;
            for (std::uint32_t k = 0; k < (get(bmp, 46) ? get(bmp, 46) : 256); ++k) {
                const qsizetype at = 14 + get(bmp, 14) + 4 * k;
                colours.push_back(qRgb(std::uint8_t(bmp[at + 2]), std::uint8_t(bmp[at + 1]),
                                       std::uint8_t(bmp[at])));
            }
            ASSERT_EQ(firstDifference(c.palette, colours), -1) << "palette entry, image " << i;
            const Bitmap& b = c.bitmap(i);
            ASSERT_EQ(QSize(b.width, b.height), QSize(int(get(bmp, 18)), int(get(bmp, 22))));
            ASSERT_EQ(firstDifference(b.pixels, bmp.mid(get(bmp, 10), b.stride() * b.height)), -1)
                << "pixel byte (bottom row first) of image " << i;
        }
    }
}
