// Writes small generated seeds: characters from the writer for fuzz_reader,
// compressed streams (with fuzz_decompress's 3-byte prefix) for fuzz_decompress,
// WAV blocks (PCM and tag-2 ADPCM) for fuzz_sound, regions (with fuzz_region's
// 4-byte prefix), tray icons (with fuzz_tray_icon's mask length) and choices
// for fuzz_writer, and older-generation characters (compound documents) for
// fuzz_older.
// usage: fuzz_make_seeds CORPUS_DIR   (writes CORPUS_DIR/reader, .../decompress, ...)

// GLib names a struct member "signals", which Qt defines as a keyword: GLib first.
#include <gsf/gsf.h>

#include "Synthetic.h"

#include "agent/format/Compression.h"
#include "agent/format/Sound.h"
#include "agent/format/Writer.h"

#include <QDir>
#include <QFile>

#include <array>
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

// An older-generation character: char.acf and one animation stream, each its
// size, compressed size and compressed bytes, in a compound document. Two
// frame-sized pictures, a branch, a mouth and (when `sound`) a WAV.
static QByteArray olderCharacter(std::uint16_t w, std::uint16_t h, bool sound) {
    QByteArray info, anim;
    auto put = [](QByteArray& b, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.append(char(v >> (8 * i)));
    };
    auto str = [&](QByteArray& b, const QString& s) { // no terminator
        put(b, std::uint32_t(s.size()), 4);
        for (QChar c : s)
            put(b, c.unicode(), 2);
    };
    auto packed = [&](QByteArray& b, const QByteArray& plain) {
        const auto z = compress(
            {reinterpret_cast<const std::uint8_t*>(plain.constData()), std::size_t(plain.size())});
        put(b, std::uint32_t(plain.size()), 4);
        put(b, std::uint32_t(z.size()), 4);
        b.append(reinterpret_cast<const char*>(z.data()), qsizetype(z.size()));
    };
    put(info, 31, 2), put(info, 1, 2), put(info, 1, 2);
    str(info, "Show"), str(info, "anim1.aaf"), str(info, ""), put(info, 7, 4);
    info.append(16, '\x42'); // GUID
    str(info, "Seed"), str(info, "A seed"), str(info, "");
    put(info, w, 2), put(info, h, 2), put(info, 0, 1), put(info, 0x220, 4);
    info.append(32, '\x11'), put(info, 150, 4), put(info, 100, 2); // voice
    put(info, 2, 1), put(info, 28, 1), put(info, 0, 4), put(info, 0xE1FFFF, 4), put(info, 0, 4);
    str(info, "Sans"), put(info, std::uint32_t(-13), 4), put(info, 400, 4), put(info, 0, 2);
    put(info, 256, 4);
    for (int i = 0; i < 256; ++i)
        put(info, std::uint32_t(i * 0x010203), 4);
    put(info, 1, 2), str(info, "Showing"), put(info, 1, 2), str(info, "Show");

    const int stride = (w + 3) & ~3;
    put(anim, sound ? 1 : 0, 2);
    if (sound) {
        const QByteArray wav = encodeWav(Pcm{11025, 1, std::vector<std::int16_t>(32, 1000)});
        put(anim, std::uint32_t(wav.size()), 4), anim.append(wav);
    }
    put(anim, 2, 2);
    for (int k = 0; k < 2; ++k) {
        QByteArray px(stride * h, '\0');
        for (int y = h / 4; y < h - h / 4; ++y)
            for (int x = k; x < w - 1; ++x)
                px[y * stride + x] = char(1 + (x + y) % 200);
        put(anim, std::uint32_t(px.size()), 4), put(anim, 0, 1), anim.append(px);
        const QByteArray region = makeRegionData(QRegion(k, h / 4, w - 1 - k, h - 2 * (h / 4)));
        put(anim, std::uint32_t(region.size()), 4), anim.append(region);
    }
    put(anim, 2, 2);
    for (int f = 0; f < 2; ++f) {
        put(anim, f, 2), put(anim, sound && f == 0 ? 0 : 0xFFFF, 2), put(anim, 10, 2);
        put(anim, 0, 4), put(anim, 1, 1), put(anim, 1 - f, 2), put(anim, 50, 2);
        put(anim, f == 0 ? 1 : 0, 1);
        if (f == 0) { // a 4x2 mouth of type 3
            put(anim, 3, 1), put(anim, 8, 4), put(anim, 0, 1), put(anim, 1, 2), put(anim, 2, 2);
            put(anim, 4, 2), put(anim, 2, 2), anim.append(8, '\x05');
        }
    }

    QByteArray acf("\xC1\xAB\xCD\xAB", 4), aaf;
    packed(acf, info);
    put(aaf, 31, 2), put(aaf, 1, 2), put(aaf, 7, 4), put(aaf, 1, 1);
    packed(aaf, anim);
    GsfOutput* memory = gsf_output_memory_new();
    GsfOutfile* doc = gsf_outfile_msole_new(memory);
    for (const auto& [name, bytes] : {std::pair{"char.acf", acf}, std::pair{"anim1.aaf", aaf}}) {
        GsfOutput* stream = gsf_outfile_new_child(doc, name, FALSE);
        gsf_output_write(stream, std::size_t(bytes.size()),
                         reinterpret_cast<const guint8*>(bytes.constData()));
        gsf_output_close(stream);
        g_object_unref(stream);
    }
    gsf_output_close(GSF_OUTPUT(doc));
    g_object_unref(doc);
    const QByteArray out(
        reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory))),
        qsizetype(gsf_output_size(memory)));
    g_object_unref(memory);
    return out;
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
    root.mkpath("region");
    root.mkpath("tray_icon");
    root.mkpath("writer");
    root.mkpath("older");

    for (bool sound : {false, true})
        save(root.filePath(QStringLiteral("older/generated-%1.acs").arg(sound ? 2 : 1)),
             olderCharacter(sound ? 13 : 8, sound ? 9 : 6, sound));

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

    // Regions: image width, height, x and y offset, then RGNDATA.
    auto region = [&](const QString& name, std::uint8_t w, std::uint8_t h, std::int8_t x,
                      std::int8_t y, const QRegion& r) {
        save(root.filePath("region/" + name),
             QByteArray(std::array<char, 4>{char(w), char(h), char(x), char(y)}.data(), 4) +
                 makeRegionData(r));
    };
    region("ring", 40, 30, 3, -2, QRegion(0, 0, 40, 30) - QRegion(10, 8, 20, 14));
    region("clipped", 20, 20, 60, 50, QRegion(-5, -5, 40, 12) + QRegion(2, 20, 30, 30));
    QRegion dots;
    for (int i = 0; i < 64; ++i)
        dots += QRect(int(rng() % 60), int(rng() % 60), 1 + int(rng() % 3), 1);
    region("dots", 60, 60, 0, 0, dots);

    // Tray icons: a 16x16 1-bit mask and a 4-bit or 24-bit colour bitmap.
    auto dib = [&](int bits, int colours) {
        QByteArray b;
        auto u32 = [&b](std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                b.append(char(v >> (8 * i)));
        };
        for (std::uint32_t v : {40u, 16u, 16u, 1u | std::uint32_t(bits) << 16, 0u, 0u, 0u, 0u,
                                std::uint32_t(colours), 0u})
            u32(v);
        for (int i = 0; i < colours; ++i)
            u32(rng() & 0xFFFFFF);
        for (int i = 0; i < (16 * bits + 31) / 32 * 4 * 16; ++i)
            b.append(char(rng()));
        return b;
    };
    for (int bits : {4, 24}) {
        const QByteArray mask = dib(1, 2);
        save(root.filePath(QStringLiteral("tray_icon/bits-%1").arg(bits)),
             QByteArray(std::array<char, 2>{char(mask.size()), char(mask.size() >> 8)}.data(), 2) +
                 mask + dib(bits, bits == 4 ? 16 : 0));
    }

    // The writer's choices: any bytes will do; a few lengths start it off.
    for (int n : {16, 200, 2000}) {
        QByteArray choices;
        for (int i = 0; i < n; ++i)
            choices.append(char(rng()));
        save(root.filePath(QStringLiteral("writer/random-%1").arg(n)), choices);
    }
    return 0;
}
