// Our reader against ground truth from an independent reference decoder
// (../shared/characters/*-reference): every image pixel for pixel, every
// animation field for field, every sound byte for byte.

#include "TestData.h"

#include "agent/format/Character.h"
#include "agent/format/Sound.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <ostream>

using namespace agent::format;

namespace {

struct Case {
    const char* name;
    const char* file;
    const char* reference; // folder of images/, animations.txt, sounds/
    bool images;           // images/NNNN.bmp present (not for the 24 MB benchmark character)
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.file;
}

const Case cases[] = {
    {"HANZ", "HANZ.ACS", "HANZ-reference", true},
    {"orin", "orin.acs", "orin-reference", true},
    {"alice", "alice.acs", "alice-reference", false},
};

std::uint32_t le(const QByteArray& b, qsizetype at, int bytes = 4) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | std::uint8_t(b.at(at + i));
    return v;
}

// An 8-bit BMP: its size, colour table and bottom-up padded rows.
struct Bmp {
    int width = 0;
    int height = 0;
    std::vector<QRgb> colours;
    QByteArray rows;
};

// Index of the first element where a and b differ (or where one ends); -1 if equal.
template <typename A, typename B> long firstDifference(const A& a, const B& b) {
    const auto [x, y] = std::mismatch(a.begin(), a.end(), b.begin(), b.end(),
                                      [](auto p, auto q) { return p == decltype(p)(q); });
    return x == a.end() && y == b.end() ? -1 : long(x - a.begin());
}

Bmp readBmp(const QString& path) {
    const QByteArray f = testdata::readFile(path);
    Bmp b;
    if (f.size() < 54 || !f.startsWith("BM") || le(f, 28, 2) != 8) {
        ADD_FAILURE() << qPrintable(path) << ": not an 8-bit BMP";
        return b;
    }
    const std::uint32_t header = le(f, 14);
    b.width = int(le(f, 18));
    b.height = int(le(f, 22));
    const std::uint32_t used = le(f, 46) ? le(f, 46) : 256;
    for (std::uint32_t i = 0; i < used; ++i) {
        const qsizetype at = qsizetype(14 + header + 4 * i);
        b.colours.push_back(
            qRgb(std::uint8_t(f[at + 2]), std::uint8_t(f[at + 1]), std::uint8_t(f[at])));
    }
    b.rows = f.mid(le(f, 10), qsizetype(((b.width + 3) & ~3) * b.height));
    return b;
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
                           .arg(o.region ? QString::number(le(*o.region, 8)) : QStringLiteral("-"));
        }
    }
    return out << QStringLiteral("end");
}

// A reference text's records: no comments, blank lines or indentation.
QStringList records(const QString& path) {
    QStringList out;
    for (const QString& line : QString::fromUtf8(testdata::readFile(path)).split(u'\n'))
        if (!line.trimmed().isEmpty() && !line.startsWith(u'#'))
            out << line.trimmed();
    return out;
}

int referenceImageCount(const QString& path) {
    static const QRegularExpression summary(
        QStringLiteral("^# Summary of the file: .* (\\d+) images,"),
        QRegularExpression::MultilineOption);
    const auto m = summary.match(QString::fromUtf8(testdata::readFile(path)));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

class ReferenceTest : public ::testing::TestWithParam<Case> {
  protected:
    static QString ref(const QString& rel) {
        return QString::fromLatin1(GetParam().reference) + u'/' + rel;
    }
    static QString numbered(const char* dir, std::size_t i, const char* suffix) {
        return ref(QStringLiteral("%1/%2.%3").arg(dir).arg(i, 4, 10, QLatin1Char('0')).arg(suffix));
    }
};

} // namespace

TEST_P(ReferenceTest, EveryImageMatchesPixelForPixelAndItsRegionCoversTheOpaquePixels) {
    SKIP_WITHOUT_SHARED(GetParam().file);
    SKIP_WITHOUT_SHARED(ref("animations.txt"));
    const Character c = Character::open(testdata::shared(GetParam().file));
    ASSERT_EQ(int(c.imageCount()), referenceImageCount(testdata::shared(ref("animations.txt"))));
    if (!GetParam().images) { // alice: its 667 full-frame images are the benchmark's
        EXPECT_TRUE(c.warnings().isEmpty()) << qPrintable(c.warnings().join('\n'));
        return;
    }
    ASSERT_EQ(std::size_t(QDir(testdata::shared(ref("images"))).entryList({"*.bmp"}).size()),
              c.imageCount());
    int withRegion = 0;
    for (std::size_t i = 0; i < c.imageCount(); ++i) {
        SCOPED_TRACE("image " + std::to_string(i));
        const Bmp bmp = readBmp(testdata::shared(numbered("images", i, "bmp")));
        ASSERT_EQ(firstDifference(c.palette, bmp.colours), -1) << "palette entry";
        const Bitmap& b = c.bitmap(i);
        ASSERT_EQ(b.width, bmp.width);
        ASSERT_EQ(b.height, bmp.height);
        ASSERT_EQ(firstDifference(b.pixels, bmp.rows), -1) << "pixel byte (bottom row first)";
        if (c.regionData(i).isEmpty())
            continue;
        const auto region = parseRegion(c.regionData(i), QSize(b.width, b.height));
        ASSERT_TRUE(region);
        ++withRegion;
        QList<QRect> runs;
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < b.width; ++x) {
                int end = x;
                while (end < b.width && b.scanLine(y)[end] != c.transparentIndex)
                    ++end;
                if (end > x)
                    runs.append(QRect(x, y, end - x, 1));
                x = end;
            }
        QRegion opaque;
        opaque.setRects(runs.constData(), int(runs.size()));
        ASSERT_TRUE((*region ^ opaque).isEmpty());
    }
    EXPECT_GT(withRegion, 0);
    EXPECT_TRUE(c.warnings().isEmpty()) << qPrintable(c.warnings().join('\n'));
}

