// Files made to hurt, written here byte by byte: sounds in codecs a character
// never uses must be refused, the ones it does use decoded.

#include "TestData.h"

#include "agent/format/Sound.h"

#include <QTemporaryDir>

#include <sndfile.h>

#include <cmath>

using namespace agent::format;

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
        {"PCM 16", SF_FORMAT_WAV | SF_FORMAT_PCM_16, true},
        {"PCM 8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, true},
        {"ADPCM", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, true},
        {"A-law", SF_FORMAT_WAV | SF_FORMAT_ALAW, true},
        {"mu-law", SF_FORMAT_WAV | SF_FORMAT_ULAW, true},
        {"IMA ADPCM", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, true},
        {"GSM 6.10", SF_FORMAT_WAV | SF_FORMAT_GSM610, true},
        {"float WAVE", SF_FORMAT_WAV | SF_FORMAT_FLOAT, false},
        {"extensible WAVE", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, false},
        {"FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, false},
        {"Ogg Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, false},
        {"MP3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, false},
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
