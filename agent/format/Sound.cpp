// Frame sounds, read top to bottom: libsndfile's memory reader; the RIFF
// layout, found without trusting its sizes; our own PCM and ADPCM decoders; a
// clean header, the only one libsndfile is given; then the entry points.

#include "Sound.h"

#include "FormatError.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <span>

namespace agent::format {

namespace {

// --- libsndfile, reading from memory ----------------------------------------

struct MemoryFile {
    const char* data;
    sf_count_t size;
    sf_count_t pos = 0;
};

sf_count_t vioLength(void* user) {
    return static_cast<MemoryFile*>(user)->size;
}

sf_count_t vioSeek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    sf_count_t to = offset;
    if (whence == SEEK_CUR)
        to = f->pos + offset;
    else if (whence == SEEK_END)
        to = f->size + offset;
    if (to < 0 || to > f->size)
        return -1;
    f->pos = to;
    return to;
}

sf_count_t vioRead(void* ptr, sf_count_t count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    const sf_count_t n = std::max<sf_count_t>(0, std::min(count, f->size - f->pos));
    std::memcpy(ptr, f->data + f->pos, std::size_t(n));
    f->pos += n;
    return n;
}

sf_count_t vioWrite(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t vioTell(void* user) {
    return static_cast<MemoryFile*>(user)->pos;
}

struct SndfileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

// The codecs a character's sounds may use, by WAVE format tag: PCM, ADPCM,
// A-law, mu-law, IMA ADPCM and GSM 6.10. libsndfile knows many more (FLAC,
// Ogg, MP3, float WAV...), none of which belong in a character file.
constexpr std::uint16_t AllowedTags[] = {0x0001, 0x0002, 0x0006, 0x0007, 0x0011, 0x0031};
constexpr int CharacterSubtypes[] = {SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16,    SF_FORMAT_PCM_24,
                                     SF_FORMAT_PCM_32, SF_FORMAT_MS_ADPCM,  SF_FORMAT_ALAW,
                                     SF_FORMAT_ULAW,   SF_FORMAT_IMA_ADPCM, SF_FORMAT_GSM610};
// Recordings given to the listener: what sound editors and microphones write.
constexpr int RecordingSubtypes[] = {SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24,
                                     SF_FORMAT_PCM_32, SF_FORMAT_FLOAT,  SF_FORMAT_DOUBLE};

// Which WAVE codecs a caller takes, and how to say so when refusing one.
struct Codecs {
    std::span<const int> subtypes;
    const char* refusal;
};
constexpr Codecs CharacterCodecs{CharacterSubtypes,
                                 "a WAVE codec character sounds do not use; they use PCM, "
                                 "ADPCM, A-law, mu-law, IMA ADPCM or GSM 6.10"};
constexpr Codecs RecordingCodecs{RecordingSubtypes,
                                 "a WAVE codec recordings are not read in; they are integer "
                                 "PCM or float"};

bool allowedTag(std::uint16_t tag) {
    return std::find(std::begin(AllowedTags), std::end(AllowedTags), tag) != std::end(AllowedTags);
}

// GSM 6.10 packs the most: 320 samples in 65 bytes. A decoder giving more per
// byte than that is following a header's claim, not the data.
constexpr std::size_t MaxSamplesPerByte = 5;

// --- the RIFF layout, found without trusting its sizes ----------------------

std::uint16_t le16(QByteArrayView b, qsizetype at) {
    return std::uint16_t(std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8);
}
std::uint32_t le32(QByteArrayView b, qsizetype at) {
    return std::uint32_t(le16(b, at)) | std::uint32_t(le16(b, at + 2)) << 16;
}

void putLe(QByteArray& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(char(v >> (8 * i)));
}

// Beyond any real recording; a rate past it is damage nothing can play.
constexpr std::uint32_t MaxRate = 1'000'000;

struct Chunk {
    qsizetype body = 0;     // where the chunk's bytes start
    std::uint32_t size = 0; // as declared
};

// Follows the chunk sizes from the first chunk to `id`.
std::optional<Chunk> walkTo(QByteArrayView wav, const char* id) {
    qsizetype pos = 12;
    while (pos + 8 <= wav.size()) {
        const std::uint32_t size = le32(wav, pos + 4);
        if (std::memcmp(wav.data() + pos, id, 4) == 0)
            return Chunk{pos + 8, size};
        const qint64 next = qint64(pos) + 8 + size + (size & 1);
        if (next > wav.size())
            break;
        pos = qsizetype(next);
    }
    return std::nullopt;
}

// What the decoders need; the views point into the block.
struct Layout {
    std::uint16_t tag = 0;
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bits = 0;
    QByteArrayView fmt;  // the 'fmt ' chunk as declared (at least its 16 bytes)
    QByteArrayView data; // the sample bytes actually present
};

std::optional<Layout> readLayout(QByteArrayView wav, QStringList& repairs, QString& why) {
    if (wav.size() < 12 || !wav.startsWith("RIFF") || wav.sliced(8, 4) != "WAVE") {
        why = QStringLiteral("not a RIFF WAVE block");
        return std::nullopt;
    }
    const qint64 riff = qint64(le32(wav, 4)) + 8;
    if (riff != wav.size())
        repairs << QStringLiteral("RIFF size says %1 bytes, the block holds %2; ignored")
                       .arg(riff)
                       .arg(wav.size());
    // A wrong chunk size sends the walk astray; the marker itself is then the guide.
    auto find = [&](const char* id) -> std::optional<Chunk> {
        if (std::optional<Chunk> c = walkTo(wav, id))
            return c;
        const qsizetype at = wav.indexOf(QByteArrayView(id, 4), 12);
        if (at < 0 || at + 8 > wav.size())
            return std::nullopt;
        repairs << QStringLiteral(
                       "no '%1' chunk where the chunk sizes lead; used the one at byte %2")
                       .arg(QLatin1String(id, 4))
                       .arg(at);
        return Chunk{at + 8, le32(wav, at + 4)};
    };

    const std::optional<Chunk> fmt = find("fmt ");
    if (!fmt || fmt->body + 16 > wav.size()) {
        why = QStringLiteral("no complete 'fmt ' chunk");
        return std::nullopt;
    }
    if (fmt->size < 16)
        repairs << QStringLiteral("'fmt ' chunk says %1 bytes, short of the 16 every format has; "
                                  "read 16")
                       .arg(fmt->size);
    Layout l;
    l.tag = le16(wav, fmt->body);
    l.channels = le16(wav, fmt->body + 2);
    l.rate = le32(wav, fmt->body + 4);
    l.blockAlign = le16(wav, fmt->body + 12);
    l.bits = le16(wav, fmt->body + 14);
    const std::optional<Chunk> data = find("data");
    if (!data) {
        why = QStringLiteral("no 'data' chunk");
        return std::nullopt;
    }
    // The 'fmt ' bytes as declared, but never into the data chunk behind them.
    qint64 fmtEnd = std::min<qint64>(qint64(fmt->body) + fmt->size, wav.size());
    if (data->body > fmt->body)
        fmtEnd = std::min<qint64>(fmtEnd, data->body - 8);
    l.fmt = wav.sliced(fmt->body, qsizetype(std::max<qint64>(fmtEnd - fmt->body, 16)));
    const qint64 present = std::min<qint64>(data->size, wav.size() - data->body);
    if (present < data->size)
        repairs << QStringLiteral("'data' chunk says %1 bytes, only %2 are there; cut to those")
                       .arg(data->size)
                       .arg(present);
    l.data = wav.sliced(data->body, qsizetype(present));
    return l;
}

// --- PCM (format tag 1), 8 or 16 bits ----------------------------------------

std::optional<Pcm> decodePcm(const Layout& l, QStringList& repairs) {
    if (l.channels < 1 || l.channels > 8 || l.rate == 0 || l.rate > MaxRate)
        return std::nullopt;
    int bytes = l.bits >= 1 && l.bits <= 8 ? 1 : l.bits >= 9 && l.bits <= 16 ? 2 : 0;
    if (l.bits == 0) {
        // A bit depth of 0 is damage; the block align still says how wide a sample is.
        const int width = l.blockAlign / l.channels;
        if (l.blockAlign % l.channels || (width != 1 && width != 2))
            return std::nullopt;
        bytes = width;
        repairs << QStringLiteral("'fmt ' says 0 bits per sample; used %1 from block align %2")
                       .arg(bytes * 8)
                       .arg(l.blockAlign);
    }
    if (!bytes)
        return std::nullopt; // 24 and 32 bits: libsndfile's
    Pcm pcm;
    pcm.sampleRate = int(l.rate);
    pcm.channels = l.channels;
    const auto frames = std::size_t(l.data.size()) / std::size_t(bytes * l.channels);
    pcm.samples.resize(frames * l.channels);
    const auto* p = reinterpret_cast<const std::uint8_t*>(l.data.data());
    for (std::size_t i = 0; i < pcm.samples.size(); ++i)
        pcm.samples[i] = bytes == 1 ? std::int16_t((p[i] - 128) * 256)
                                    : std::int16_t(p[2 * i] | p[2 * i + 1] << 8);
    return pcm;
}

// --- ADPCM (format tag 2) ----------------------------------------------------
// 4-bit adaptive delta coding with seven fixed predictors. A block starts with,
// per channel, a predictor index (byte), the step (s16) and the two newest
// samples (s16 each, newest first); then one nibble per sample, high nibble
// first, channels interleaved. Each nibble scales the step by the adaptation
// table, which never lets it fall below 16.

constexpr std::array<int, 7> Coefficient1 = {256, 512, 0, 192, 240, 460, 392};
constexpr std::array<int, 7> Coefficient2 = {0, -256, 0, 64, 0, -208, -232};
constexpr std::array<int, 16> Adaptation = {230, 230, 230, 230, 307, 409, 512, 614,
                                            768, 614, 512, 409, 307, 230, 230, 230};
// Far beyond any step a real stream reaches; keeps a damaged one's arithmetic in range.
constexpr int MaxStep = 1 << 20;

struct AdpcmChannel {
    int predictor = 0;
    int step = 0;
    int newest = 0;
    int older = 0;

    std::int16_t decode(int nibble) {
        const int delta = nibble >= 8 ? nibble - 16 : nibble;
        const int predicted = (newest * Coefficient1[std::size_t(predictor)] +
                               older * Coefficient2[std::size_t(predictor)]) >>
                              8;
        const int sample = std::clamp(predicted + delta * step, -32768, 32767);
        older = newest;
        newest = sample;
        step = std::clamp((Adaptation[std::size_t(nibble)] * step) >> 8, 16, MaxStep);
        return std::int16_t(sample);
    }
};

std::optional<Pcm> decodeAdpcm(const Layout& l, QStringList& repairs) {
    const int ch = l.channels;
    if (ch < 1 || ch > 2 || l.rate == 0 || l.rate > MaxRate)
        return std::nullopt;
    const int header = 7 * ch;
    auto samplesPerBlock = [&](int align) { return 2 + (align - header) * 2 / ch; };
    if (l.bits != 4)
        repairs << QStringLiteral("'fmt ' says %1 bits per sample; ADPCM has 4").arg(l.bits);
    // Decoding needs nothing past the 16 common bytes (the seven predictors are
    // fixed), but a chunk too short for its extension is what other decoders refuse.
    const int coefficients = l.fmt.size() >= 22 ? le16(l.fmt, 20) : 0;
    if (coefficients < 7 || l.fmt.size() < 22 + 4 * coefficients)
        repairs << QStringLiteral("'fmt ' chunk of %1 bytes has no complete ADPCM coefficient "
                                  "table; used the standard one")
                       .arg(l.fmt.size());
    const int declared = l.fmt.size() >= 20 ? le16(l.fmt, 18) : 0;
    int align = l.blockAlign;
    if (align < header) {
        const bool fromDeclared = declared >= 2;
        align = fromDeclared ? header + (declared - 2) * ch / 2 : 256 * ch;
        repairs << QStringLiteral("block align %1 cannot hold a block header; used %2 (%3)")
                       .arg(l.blockAlign)
                       .arg(align)
                       .arg(fromDeclared ? QStringLiteral("from the samples per block")
                                         : QStringLiteral("the usual size"));
    } else if (declared && declared != samplesPerBlock(align)) {
        repairs << QStringLiteral("%1 samples per block does not match block align %2; used %3")
                       .arg(declared)
                       .arg(align)
                       .arg(samplesPerBlock(align));
    }

    Pcm pcm;
    pcm.sampleRate = int(l.rate);
    pcm.channels = ch;
    const auto* data = reinterpret_cast<const std::uint8_t*>(l.data.data());
    const qsizetype size = l.data.size();
    pcm.samples.reserve(std::size_t(size / align + 1) * std::size_t(samplesPerBlock(align) * ch));
    // The last block may be cut short: its samples up to the cut still count.
    for (qsizetype at = 0; at + header <= size; at += align) {
        const std::uint8_t* b = data + at;
        std::array<AdpcmChannel, 2> s;
        for (int c = 0; c < ch; ++c) {
            s[c].predictor = b[c];
            if (s[c].predictor >= int(Coefficient1.size())) {
                repairs << QStringLiteral("ADPCM block %1 names predictor %2 (there are 7); "
                                          "stopped there")
                               .arg(at / align)
                               .arg(s[c].predictor);
                return pcm;
            }
            s[c].step = std::int16_t(le16(l.data, at + ch + 2 * c));
            s[c].newest = std::int16_t(le16(l.data, at + 3 * ch + 2 * c));
            s[c].older = std::int16_t(le16(l.data, at + 5 * ch + 2 * c));
        }
        for (int c = 0; c < ch; ++c)
            pcm.samples.push_back(std::int16_t(s[c].older));
        for (int c = 0; c < ch; ++c)
            pcm.samples.push_back(std::int16_t(s[c].newest));
        const qsizetype end = std::min<qsizetype>(at + align, size);
        int c = 0;
        for (qsizetype i = at + header; i < end; ++i) {
            for (int nibble : {data[i] >> 4, data[i] & 0x0F}) {
                pcm.samples.push_back(s[c].decode(nibble));
                c = (c + 1) % ch;
            }
        }
    }
    return pcm;
}

std::optional<Pcm> decodeOwn(const Layout& l, QStringList& repairs) {
    switch (l.tag) {
    case 1:
        return decodePcm(l, repairs);
    case 2:
        return decodeAdpcm(l, repairs);
    default:
        return std::nullopt;
    }
}

// --- other codecs: a clean header around what was found -----------------------

QByteArray rebuiltWav(const Layout& l) {
    auto pad = [](qsizetype n) { return n & 1; };
    QByteArray out;
    out.append("RIFF");
    putLe(out,
          std::uint32_t(4 + 8 + l.fmt.size() + pad(l.fmt.size()) + 8 + l.data.size() +
                        pad(l.data.size())),
          4);
    out.append("WAVEfmt ");
    putLe(out, std::uint32_t(l.fmt.size()), 4);
    out.append(l.fmt);
    if (pad(l.fmt.size()))
        out.append('\0');
    out.append("data");
    putLe(out, std::uint32_t(l.data.size()), 4);
    out.append(l.data);
    if (pad(l.data.size()))
        out.append('\0');
    return out;
}

// --- libsndfile, for the codecs we do not decode ourselves -------------------

// The samples libsndfile decodes, or nothing with the reason in `error`.
std::optional<Pcm> readWithSndfile(const QByteArray& riffWav, const Codecs& codecs,
                                   std::string& error) {
    // libsndfile follows every chunk's size and loops forever on some damaged
    // ones (a LIST chunk whose size lies), so it only ever sees the 'fmt ' and
    // 'data' chunks, found by our own walk, under a clean header.
    QStringList repairs;
    QString why;
    const std::optional<Layout> layout = readLayout(riffWav, repairs, why);
    if (!layout) {
        error = why.toStdString();
        return std::nullopt;
    }
    const QByteArray clean = rebuiltWav(*layout);
    MemoryFile mem{clean.constData(), sf_count_t(clean.size())};
    SF_VIRTUAL_IO io{vioLength, vioSeek, vioRead, vioWrite, vioTell};
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_virtual(&io, SFM_READ, &info, &mem));
    if (!file) {
        error = std::string("not a decodable WAV: ") + sf_strerror(nullptr);
        return std::nullopt;
    }
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    if ((info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAV ||
        std::find(codecs.subtypes.begin(), codecs.subtypes.end(), subtype) ==
            codecs.subtypes.end()) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "libsndfile format 0x%08X: ", unsigned(info.format));
        error = buf + std::string(codecs.refusal);
        return std::nullopt;
    }
    if (info.channels <= 0 || info.channels > 8 || info.samplerate <= 0) {
        error = "WAV with " + std::to_string(info.channels) + " channels at " +
                std::to_string(info.samplerate) + " Hz";
        return std::nullopt;
    }
    Pcm pcm;
    pcm.sampleRate = info.samplerate;
    pcm.channels = info.channels;
    // The frame count in the header is a claim; read in chunks and stop at the
    // most the data could hold.
    const std::size_t limit = std::size_t(clean.size()) * MaxSamplesPerByte + 4096;
    // libsndfile hands float samples to a short reader unscaled; full scale is 1.0,
    // and what lies past it (or is not a number) is clipped here.
    const bool isFloat = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    std::vector<short> chunk(std::size_t(4096) * std::size_t(info.channels));
    std::vector<float> floats(isFloat ? chunk.size() : 0);
    for (;;) {
        const sf_count_t got = isFloat ? sf_readf_float(file.get(), floats.data(), 4096)
                                       : sf_readf_short(file.get(), chunk.data(), 4096);
        if (got <= 0)
            break;
        const auto n = std::size_t(got * info.channels);
        for (std::size_t i = 0; isFloat && i < n; ++i) {
            const float v = floats[i] == floats[i] ? std::clamp(floats[i], -1.0f, 1.0f) : 0.0f;
            chunk[i] = short(std::lround(v * 32767.0f));
        }
        pcm.samples.insert(pcm.samples.end(), chunk.begin(), chunk.begin() + std::ptrdiff_t(n));
        if (pcm.samples.size() > limit) {
            error = "WAV decodes to more samples than its data can hold";
            return std::nullopt;
        }
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
        error = std::string("WAV decoding failed: ") + sf_strerror(file.get());
        return std::nullopt;
    }
    return pcm;
}

} // namespace

Pcm decodeSound(const QByteArray& riffWav) {
    std::string error;
    std::optional<Pcm> pcm = readWithSndfile(riffWav, CharacterCodecs, error);
    if (!pcm)
        throw FormatError(error);
    return std::move(*pcm);
}

Pcm decodeRecording(const QByteArray& riffWav) {
    std::string error;
    std::optional<Pcm> pcm = readWithSndfile(riffWav, RecordingCodecs, error);
    if (!pcm)
        throw FormatError(error);
    return std::move(*pcm);
}

DecodedSound decodeSoundTolerant(const QByteArray& riffWav) {
    DecodedSound out;
    QString why;
    const std::optional<Layout> layout = readLayout(riffWav, out.repairs, why);
    if (layout && !allowedTag(layout->tag))
        why = QStringLiteral("WAVE format tag 0x%1 is not a codec character sounds use")
                  .arg(layout->tag, 4, 16, QLatin1Char('0'));
    if (!why.isEmpty()) {
        out.repairs << QStringLiteral("nothing decodable (%1); silent").arg(why);
        return out;
    }
    if (std::optional<Pcm> pcm = decodeOwn(*layout, out.repairs)) {
        out.pcm = std::move(*pcm);
        return out;
    }
    std::string error;
    if (std::optional<Pcm> pcm = readWithSndfile(riffWav, CharacterCodecs, error)) {
        out.pcm = std::move(*pcm);
        return out;
    }
    out.repairs
        << QStringLiteral("nothing decodable (%1); silent").arg(QString::fromStdString(error));
    return out;
}

QByteArray encodeWav(const Pcm& pcm) {
    QByteArray out;
    const auto dataBytes = std::uint32_t(pcm.samples.size() * 2);
    out.append("RIFF");
    putLe(out, 36 + dataBytes, 4);
    out.append("WAVEfmt ");
    putLe(out, 16, 4);
    putLe(out, 1, 2); // PCM
    putLe(out, std::uint32_t(pcm.channels), 2);
    putLe(out, std::uint32_t(pcm.sampleRate), 4);
    putLe(out, std::uint32_t(pcm.sampleRate * pcm.channels * 2), 4);
    putLe(out, std::uint32_t(pcm.channels * 2), 2);
    putLe(out, 16, 2);
    out.append("data");
    putLe(out, dataBytes, 4);
    for (std::int16_t s : pcm.samples)
        putLe(out, std::uint16_t(s), 2);
    return out;
}

} // namespace agent::format
