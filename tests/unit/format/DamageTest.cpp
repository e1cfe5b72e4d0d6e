// Damage written into copies of real characters, in memory: a damaged sound
// plays what decodes (libsndfile on the undamaged one is the reference), a
// frame's sound index past the list means no sound, an image stream a little
// long loads. Each leaves a warning naming the part (acstool check prints the
// warnings: the angel and zippz checks in CMakeLists.txt).

#include "TestData.h"

#include "agent/format/Sound.h"

#include <algorithm>
#include <functional>

using namespace agent::format;

using testdata::get;
using testdata::put;

namespace {

// The header's locators of the animation, image and sound tables are at 12,
// 20 and 28; a table is a count and then 12-byte entries.
qsizetype entry(const QByteArray& f, qsizetype locator, int i) {
    return qsizetype(get(f, locator)) + 4 + 12 * i;
}
qsizetype image(const QByteArray& f, int i) {
    return qsizetype(get(f, entry(f, 20, i)));
}
// A chunk header ("fmt ", "data") of sound i's WAV.
qsizetype chunk(const QByteArray& f, int sound, const char* id) {
    return f.indexOf(id, qsizetype(get(f, entry(f, 28, sound))));
}
// The sound index of the first animation's first frame.
qsizetype firstFrameSound(const QByteArray& f) {
    auto pastString = [&f](qsizetype at) {
        const std::uint32_t n = get(f, at);
        return at + 4 + (n ? 2 * qsizetype(n) + 2 : 0);
    };
    const qsizetype block = qsizetype(get(f, pastString(get(f, 12) + 4)));
    const qsizetype frame = pastString(pastString(block) + 1) + 2; // names, transition, count
    return frame + 2 + 8 * qsizetype(get(f, frame, 2));
}

enum class Part { Sound, FrameSound, Image };
constexpr int All = -1;

struct Damage {
    const char* name;
    const char* file;
    Part part;
    int index; // of the sound, animation or image
    std::function<void(QByteArray&)> write;
    const char* warning; // the repair, after the part's name
    int frames;          // what a damaged sound still decodes to; All: every frame
};

// alice 0: ADPCM mono, 256-byte blocks of 500 samples; HANZ 1: 8-bit mono;
// orin 0: 8-bit stereo; banjo 0: 16-bit mono. One case a repair.
const Damage damages[] = {
    {"ADPCM 'fmt ' size two short", "alice.acs", Part::Sound, 0,
     [](QByteArray& f) { put(f, chunk(f, 0, "fmt ") + 4, 48); },
     "no 'data' chunk where the chunk sizes lead", All},
    {"ADPCM 'fmt ' without its coefficients", "alice.acs", Part::Sound, 0,
     [](QByteArray& f) { put(f, chunk(f, 0, "fmt ") + 4, 20); },
     "'fmt ' chunk of 20 bytes has no complete ADPCM coefficient table", All},
    {"ADPCM block align 0", "alice.acs", Part::Sound, 0,
     [](QByteArray& f) { put(f, chunk(f, 0, "fmt ") + 20, 0, 2); },
     "block align 0 cannot hold a block header; used 256", All},
    {"ADPCM samples per block wrong", "alice.acs", Part::Sound, 0,
     [](QByteArray& f) { put(f, chunk(f, 0, "fmt ") + 26, 1, 2); },
     "1 samples per block does not match block align 256; used 500", All},
    {"ADPCM block cut 100 bytes short", "alice.acs", Part::Sound, 0,
     [](QByteArray& f) { put(f, entry(f, 28, 0) + 4, get(f, entry(f, 28, 0) + 4) - 100); },
     "'data' chunk says 1792 bytes, only 1692 are there", 6 * 500 + 2 + 2 * (156 - 7)},
    {"8-bit 'fmt ' size 14", "HANZ.ACS", Part::Sound, 1,
     [](QByteArray& f) { put(f, chunk(f, 1, "fmt ") + 4, 14); }, "'fmt ' chunk says 14 bytes", All},
    {"8-bit stereo with 0 bits", "orin.acs", Part::Sound, 0,
     [](QByteArray& f) { put(f, chunk(f, 0, "fmt ") + 22, 0, 2); },
     "'fmt ' says 0 bits per sample; used 8", All},
    {"8-bit stereo cut mid-frame", "orin.acs", Part::Sound, 0,
     [](QByteArray& f) { put(f, entry(f, 28, 0) + 4, get(f, entry(f, 28, 0) + 4) - 1001); },
     "'data' chunk says 2540 bytes, only 1539 are there", 769},
    {"RIFF size lies", "banjo.acs", Part::Sound, 0,
     [](QByteArray& f) { put(f, chunk(f, 0, "RIFF") + 4, 0); },
     "RIFF size says 8 bytes, the block holds 37328; ignored", All},
    {"nothing decodable", "orin.acs", Part::Sound, 0,
     [](QByteArray& f) { f.replace(chunk(f, 0, "WAVE"), 4, "JUNK"); },
     "nothing decodable (not a RIFF WAVE block", 0},
    {"frame sound index 65534", "orin.acs", Part::FrameSound, 0,
     [](QByteArray& f) { put(f, firstFrameSound(f), 65534, 2); },
     "sound index 65534 is past the sound list (1 sounds); no sound", 0},
    {"image stream 120 bytes long", "orin.acs", Part::Image, 0,
     [](QByteArray& f) { put(f, image(f, 0) + 3, 118, 2); },
     "compressed stream decodes 120 bytes past the image; dropped", 0},
};

// A line naming the part (file name included) and saying what was repaired.
bool warned(const QStringList& lines, const QString& part, const char* repair) {
    return std::any_of(lines.begin(), lines.end(), [&](const QString& line) {
        return line.contains(part) && line.contains(QLatin1String(repair));
    });
}

} // namespace

