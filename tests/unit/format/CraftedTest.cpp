// Files made to hurt, written here byte by byte: an image that cannot be
// decoded, table entries that all share one block, region rectangles at the
// ends of the integer range, frames that draw far too much, sounds in codecs a
// character never uses. None may end the program, take unbounded memory or
// time, or reach Qt unchecked.

#include "TestData.h"

#include "agent/format/Compositor.h"
#include "agent/format/Limits.h"
#include "agent/format/Writer.h"

#include <QTemporaryDir>

#include <sndfile.h>

#include <array>
#include <climits>
#include <cmath>

using namespace agent::format;
using testdata::get;
using testdata::put;

namespace {

Character canvas(std::uint16_t width, std::uint16_t height) {
    Character c;
    c.width = width;
    c.height = height;
    for (int i = 0; i < 256; ++i)
        c.palette.push_back(qRgb(i, 255 - i, i / 2));
    return c;
}

// Opaque where `opaque(x, y)`, colour 5; else the transparent index 0.
template <class F> Bitmap image(std::uint16_t width, std::uint16_t height, F opaque) {
    Bitmap b{width, height, std::vector<std::uint8_t>(limits::imageBytes(width, height), 0)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.scanLine(y)[x] = opaque(x, y) ? 5 : 0;
    return b;
}
Bitmap solid(std::uint16_t width, std::uint16_t height) {
    return image(width, height, [](int, int) { return true; });
}

Frame frame(std::vector<FrameImage> images) {
    Frame f;
    f.images = std::move(images);
    return f;
}

// The offset of the block that entry `i` of the table at header slot 20
// (images) or 28 (sounds) points at.
qsizetype block(const QByteArray& f, int slot, int i) {
    return qsizetype(get(f, qsizetype(get(f, slot)) + 4 + 12 * i));
}

// The file with the table at header slot 12 (animations), 20 or 28 replaced by
// `count` copies of its first entry, all pointing at that entry's block.
QByteArray repeatFirst(QByteArray f, int slot, std::uint32_t count) {
    const qsizetype table = get(f, slot);
    const std::uint32_t name = slot == 12 ? get(f, table + 4) : 0;
    const qsizetype entry = slot == 12 ? 4 + (name ? 2 * name + 2 : 0) + 8 : 12;
    QByteArray t(4, '\0');
    put(t, 0, count);
    for (std::uint32_t i = 0; i < count; ++i)
        t.append(f.mid(table + 4, entry));
    put(f, slot, std::uint32_t(f.size()));
    put(f, slot + 4, std::uint32_t(t.size()));
    return f + t;
}

bool same(const QRegion& a, const QRegion& b) {
    return (a ^ b).isEmpty();
}

} // namespace

TEST(Crafted, AnUndecodableImageIsLeftOutOfItsFramesWithOneWarning) {
    Character c = canvas(32, 16);
    c.addImage(solid(16, 16));
    c.addImage(solid(16, 16), makeRegionData(QRegion(0, 0, 16, 16)));
    const Frame f = frame({{1, 16, 0}, {0, 0, 0}});
    QByteArray bytes = writeCharacter(c);
    // Image 1's stream loses its end marker.
    const qsizetype stream = block(bytes, 20, 1) + 10;
    ASSERT_EQ(bytes[stream - 5], 1) << "compressed";
    for (qsizetype i = stream + get(bytes, stream - 4) - 6; i < stream + get(bytes, stream - 4);
         ++i)
        bytes[i] = 0;
    const Character r = Character::fromBytes(bytes, QStringLiteral("broken.acs"));
    const QImage img = composeFrame(r, f);
    EXPECT_EQ(qAlpha(img.pixel(20, 4)), 0);
    EXPECT_EQ(img.pixel(4, 4), r.colourTable()[5]);
    EXPECT_TRUE(same(frameShape(r, f), QRegion(0, 0, 16, 16)));
    EXPECT_THROW(r.bitmap(1), FormatError);
    ASSERT_EQ(r.warnings().size(), 1) << qPrintable(r.warnings().join('\n'));
    EXPECT_TRUE(r.warnings()[0].startsWith(QLatin1String("broken.acs: image 1 at offset")));
    EXPECT_TRUE(r.warnings()[0].contains(QLatin1String("without its end marker")));
}

TEST(Crafted, EntriesSharingABlockAreReadAndHeldOnce) {
    Character c = canvas(64, 64);
    c.addImage(image(64, 64, [](int x, int y) { return (x ^ y) & 4; }));
    c.addSound(encodeWav(Pcm{11025, 1, std::vector<std::int16_t>(256 * 1024, 99)}));
    Animation a;
    a.name = QStringLiteral("A");
    a.frames.assign(2000, frame({{0, 0, 0}}));
    c.animations.push_back(a);
    const QByteArray bytes = writeCharacter(c);

    const Character r = Character::fromBytes(repeatFirst(repeatFirst(bytes, 20, 20000), 28, 20000),
                                             QStringLiteral("shared.acs"));
    ASSERT_EQ(r.imageCount(), 20000u);
    ASSERT_EQ(r.soundCount(), 20000u);
    int apart = 0;
    for (std::size_t i = 0; i < r.imageCount(); ++i)
        apart += &r.bitmap(i) != &r.bitmap(0) || !r.sound(i).data.isSharedWith(r.sound(0).data);
    EXPECT_EQ(apart, 0);
    EXPECT_EQ(r.cachedImageBytes(), 64u * 64u);
    EXPECT_EQ(r.soundPcm(19999).frameCount(), 256u * 1024u);

    // Animation blocks are expanded per entry: they may not add up to more than the file.
    EXPECT_EQ(Character::fromBytes(repeatFirst(bytes, 12, 2), "twice").animations.size(), 2u);
    const std::string many = testdata::errorOf(
        [&] { Character::fromBytes(repeatFirst(bytes, 12, 20000), QStringLiteral("many.acs")); });
    EXPECT_MENTIONS(many, "many.acs: animation table at offset");
    EXPECT_MENTIONS(many, "they overlap");
}

TEST(Crafted, AnImageFarLargerThanTheFrameIsNeverDecoded) {
    Character c = canvas(1024, 512);
    c.addImage(solid(1024, 512));
    QByteArray bytes = writeCharacter(c);
    const qsizetype info = get(bytes, 4);
    put(bytes, info + 28, 16, 2); // the character becomes 16x16
    put(bytes, info + 30, 16, 2);
    const Character r = Character::fromBytes(bytes, QStringLiteral("huge.acs"));
    ASSERT_EQ(r.warnings().size(), 1);
    EXPECT_TRUE(r.warnings()[0].contains(QLatin1String("huge.acs: image 0 at offset")));
    EXPECT_TRUE(r.warnings()[0].contains(QLatin1String("1024x512 is more than 262144 bytes")));
    EXPECT_EQ(qAlpha(composeFrame(r, frame({{0, 0, 0}})).pixel(0, 0)), 0);
    EXPECT_THROW(r.bitmap(0), FormatError);
    EXPECT_EQ(r.cachedImageBytes(), 0u);
    EXPECT_EQ(r.warnings().size(), 1);
}

namespace {
QByteArray rgnData(const std::vector<std::array<std::int32_t, 4>>& rects) {
    QByteArray d(32, '\0');
    put(d, 0, 32);
    put(d, 4, 1);
    put(d, 8, std::uint32_t(rects.size()));
    for (const auto& r : rects)
        for (std::int32_t v : r)
            d.append(reinterpret_cast<const char*>(&v), 4); // little-endian host
    return d;
}
} // namespace

TEST(Crafted, RegionRectanglesAreClippedToTheImageOrRefused) {
    const struct {
        const char* name;
        QByteArray data;
        QRegion want;
        const char* refused = nullptr;
    } cases[] = {
        {"whole int range", rgnData({{INT_MIN, INT_MIN, INT_MAX, INT_MAX}}), QRegion(0, 0, 10, 6)},
        {"partly outside", rgnData({{-5, -5, 3, 2}, {8, 4, 40, 9}}),
         QRegion(0, 0, 3, 2) + QRegion(8, 4, 2, 2)},
        {"outside and empty", rgnData({{20, 0, 30, 2}, {3, 3, 3, 5}, {1, 4, 2, 3}}), QRegion()},
        {"banded", rgnData({{0, 0, 2, 1}, {4, 0, 6, 1}, {1, 1, 5, 3}}),
         QRegion(0, 0, 2, 1) + QRegion(4, 0, 2, 1) + QRegion(1, 1, 4, 2)},
        {"overlap in a band", rgnData({{0, 0, 4, 1}, {3, 0, 6, 1}}), {}, "overlaps or touches"},
        {"touching in a band", rgnData({{0, 0, 3, 1}, {3, 0, 6, 1}}), {}, "overlaps or touches"},
        {"bands out of order", rgnData({{0, 2, 1, 3}, {0, 0, 1, 1}}), {}, "out of order"},
        {"a band of two heights", rgnData({{0, 0, 1, 2}, {3, 0, 4, 1}}), {}, "out of order"},
        {"count past the data", rgnData({{0, 0, 1, 1}}).replace(8, 1, "\x02"), {}, "cannot fit"},
        {"short header", rgnData({}).left(31), {}, "32-byte header"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString why;
        const std::optional<QRegion> region = parseRegion(c.data, QSize(10, 6), &why);
        ASSERT_EQ(region.has_value(), !c.refused) << qPrintable(why);
        if (region)
            EXPECT_TRUE(same(*region, c.want));
        else
            EXPECT_TRUE(why.contains(QLatin1String(c.refused))) << qPrintable(why);
    }
    // In a file, a damaged region gives way to the pixels, with one warning.
    Character c = canvas(8, 8);
    c.addImage(image(4, 2, [](int x, int y) { return x || y; }),
               rgnData({{0, 1, 4, 2}, {0, 0, 4, 1}}));
    const QByteArray bytes = writeCharacter(c);
    const Character r = Character::fromBytes(bytes, QStringLiteral("rgn.acs"));
    EXPECT_TRUE(same(frameShape(r, frame({{0, 2, 2}})), QRegion(3, 2, 3, 1) + QRegion(2, 3, 4, 1)));
    ASSERT_EQ(r.warnings().size(), 1);
    EXPECT_TRUE(
        r.warnings()[0].startsWith(QLatin1String("rgn.acs: region of image 0: rectangle 1")));
}

TEST(Crafted, WhatOneFrameDrawsIsBounded) {
    // Frames that hold more images, or more pixels, than a frame may draw keep their top images.
    const struct {
        std::uint16_t frame, image; // square sides
        std::uint32_t images;
        bool overlay; // one more image of the same size, as a mouth
        std::size_t drawn;
    } cases[] = {
        {128, 128, 3, true, 3}, // what real frames do, roughly
        {16, 1, 100, false, 64}, {512, 512, 7, false, 4},
        {512, 512, 7, true, 3},  {512, 1024, 2, false, 1},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(std::to_string(t.images) + " images of " + std::to_string(t.image) + "^2");
        Character c = canvas(t.frame, t.frame);
        c.addImage(solid(t.image, t.image));
        Frame f = frame(std::vector<FrameImage>(t.images, FrameImage{0, 0, 0}));
        if (t.overlay)
            f.overlays.emplace_back().type = MouthType::Wide1; // image 0
        EXPECT_EQ(drawableImages(c, f), t.drawn);
        if (t.drawn < t.images) { // the writer will not write what the reader would cut
            c.animations.push_back(Animation{QStringLiteral("A"), {}, Transition::None, {}, {f}});
            EXPECT_THROW(writeCharacter(c), FormatError);
        }
    }

    // 50,000 placements in one frame, written by hand: the loaded frame keeps 64.
    Character c = canvas(16, 16);
    c.addImage(solid(4, 4));
    c.animations.push_back(Animation{QStringLiteral("A"), {}, Transition::None, {}, {frame({})}});
    QByteArray bytes = writeCharacter(c);
    QByteArray anim(4 + 1 + 4 + 2 + 2, '\0'); // no names, transition, 1 frame, image count
    anim[4] = 2;
    put(anim, 9, 1, 2);
    put(anim, 11, 50000, 2);
    anim += QByteArray(50000 * 8, '\0') + QByteArray("\xFF\xFF\x0A\x00\xFF\xFF\0\0", 8);
    put(bytes, get(bytes, 12) + 12, std::uint32_t(bytes.size()));
    put(bytes, get(bytes, 12) + 16, std::uint32_t(anim.size()));
    const Character r = Character::fromBytes(bytes + anim, QStringLiteral("layers.acs"));
    EXPECT_EQ(r.animations[0].frames[0].images.size(), 64u);
    ASSERT_EQ(r.warnings().size(), 1);
    EXPECT_TRUE(r.warnings()[0].startsWith(QLatin1String("layers.acs: animation 'A': 1 of its "
                                                         "frames (the first: frame 0) have more")));

    // A frame beyond the bound is refused by name.
    put(bytes, get(bytes, 4) + 28, 4096, 2);
    put(bytes, get(bytes, 4) + 30, 2048, 2);
    EXPECT_MENTIONS(testdata::errorOf([&] { Character::fromBytes(bytes, "wide.acs"); }),
                    "frame size 4096x2048 is implausibly large");
}

namespace {
// One second of a tone in `format`, written by libsndfile.
QByteArray encoded(int format) {
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("sound")).toLocal8Bit();
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = format;
    SNDFILE* f = sf_open(path.constData(), SFM_WRITE, &info);
    if (!f)
        return {};
    std::vector<short> tone(8000);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = short(8000 * std::sin(double(i) * 0.3));
    sf_writef_short(f, tone.data(), sf_count_t(tone.size()));
    sf_close(f);
    return testdata::readFile(QString::fromLocal8Bit(path));
}
} // namespace

TEST(Crafted, SoundsDecodeInTheCodecsCharactersUseAndNoOthers) {
    const struct {
        const char* name;
        int format;
        bool used;
    } cases[] = {
        {"PCM 8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, true},
        {"ADPCM", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, true},
        {"mu-law", SF_FORMAT_WAV | SF_FORMAT_ULAW, true},
        {"IMA ADPCM", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, true},
        {"GSM 6.10", SF_FORMAT_WAV | SF_FORMAT_GSM610, true},
        {"float WAVE", SF_FORMAT_WAV | SF_FORMAT_FLOAT, false},
        {"extensible WAVE", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, false},
        {"Ogg Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = encoded(c.format);
        ASSERT_FALSE(bytes.isEmpty()) << "libsndfile cannot write it";
        const DecodedSound tolerant = decodeSoundTolerant(bytes);
        if (c.used) {
            const std::size_t frames = decodeSound(bytes).frameCount();
            EXPECT_GE(frames, 8000u);
            EXPECT_LE(frames, 8000u + 1024u);
            EXPECT_EQ(tolerant.pcm.frameCount(), frames);
            EXPECT_TRUE(tolerant.repairs.isEmpty()) << qPrintable(tolerant.repairs.join('\n'));
        } else {
            EXPECT_THROW(decodeSound(bytes), FormatError);
            EXPECT_TRUE(tolerant.pcm.samples.empty());
            EXPECT_TRUE(tolerant.repairs.join('\n').contains(QLatin1String("nothing decodable")));
        }
    }
}
