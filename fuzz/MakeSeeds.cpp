// Writes small generated seeds: characters from the writer for fuzz_reader,
// compressed streams (with fuzz_decompress's 3-byte prefix) for fuzz_decompress.
// usage: fuzz_make_seeds CORPUS_DIR   (writes CORPUS_DIR/reader, CORPUS_DIR/decompress)

#include "Synthetic.h"

#include "agent/format/Compression.h"
#include "agent/format/Writer.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <random>

using namespace agent::format;

static void save(const QString& path, const QByteArray& data) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) {
        std::fprintf(stderr, "fuzz_make_seeds: %s: cannot write\n", qPrintable(path));
        std::exit(1);
    }
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds CORPUS_DIR\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    root.mkpath("reader");
    root.mkpath("decompress");

    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        synthetic::Options o;
        o.width = std::uint16_t(8 + seed * 3);
        o.height = std::uint16_t(6 + seed * 2);
        o.images = int(1 + seed % 4);
        o.animations = int(1 + seed % 3);
        o.framesPerAnimation = int(1 + seed % 4);
        o.sounds = int(seed % 2);
        o.soundSamples = 16;
        o.regions = seed % 2 == 0;
        save(root.filePath(QStringLiteral("reader/generated-%1.acs").arg(seed)),
             writeCharacter(synthetic::makeCharacter(seed, o)));
    }
    // No animations, images or sounds at all.
    synthetic::Options empty;
    empty.images = empty.animations = empty.sounds = 0;
    Character bare = synthetic::makeCharacter(99, empty);
    bare.voice.reset();
    bare.balloon.reset();
    bare.flags = VoiceOff | BalloonOff;
    bare.trayIcon.reset();
    save(root.filePath("reader/bare.acs"), writeCharacter(bare));

    auto stream = [&](const QString& name, const std::vector<std::uint8_t>& raw) {
        const std::vector<std::uint8_t> packed = compress(raw);
        QByteArray seed;
        seed.append(char(raw.size() & 0xFF));
        seed.append(char(raw.size() >> 8));
        seed.append(char(16));
        seed.append(reinterpret_cast<const char*>(packed.data()), qsizetype(packed.size()));
        save(root.filePath("decompress/" + name), seed);
    };
    std::mt19937 rng(5);
    std::vector<std::uint8_t> runs(3000);
    for (std::size_t i = 0; i < runs.size(); ++i)
        runs[i] = std::uint8_t((i / 37) % 5 == 0 ? rng() : 0);
    stream("runs", runs);
    std::vector<std::uint8_t> noise(400);
    for (auto& b : noise)
        b = std::uint8_t(rng());
    stream("noise", noise);
    std::vector<std::uint8_t> far(20000, 0);
    for (std::size_t i = 0; i < 300; ++i)
        far[i] = far[i + 6000] = far[i + 15000] = std::uint8_t(rng());
    stream("far", far);
    stream("empty", {});
    // The worked example of the format description (a 32-byte region header).
    const char example[] = "\x20\x00\x10"
                           "\x00\x40\x00\x04\x10\xD0\x90\x80\x42\xED\x98\x01\xB7\xFF\xFF\xFF\xFF"
                           "\xFF\xFF";
    save(root.filePath("decompress/example"), QByteArray(example, sizeof example - 1));
    return 0;
}
