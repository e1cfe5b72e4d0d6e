// Character files: open + first frame, decoding every image and decoding an
// ADPCM sound, on alice (the benchmark character, when ../shared is present)
// and on a generated character of about 4 MB; compressing, on HANZ. Then files
// made to hurt, at the bounds of limits.h: the costliest frame a file can ask
// for (target: 50 ms), opening 8 MB files of tables that expand (target: 1 s)
// and decoding every image of one that expands the most (acstool check).

#include "Synthetic.h"

#include "agent/format/Character.h"
#include "agent/format/Compositor.h"
#include "agent/format/Compression.h"
#include "agent/format/Limits.h"
#include "agent/format/Sound.h"
#include "agent/format/Writer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <random>

using namespace agent::format;

namespace {

QString shared(const char* name) {
    return QDir(QStringLiteral(PARLAVOX_SHARED_CHARACTERS)).filePath(QString::fromLatin1(name));
}

// A 4 MB character: 3100 images of up to 240x240 with blob art, 40 animations.
const QString& generated() {
    static QTemporaryDir dir;
    static const QString path = [] {
        synthetic::Options o;
        o.width = 240;
        o.height = 240;
        o.images = 3100;
        o.animations = 40;
        o.framesPerAnimation = 10;
        o.sounds = 10;
        o.soundSamples = 20000;
        const QByteArray bytes = writeCharacter(synthetic::makeCharacter(42, o));
        const QString p = dir.filePath(QStringLiteral("generated.acs"));
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            std::abort();
        return p;
    }();
    return path;
}

const Frame* firstFrame(const Character& c) {
    for (const Animation& a : c.animations)
        for (const Frame& f : a.frames)
            if (!f.images.empty())
                return &f;
    return nullptr;
}

void openAndFirstFrame(benchmark::State& state, const QString& path) {
    if (!QFile::exists(path)) {
        state.SkipWithError("file not present");
        return;
    }
    for (auto _ : state) {
        const Character c = Character::open(path);
        const QImage img = composeFrame(c, *firstFrame(c));
        benchmark::DoNotOptimize(img.constBits());
    }
    state.counters["file_MB"] = double(QFileInfo(path).size()) / 1e6;
}

void decodeAllImages(benchmark::State& state, const QString& path) {
    if (!QFile::exists(path)) {
        state.SkipWithError("file not present");
        return;
    }
    const Character c = Character::open(path);
    std::size_t pixels = 0;
    for (auto _ : state) {
        c.clearImageCache();
        pixels = 0;
        for (std::size_t i = 0; i < c.imageCount(); ++i)
            pixels += c.bitmap(i).pixels.size();
    }
    state.SetBytesProcessed(std::int64_t(pixels) * state.iterations());
    state.counters["images"] = double(c.imageCount());
    state.counters["pixel_MB"] = double(pixels) / 1e6;
}

// Our decoder against zlib on the same pixels, in one run so that a noisy
// machine slows both alike: every image of the file decoded, then the same
// decoded bytes deflated at level 6 (outside the timing) and inflated.
void decodeVersusZlib(benchmark::State& state, const QString& path) {
    if (!QFile::exists(path)) {
        state.SkipWithError("file not present");
        return;
    }
    const Character c = Character::open(path);
    std::vector<std::uint8_t> pixels;
    for (std::size_t i = 0; i < c.imageCount(); ++i)
        pixels.insert(pixels.end(), c.bitmap(i).pixels.begin(), c.bitmap(i).pixels.end());
    uLongf packedSize = compressBound(uLong(pixels.size()));
    std::vector<Bytef> packed(packedSize);
    if (compress2(packed.data(), &packedSize, pixels.data(), uLong(pixels.size()), 6) != Z_OK)
        std::abort();
    std::vector<Bytef> unpacked(pixels.size());
    using Clock = std::chrono::steady_clock;
    Clock::duration ours{}, theirs{};
    for (auto _ : state) {
        c.clearImageCache();
        const auto t0 = Clock::now();
        for (std::size_t i = 0; i < c.imageCount(); ++i)
            benchmark::DoNotOptimize(c.bitmap(i).pixels.data());
        const auto t1 = Clock::now();
        uLongf n = uLongf(unpacked.size());
        if (uncompress(unpacked.data(), &n, packed.data(), packedSize) != Z_OK)
            std::abort();
        benchmark::DoNotOptimize(unpacked.data());
        const auto t2 = Clock::now();
        ours += t1 - t0;
        theirs += t2 - t1;
    }
    auto mbps = [&](Clock::duration d) {
        return double(pixels.size()) * double(state.iterations()) / 1e6 /
               std::chrono::duration<double>(d).count();
    };
    state.counters["ours_MBps"] = mbps(ours);
    state.counters["zlib_MBps"] = mbps(theirs);
    state.counters["ratio"] = mbps(ours) / mbps(theirs);
}

// The first sound whose WAV format tag is 2 (ADPCM), decoded to PCM.
void decodeAdpcmSound(benchmark::State& state, const QString& path) {
    if (!QFile::exists(path)) {
        state.SkipWithError("file not present");
        return;
    }
    const Character c = Character::open(path);
    const QByteArray* wav = nullptr;
    for (std::size_t i = 0; i < c.soundCount() && !wav; ++i) {
        const QByteArray& data = c.sound(i).data;
        const qsizetype fmt = data.indexOf("fmt ");
        if (fmt >= 0 && fmt + 9 < data.size() && data[fmt + 8] == 2 && data[fmt + 9] == 0)
            wav = &data;
    }
    if (!wav) {
        state.SkipWithError("no ADPCM sound");
        return;
    }
    std::size_t frames = 0;
    for (auto _ : state) {
        const Pcm pcm = decodeSound(*wav);
        frames = pcm.frameCount();
        benchmark::DoNotOptimize(pcm.samples.data());
    }
    state.SetBytesProcessed(std::int64_t(wav->size()) * state.iterations());
    state.counters["frames"] = double(frames);
}

void compressImages(benchmark::State& state, const QString& path) {
    if (!QFile::exists(path)) {
        state.SkipWithError("file not present");
        return;
    }
    const Character c = Character::open(path);
    std::size_t pixels = 0;
    for (auto _ : state) {
        pixels = 0;
        for (std::size_t i = 0; i < c.imageCount(); ++i) {
            pixels += c.bitmap(i).pixels.size();
            benchmark::DoNotOptimize(compress(c.bitmap(i).pixels).size());
        }
    }
    state.SetBytesProcessed(std::int64_t(pixels) * state.iterations());
}

// --- crafted files ---------------------------------------------------------

Character craftedCanvas(std::uint16_t width, std::uint16_t height) {
    Character c;
    c.width = width;
    c.height = height;
    for (int i = 0; i < 256; ++i)
        c.palette.push_back(qRgb(i, i, i));
    return c;
}

// The largest frame, drawing images of as many pixels as a frame may: short
// runs of a few colours (slow to decode, not worth storing raw), and a last
// one with a rectangle per pixel for the shape.
const Character& worstFrameCharacter() {
    static const Character c = [] {
        const std::uint16_t w = 1920, h = 1200; // limits::MaxFramePixels
        Character c = craftedCanvas(w, h);
        const std::size_t n = limits::maxFrameBytes(w, h) / limits::imageBytes(w, h);
        std::mt19937 rng(7);
        Animation a;
        a.name = QStringLiteral("Worst");
        a.frames.emplace_back();
        for (std::size_t k = 0; k < n; ++k) {
            Bitmap b{w, h, std::vector<std::uint8_t>(limits::imageBytes(w, h))};
            for (std::size_t i = 0; i < b.pixels.size();) {
                const std::size_t run = 1 + rng() % 6;
                const std::uint8_t v = std::uint8_t(rng() % 4);
                for (std::size_t j = 0; j < run && i < b.pixels.size(); ++j, ++i)
                    b.pixels[i] = k + 1 < n ? v : std::uint8_t((i / w + i) % 2);
            }
            a.frames[0].images.push_back({std::uint32_t(c.addImage(std::move(b))), 0, 0});
        }
        c.animations.push_back(std::move(a));
        return Character::fromBytes(writeCharacter(c), QStringLiteral("worst-frame.acs"));
    }();
    return c;
}

void worstFrame(benchmark::State& state, bool cached) {
    const Character& c = worstFrameCharacter();
    const Frame& f = c.animations[0].frames[0];
    for (auto _ : state) {
        if (!cached)
            c.clearImageCache();
        benchmark::DoNotOptimize(composeFrame(c, f).constBits());
        benchmark::DoNotOptimize(frameShape(c, f).rectCount());
    }
    state.counters["images"] = double(f.images.size());
}

// About 8 MB of tables that expand when read.
QByteArray crafted8MB(const char* kind) {
    Character c = craftedCanvas(128, 128);
    c.addImage(Bitmap{1, 1, std::vector<std::uint8_t>(4, 1)});
    const std::string k = kind;
    if (k == "placements") { // 16 frames of 65535 images each, cut to 64 when read
        Animation a;
        a.name = QStringLiteral("A");
        a.frames.assign(16, Frame{});
        for (Frame& f : a.frames)
            f.images.assign(limits::MaxFrameImages, FrameImage{0, 0, 0});
        c.animations.push_back(std::move(a));
        QByteArray bytes = writeCharacter(c);
        // Rewrite the animation block by hand with 65535 images a frame.
        QByteArray block(11, '\0');
        block[4] = 2;
        block[9] = 16;
        for (int f = 0; f < 16; ++f) {
            block += QByteArray("\xFF\xFF", 2) + QByteArray(65535 * 8, '\0');
            block += QByteArray("\xFF\xFF\x0A\x00\xFF\xFF\0\0", 8);
        }
        const qsizetype table = qsizetype(std::uint8_t(bytes[12])) |
                                qsizetype(std::uint8_t(bytes[13])) << 8 |
                                qsizetype(std::uint8_t(bytes[14])) << 16;
        const std::uint32_t at = std::uint32_t(bytes.size()), size = std::uint32_t(block.size());
        for (int i = 0; i < 4; ++i) {
            bytes[table + 12 + i] = char(at >> (8 * i));
            bytes[table + 16 + i] = char(size >> (8 * i));
        }
        return bytes + block;
    }
    Animation a;
    a.name = QStringLiteral("A");
    if (k == "frames") { // 7 animations of 65535 frames
        a.frames.assign(65535, Frame{{{0, 0, 0}}, NoSound, 10, -1, {}, {}});
        for (int i = 0; i < 7; ++i)
            c.animations.push_back(a);
    } else { // "names": 120,000 animations, two states naming 60,000 each
        c.states = {State{QStringLiteral("Showing"), {}}, State{QStringLiteral("Hiding"), {}}};
        for (int i = 0; i < 120000; ++i) {
            a.name = QStringLiteral("Anim%1").arg(i);
            c.animations.push_back(a);
            c.states[std::size_t(i % 2)].animations.append(a.name);
        }
    }
    return writeCharacter(c);
}

void openCrafted(benchmark::State& state, const char* kind) {
    const QByteArray bytes = crafted8MB(kind);
    for (auto _ : state)
        benchmark::DoNotOptimize(Character::fromBytes(bytes, QStringLiteral("c.acs")).animations);
    state.counters["file_MB"] = double(bytes.size()) / 1e6;
}

// 8 MB of the largest images, each a single colour: the most a file's pixels
// can expand. acstool check decodes every one.
void decodeEveryMostExpandingImage(benchmark::State& state) {
    Character c = craftedCanvas(1920, 1200);
    c.addImage(Bitmap{1920, 1200, std::vector<std::uint8_t>(limits::imageBytes(1920, 1200), 3)});
    QByteArray one = writeCharacter(c);
    // Repeat the image's block until the file is 8 MB; one table entry each.
    const qsizetype table = qsizetype(std::uint8_t(one[20])) |
                            qsizetype(std::uint8_t(one[21])) << 8 |
                            qsizetype(std::uint8_t(one[22])) << 16;
    auto u32 = [&one](qsizetype at) {
        return std::uint32_t(std::uint8_t(one[at])) |
               std::uint32_t(std::uint8_t(one[at + 1])) << 8 |
               std::uint32_t(std::uint8_t(one[at + 2])) << 16;
    };
    const QByteArray block = one.mid(u32(table + 4), u32(table + 8));
    QByteArray bytes = one.left(table), entries;
    std::uint32_t n = 0;
    for (; bytes.size() + qsizetype(block.size()) < (8 << 20) - 12 * qsizetype(n); ++n) {
        entries += QByteArray(12, '\0');
        for (int i = 0; i < 4; ++i) {
            entries[12 * n + i] = char(std::uint32_t(bytes.size()) >> (8 * i));
            entries[12 * n + 4 + i] = char(std::uint32_t(block.size()) >> (8 * i));
        }
        bytes += block;
    }
    const std::uint32_t at = std::uint32_t(bytes.size()), size = 4 + 12 * n;
    bytes += QByteArray(reinterpret_cast<const char*>(&n), 4) + entries; // little-endian host
    const std::uint32_t sounds = std::uint32_t(bytes.size()), four = 4;
    bytes += QByteArray(4, '\0'); // an empty sound table
    for (int i = 0; i < 4; ++i) {
        bytes[20 + i] = char(at >> (8 * i));
        bytes[24 + i] = char(size >> (8 * i));
        bytes[28 + i] = char(sounds >> (8 * i));
        bytes[32 + i] = char(four >> (8 * i));
    }
    const Character r = Character::fromBytes(bytes, QStringLiteral("expands.acs"));
    std::size_t pixels = 0;
    for (auto _ : state) {
        pixels = 0;
        for (std::size_t i = 0; i < r.imageCount(); ++i)
            pixels += r.bitmap(i).pixels.size();
    }
    state.counters["file_MB"] = double(bytes.size()) / 1e6;
    state.counters["pixel_GB"] = double(pixels) / 1e9;
    state.counters["cache_MB"] = double(r.cachedImageBytes()) / 1e6;
}

} // namespace

BENCHMARK_CAPTURE(openAndFirstFrame, alice, shared("alice.acs"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(openAndFirstFrame, Generated4MB, generated())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeAllImages, alice, shared("alice.acs"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeAllImages, Generated4MB, generated())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeVersusZlib, alice, shared("alice.acs"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeAdpcmSound, alice, shared("alice.acs"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(compressImages, HANZ, shared("HANZ.ACS"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(worstFrame, decoded, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(worstFrame, cached, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(openCrafted, placements, "placements")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(openCrafted, frames, "frames")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(openCrafted, names, "names")->Unit(benchmark::kMillisecond);
BENCHMARK(decodeEveryMostExpandingImage)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
