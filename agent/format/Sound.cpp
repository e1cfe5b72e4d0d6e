#include "Sound.h"

#include "FormatError.h"

#include <sndfile.h>

#include <cstring>
#include <memory>

namespace agent::format {

namespace {

// libsndfile reads from this through its virtual I/O callbacks.
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

} // namespace

Pcm decodeSound(const QByteArray& riffWav) {
    MemoryFile mem{riffWav.constData(), sf_count_t(riffWav.size())};
    SF_VIRTUAL_IO io{vioLength, vioSeek, vioRead, vioWrite, vioTell};
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_virtual(&io, SFM_READ, &info, &mem));
    if (!file)
        throw FormatError(std::string("not a decodable WAV: ") + sf_strerror(nullptr));
    if (info.channels <= 0 || info.channels > 8 || info.samplerate <= 0)
        throw FormatError("WAV with " + std::to_string(info.channels) + " channels at " +
                          std::to_string(info.samplerate) + " Hz");
    Pcm pcm;
    pcm.sampleRate = info.samplerate;
    pcm.channels = info.channels;
    // The frame count in the header is a claim; read in chunks and stop at the
    // most the data could hold (4-bit ADPCM: 2 samples per byte).
    const std::size_t limit = std::size_t(riffWav.size()) * 2 + 4096;
    std::vector<short> chunk(std::size_t(4096) * std::size_t(info.channels));
    for (;;) {
        const sf_count_t got = sf_readf_short(file.get(), chunk.data(), 4096);
        if (got <= 0)
            break;
        pcm.samples.insert(pcm.samples.end(), chunk.begin(),
                           chunk.begin() + std::ptrdiff_t(got * info.channels));
        if (pcm.samples.size() > limit)
            throw FormatError("WAV decodes to more samples than its data can hold");
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR)
        throw FormatError(std::string("WAV decoding failed: ") + sf_strerror(file.get()));
    return pcm;
}

QByteArray encodeWav(const Pcm& pcm) {
    QByteArray out;
    auto u32 = [&out](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.append(char(v >> (8 * i)));
    };
    auto u16 = [&out](std::uint16_t v) {
        out.append(char(v));
        out.append(char(v >> 8));
    };
    const auto dataBytes = std::uint32_t(pcm.samples.size() * 2);
    out.append("RIFF");
    u32(36 + dataBytes);
    out.append("WAVEfmt ");
    u32(16);
    u16(1); // PCM
    u16(std::uint16_t(pcm.channels));
    u32(std::uint32_t(pcm.sampleRate));
    u32(std::uint32_t(pcm.sampleRate * pcm.channels * 2));
    u16(std::uint16_t(pcm.channels * 2));
    u16(16);
    out.append("data");
    u32(dataBytes);
    for (std::int16_t s : pcm.samples)
        u16(std::uint16_t(s));
    return out;
}

} // namespace agent::format