TEST_P(ReferenceTest, EveryAnimationMatchesFieldForField) {
    SKIP_WITHOUT_SHARED(GetParam().file);
    SKIP_WITHOUT_SHARED(ref("animations.txt"));
    const Character c = Character::open(testdata::shared(GetParam().file));
    const QStringList want = records(testdata::shared(ref("animations.txt")));
    const QStringList got = dumpAnimations(c);
    const long at = firstDifference(got, want);
    ASSERT_EQ(at, -1) << "record " << at << ": ours '" << qPrintable(got.value(at))
                      << "', the reference's '" << qPrintable(want.value(at)) << "'";

    // Lookup is case-insensitive, finds the first of that name, and keeps file order.
    const QStringList names = c.animationNames();
    ASSERT_EQ(std::size_t(names.size()), c.animations.size());
    for (int i = 0; i < names.size(); ++i) {
        EXPECT_EQ(names[i], c.animations[std::size_t(i)].name);
        int first = 0;
        while (names[first].compare(names[i], Qt::CaseInsensitive) != 0)
            ++first;
        for (const QString& asked : {names[i].toUpper(), names[i].toLower()})
            EXPECT_EQ(c.animation(asked), &c.animations[std::size_t(first)]) << qPrintable(asked);
    }
    EXPECT_EQ(c.animationIndex(QStringLiteral("NoSuchAnimation")), -1);
    EXPECT_EQ(c.animation(QStringLiteral("NoSuchAnimation")), nullptr);
}

TEST_P(ReferenceTest, EverySoundMatchesByteForByteAndDecodes) {
    SKIP_WITHOUT_SHARED(GetParam().file);
    SKIP_WITHOUT_SHARED(ref("sounds/index.txt"));
    const Character c = Character::open(testdata::shared(GetParam().file));
    std::vector<QStringList> index; // NNNN bytes tag= rate= channels= bits=
    for (const QString& line :
         QString::fromUtf8(testdata::readFile(testdata::shared(ref("sounds/index.txt"))))
             .split(u'\n', Qt::SkipEmptyParts))
        if (!line.startsWith(u'#'))
            index.push_back(line.split(u' '));
    ASSERT_EQ(c.soundCount(), index.size());
    for (std::size_t i = 0; i < c.soundCount(); ++i) {
        SCOPED_TRACE("sound " + std::to_string(i));
        ASSERT_EQ(index[i].size(), 6);
        EXPECT_EQ(index[i][0].toInt(), int(i));
        const auto f = [&](const char* key) {
            for (const QString& w : index[i])
                if (w.startsWith(QLatin1String(key) + u'='))
                    return w.section(u'=', 1).toInt();
            ADD_FAILURE() << "no " << key << "= in the index";
            return -1;
        };
        const QByteArray wav = testdata::readFile(testdata::shared(numbered("sounds", i, "wav")));
        ASSERT_EQ(wav.size(), index[i][1].toInt());
        ASSERT_EQ(firstDifference(c.sound(i).data, wav), -1) << "byte";

        // How many frames the data chunk holds, from the WAV's own block layout.
        const qsizetype fmt = wav.indexOf("fmt "), data = wav.indexOf("data");
        ASSERT_GT(fmt, 0);
        ASSERT_GT(data, 0);
        const std::uint32_t align = le(wav, fmt + 20, 2);
        const std::uint32_t bytes =
            std::min(le(wav, data + 4), std::uint32_t(wav.size() - data - 8));
        std::size_t frames = bytes / align;
        if (f("tag") == 2) {
            const std::uint32_t rest = bytes % align, channels = std::uint32_t(f("channels"));
            frames = frames * le(wav, fmt + 26, 2) +
                     (rest ? 2 + (rest - 7 * channels) * 2 / channels : 0);
        } else {
            ASSERT_EQ(f("tag"), 1);
            ASSERT_EQ(align, std::uint32_t(f("channels") * f("bits") / 8));
        }
        const Pcm pcm = decodeSound(c.sound(i).data);
        EXPECT_EQ(pcm.sampleRate, f("rate"));
        EXPECT_EQ(pcm.channels, f("channels"));
        EXPECT_EQ(pcm.frameCount(), frames);
        EXPECT_TRUE(std::any_of(pcm.samples.begin(), pcm.samples.end(),
                                [](std::int16_t s) { return s != 0; }));
    }
}

INSTANTIATE_TEST_SUITE_P(Reference, ReferenceTest, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });
