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
#include <map>
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

int number(const QString& text) {
    bool ok = false;
    const int v = text == u'-' ? -1 : text.toInt(&ok);
    EXPECT_TRUE(ok || text == u'-') << "not a number: " << qPrintable(text);
    return v;
}

// key=value words of a line; "-" reads as -1. A missing key throws (a failure).
struct Fields : std::map<QString, int> {
    int operator()(const char* key) const { return at(QLatin1String(key)); }
};
Fields fields(const QStringList& words) {
    Fields f;
    for (const QString& w : words)
        if (const qsizetype eq = w.indexOf(u'='); eq > 0)
            f[w.left(eq)] = number(w.mid(eq + 1));
    return f;
}

// animations.txt as read back: its header comment documents the records.
struct RefMouth {
    int type = 0, replace = 0, image = 0, x = 0, y = 0, w = 0, h = 0, unknown = 0;
    int region = -1; // stored region's rectangle count; -1: none
};
struct RefFrame {
    int duration = 0, exit = 0, sound = -1;
    std::vector<std::array<int, 3>> images; // index, x, y
    std::vector<std::pair<int, int>> branches;
    std::vector<RefMouth> mouths;
    Fields counts; // duration=, exit=, sound= and the declared images=, branches=, mouths=
};
struct RefAnimation {
    QString name, inner, returnTo;
    int transition = -1;
    std::vector<RefFrame> frames;
    int declaredFrames = -1;
};
struct Reference {
    std::vector<RefAnimation> animations;
    int declaredAnimations = -1, images = -1;
    bool ended = false;
};

Reference parseAnimations(const QString& path) {
    Reference ref;
    static const QRegularExpression summary(
        QStringLiteral("^# Summary of the file: .* (\\d+) images,"));
    static const QRegularExpression indent(QStringLiteral("^ +"));
    RefAnimation* anim = nullptr;
    RefFrame* frame = nullptr;
    for (QString line : QString::fromUtf8(testdata::readFile(path)).split(u'\n')) {
        line.remove(indent);
        if (const auto m = summary.match(line); m.hasMatch())
            ref.images = m.captured(1).toInt();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList w = line.split(u' ');
        const QString& record = w[0];
        const QString rest = line.section(u' ', 1);
        if (record == QLatin1String("animations")) {
            ref.declaredAnimations = number(rest);
        } else if (record == QLatin1String("animation") && w.size() > 2) {
            EXPECT_EQ(number(w[1]), int(ref.animations.size())) << qPrintable(line);
            anim = &ref.animations.emplace_back();
            anim->name = line.section(u' ', 2);
            frame = nullptr;
        } else if (record == QLatin1String("end")) {
            ref.ended = true;
        } else if (!anim) {
            ADD_FAILURE() << "outside an animation: " << qPrintable(line);
        } else if (record == QLatin1String("inner")) {
            anim->inner = rest;
        } else if (record == QLatin1String("transition")) {
            anim->transition = number(w.value(1));
        } else if (record == QLatin1String("return")) {
            anim->returnTo = rest == u'-' ? QString() : rest;
        } else if (record == QLatin1String("frames")) {
            anim->declaredFrames = number(rest);
        } else if (record == QLatin1String("frame")) {
            EXPECT_EQ(number(w.value(1)), int(anim->frames.size())) << qPrintable(line);
            frame = &anim->frames.emplace_back();
            frame->counts = fields(w);
            frame->duration = frame->counts("duration");
            frame->exit = frame->counts("exit");
            frame->sound = frame->counts("sound");
        } else if (!frame || w.size() < 3) {
            ADD_FAILURE() << "outside a frame: " << qPrintable(line);
        } else if (record == QLatin1String("image")) {
            frame->images.push_back({number(w[1]), number(w[2]), number(w.value(3))});
        } else if (record == QLatin1String("branch")) {
            frame->branches.emplace_back(number(w[1]), number(w[2]));
        } else if (record == QLatin1String("mouth")) {
            const Fields f = fields(w);
            frame->mouths.push_back({number(w[1]), f("replace"), f("image"), f("x"), f("y"), f("w"),
                                     f("h"), f("unknown"), f("region")});
        } else {
            ADD_FAILURE() << "unknown record: " << qPrintable(line);
        }
    }
    // The parser read what the file declares.
    EXPECT_TRUE(ref.ended);
    EXPECT_EQ(int(ref.animations.size()), ref.declaredAnimations);
    for (const RefAnimation& a : ref.animations) {
        EXPECT_EQ(int(a.frames.size()), a.declaredFrames) << qPrintable(a.name);
        for (const RefFrame& f : a.frames) {
            EXPECT_EQ(int(f.images.size()), f.counts("images"));
            EXPECT_EQ(int(f.branches.size()), f.counts("branches"));
            EXPECT_EQ(int(f.mouths.size()), f.counts("mouths"));
        }
    }
    return ref;
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
    ASSERT_EQ(int(c.imageCount()), parseAnimations(testdata::shared(ref("animations.txt"))).images);
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
    const Reference want = parseAnimations(testdata::shared(ref("animations.txt")));
    ASSERT_EQ(c.animations.size(), want.animations.size());
    for (std::size_t a = 0; a < c.animations.size(); ++a) {
        const Animation& anim = c.animations[a];
        const RefAnimation& r = want.animations[a];
        SCOPED_TRACE(qPrintable(r.name));
        EXPECT_EQ(anim.name, r.name);
        EXPECT_EQ(anim.storedName, r.inner);
        EXPECT_EQ(int(anim.transition), r.transition);
        EXPECT_EQ(anim.returnAnimation, r.returnTo);
        ASSERT_EQ(anim.frames.size(), r.frames.size());
        for (std::size_t f = 0; f < anim.frames.size(); ++f) {
            SCOPED_TRACE("frame " + std::to_string(f));
            const Frame& fr = anim.frames[f];
            const RefFrame& rf = r.frames[f];
            EXPECT_EQ(fr.duration, rf.duration);
            EXPECT_EQ(fr.exitFrame, rf.exit);
            EXPECT_EQ(fr.sound == NoSound ? -1 : int(fr.sound), rf.sound);
            ASSERT_EQ(fr.images.size(), rf.images.size());
            for (std::size_t i = 0; i < fr.images.size(); ++i) {
                const FrameImage& im = fr.images[i];
                EXPECT_EQ((std::array<int, 3>{int(im.image), im.x, im.y}), rf.images[i]);
            }
            ASSERT_EQ(fr.branches.size(), rf.branches.size());
            for (std::size_t b = 0; b < fr.branches.size(); ++b)
                EXPECT_EQ(
                    std::make_pair(int(fr.branches[b].frame), int(fr.branches[b].probability)),
                    rf.branches[b]);
            ASSERT_EQ(fr.overlays.size(), rf.mouths.size());
            for (std::size_t m = 0; m < fr.overlays.size(); ++m) {
                const MouthOverlay& o = fr.overlays[m];
                const RefMouth& rm = rf.mouths[m];
                const int rects = o.region ? int(le(*o.region, 8)) : -1;
                EXPECT_EQ((std::array<int, 9>{int(o.type), int(o.replaceTopImage), o.image, o.x,
                                              o.y, o.width, o.height, o.unknown, rects}),
                          (std::array<int, 9>{rm.type, rm.replace, rm.image, rm.x, rm.y, rm.w, rm.h,
                                              rm.unknown, rm.region}))
                    << "mouth " << m << ": type replace image x y w h unknown region";
            }
        }
    }

    // Lookup is case-insensitive, finds the first of that name, and keeps file order.
    QStringList names;
    for (const RefAnimation& r : want.animations)
        names.append(r.name);
    EXPECT_EQ(c.animationNames(), names);
    for (const QString& name : names) {
        int first = 0;
        while (names[first].compare(name, Qt::CaseInsensitive) != 0)
            ++first;
        for (const QString& asked : {name.toUpper(), name.toLower()}) {
            EXPECT_EQ(c.animationIndex(asked), first) << qPrintable(asked);
            EXPECT_EQ(c.animation(asked), &c.animations[std::size_t(first)]) << qPrintable(asked);
        }
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
        EXPECT_EQ(number(index[i][0]), int(i));
        const Fields f = fields(index[i]);
        const QByteArray wav = testdata::readFile(testdata::shared(numbered("sounds", i, "wav")));
        ASSERT_EQ(wav.size(), number(index[i][1]));
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
