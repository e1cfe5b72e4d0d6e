// Character files: open + first frame, decoding every image and decoding an
// ADPCM sound, on alice (the benchmark character, when ../shared is present)
// and on a generated character of about 4 MB; compressing, on HANZ.

#include "Synthetic.h"

#include "agent/format/Character.h"
#include "agent/format/Compositor.h"
#include "agent/format/Compression.h"
#include "agent/format/Sound.h"
#include "agent/format/Writer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>

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

} // namespace

BENCHMARK_CAPTURE(openAndFirstFrame, alice, shared("alice.acs"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(openAndFirstFrame, Generated4MB, generated())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeAllImages, alice, shared("alice.acs"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeAllImages, Generated4MB, generated())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeVersusZlib, alice, shared("alice.acs"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeAdpcmSound, alice, shared("alice.acs"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(compressImages, HANZ, shared("HANZ.ACS"))->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
