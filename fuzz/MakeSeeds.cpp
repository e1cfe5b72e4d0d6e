// Writes small generated seeds: characters from the writer for fuzz_reader,
// compressed streams (with fuzz_decompress's 3-byte prefix) for fuzz_decompress,
// WAV blocks (PCM and tag-2 ADPCM) for fuzz_sound.
// usage: fuzz_make_seeds CORPUS_DIR   (writes CORPUS_DIR/reader, .../decompress, .../sound)

#include "Synthetic.h"

#include "agent/format/Compression.h"
#include "agent/format/Sound.h"
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
    root.mkpath("sound");

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

    // Sounds: 16-bit PCM from the writer's encoder, then 8-bit PCM and ADPCM by hand.
    Pcm pcm{11025, 2, {}};
    for (int i = 0; i < 64; ++i)
        pcm.samples.push_back(std::int16_t((i * 977) % 20000 - 10000));
    save(root.filePath("sound/pcm16-stereo.wav"), encodeWav(pcm));
    auto wav = [](std::uint16_t tag, std::uint16_t align, std::uint16_t bits,
                  const QByteArray& extra, const QByteArray& data) {
        QByteArray out("RIFF\0\0\0\0WAVEfmt ", 16);
        auto le = [&out](std::uint32_t v, int n) {
            for (int i = 0; i < n; ++i)
                out.append(char(v >> (8 * i)));
        };
        le(std::uint32_t(16 + extra.size()), 4);
        le(tag, 2);
        le(1, 2);
        le(11025, 4);
        le(11025u * align, 4);
        le(align, 2);
        le(bits, 2);
        out.append(extra);
        out.append("data");
        le(std::uint32_t(data.size()), 4);
        out.append(data);
        for (int i = 0; i < 4; ++i)
            out[4 + i] = char(std::uint32_t(out.size() - 8) >> (8 * i));
        return out;
    };
    QByteArray bytes;
    for (int i = 0; i < 200; ++i)
        bytes.append(char(128 + (i * 37) % 90 - 45));
    save(root.filePath("sound/pcm8.wav"), wav(1, 1, 8, {}, bytes));
    // ADPCM: cbSize 32, 500 samples per block, the 7 standard coefficient pairs.
    QByteArray extra;
    for (int v : {32, 500, 7, 256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232}) {
        extra.append(char(v));
        extra.append(char(v >> 8));
    }
    QByteArray blocks;
    for (int b = 0; b < 2; ++b) {
        blocks.append(char(b * 3));      // predictor
        for (int v : {16, 1200, -800}) { // step, newest and older sample
            blocks.append(char(v));
            blocks.append(char(v >> 8));
        }
        for (int i = 7; i < 256; ++i)
            blocks.append(char(rng()));
    }
    save(root.filePath("sound/adpcm.wav"), wav(2, 256, 4, extra, blocks));
    return 0;
}
