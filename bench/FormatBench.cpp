// Character files: open + first frame, and decoding every image, on Genie
// (when ../shared is present) and on a generated character of about 4 MB.

#include "Synthetic.h"

#include "agent/format/Character.h"
#include "agent/format/Compositor.h"
#include "agent/format/Compression.h"
#include "agent/format/Writer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace agent::format;

namespace {

QString genie() {
    return QDir(QStringLiteral(PARLAVOX_SHARED_CHARACTERS)).filePath(QStringLiteral("Genie.acs"));
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

void compressGenie(benchmark::State& state) {
    if (!QFile::exists(genie())) {
        state.SkipWithError("file not present");
        return;
    }
    const Character c = Character::open(genie());
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

BENCHMARK_CAPTURE(openAndFirstFrame, Genie, genie())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(openAndFirstFrame, Generated4MB, generated())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeAllImages, Genie, genie())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeAllImages, Generated4MB, generated())->Unit(benchmark::kMillisecond);
BENCHMARK(compressGenie)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