TEST(Damage, DamagedPartsLoadWarnAndPlayWhatDecodes) {
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        SKIP_WITHOUT_SHARED(d.file);
        const QByteArray original = testdata::readFile(testdata::shared(d.file));
        QByteArray bytes = original;
        d.write(bytes);
        ASSERT_NE(bytes, original);
        const QString file = QString::fromLatin1(d.file);
        const Character good = Character::fromBytes(original, file);
        const Character bad = Character::fromBytes(bytes, file);
        testdata::decodeEverything(bad);

        QString part;
        if (d.part == Part::Sound) {
            part = QStringLiteral("sound %1: ").arg(d.index);
            // libsndfile on the undamaged block is the reference.
            const Pcm want = decodeSound(good.sound(std::size_t(d.index)).data);
            const Pcm got = bad.soundPcm(std::size_t(d.index));
            const std::size_t frames = d.frames == All ? want.frameCount() : std::size_t(d.frames);
            ASSERT_EQ(got.frameCount(), frames);
            if (frames) {
                EXPECT_EQ(got.sampleRate, want.sampleRate);
                EXPECT_EQ(got.channels, want.channels);
            }
            EXPECT_TRUE(std::equal(got.samples.begin(), got.samples.end(), want.samples.begin()));
        } else if (d.part == Part::FrameSound) {
            part = QStringLiteral("animation '%1' frame 0: ")
                       .arg(good.animations[std::size_t(d.index)].name);
            Animation want = good.animations[std::size_t(d.index)];
            want.frames[0].sound = NoSound;
            EXPECT_EQ(bad.animations[std::size_t(d.index)], want);
        } else {
            part = QStringLiteral("image %1 at offset ").arg(d.index);
            const Bitmap &want = good.bitmap(std::size_t(d.index)),
                         &got = bad.bitmap(std::size_t(d.index));
            ASSERT_EQ(got.height, want.height - 1);
            EXPECT_TRUE(std::equal(got.pixels.begin(), got.pixels.end(), want.pixels.begin()));
        }
        part.prepend(file + QStringLiteral(": "));
        EXPECT_TRUE(warned(bad.warnings(), part, d.warning))
            << qPrintable(bad.warnings().join('\n'));
    }
}
