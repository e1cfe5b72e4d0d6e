#include "agent/listen/Wav.h"

#include "agent/listen/ListenError.h"
#include "agent/listen/Recognizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>

namespace agent::listen {

namespace {

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::uint16_t le16(const unsigned char* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}

void put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>((v >> (8 * i)) & 0xff);
}
void put16(std::string& s, std::uint16_t v) {
    s += static_cast<char>(v & 0xff);
    s += static_cast<char>(v >> 8);
}

std::int16_t clamp16(double v) {
    return static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

} // namespace

PcmAudio readWav(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ListenError(path.string() + ": cannot open");
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    auto fail = [&path](const std::string& why) { return ListenError(path.string() + ": " + why); };
    if (data.size() < 12 || std::memcmp(data.data(), "RIFF", 4) != 0 ||
        std::memcmp(data.data() + 8, "WAVE", 4) != 0)
        throw fail("not a RIFF/WAVE file");
    int format = 0, bits = 0;
    PcmAudio out;
    const unsigned char* pcm = nullptr;
    std::size_t pcmBytes = 0;
    std::size_t pos = 12;
    while (pos + 8 <= data.size()) {
        const unsigned char* chunk = data.data() + pos;
        std::size_t size = le32(chunk + 4);
        std::size_t avail = data.size() - pos - 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || size > avail)
                throw fail("truncated fmt chunk");
            format = le16(chunk + 8);
            out.channels = le16(chunk + 10);
            out.sampleRate = static_cast<int>(le32(chunk + 12));
            bits = le16(chunk + 22);
            if (format == 0xFFFE && size >= 26)
                format = le16(chunk + 32); // WAVE_FORMAT_EXTENSIBLE: the sub-format
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            pcm = chunk + 8;
            pcmBytes = std::min(size, avail); // streamed files leave the size unset
        }
        pos += 8 + size + (size & 1);
    }
    if (!format)
        throw fail("no fmt chunk");
    if (!pcm)
        throw fail("no data chunk");
    if (out.channels < 1 || out.sampleRate < 1000)
        throw fail("bad channel count or sample rate");
    const bool isFloat = format == 3 && bits == 32;
    if (!(format == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32)) && !isFloat)
        throw fail("unsupported sample format " + std::to_string(format) + "/" +
                   std::to_string(bits) + " bits");
    const std::size_t bytes = static_cast<std::size_t>(bits / 8);
    const std::size_t n = pcmBytes / bytes;
    out.samples.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char* p = pcm + i * bytes;
        double v = 0;
        if (isFloat) {
            float f;
            std::uint32_t u = le32(p);
            std::memcpy(&f, &u, 4);
            v = f * 32767.0;
        } else if (bits == 8) {
            v = (p[0] - 128) * 256.0;
        } else if (bits == 16) {
            v = static_cast<std::int16_t>(le16(p));
        } else if (bits == 24) {
            std::int32_t s = std::int32_t(std::uint32_t(p[0]) << 8 | std::uint32_t(p[1]) << 16 |
                                          std::uint32_t(p[2]) << 24);
            v = s / 65536.0;
        } else {
            v = static_cast<std::int32_t>(le32(p)) / 65536.0;
        }
        out.samples[i] = clamp16(v);
    }
    return out;
}

void writeWav(const std::filesystem::path& path, const PcmAudio& audio) {
    std::string s = "RIFF";
    const auto dataBytes = static_cast<std::uint32_t>(audio.samples.size() * 2);
    put32(s, 36 + dataBytes);
    s += "WAVEfmt ";
    put32(s, 16);
    put16(s, 1);
    put16(s, static_cast<std::uint16_t>(audio.channels));
    put32(s, static_cast<std::uint32_t>(audio.sampleRate));
    put32(s, static_cast<std::uint32_t>(audio.sampleRate * audio.channels * 2));
    put16(s, static_cast<std::uint16_t>(audio.channels * 2));
    put16(s, 16);
    s += "data";
    put32(s, dataBytes);
    for (auto v : audio.samples)
        put16(s, static_cast<std::uint16_t>(v));
    std::ofstream out(path, std::ios::binary);
    out.write(s.data(), static_cast<std::streamsize>(s.size()));
    if (!out)
        throw ListenError(path.string() + ": cannot write");
}

std::vector<std::int16_t> toMono(const PcmAudio& audio) {
    if (audio.channels <= 1)
        return audio.samples;
    const auto ch = static_cast<std::size_t>(audio.channels);
    std::vector<std::int16_t> mono(audio.samples.size() / ch);
    for (std::size_t i = 0; i < mono.size(); ++i) {
        double sum = 0;
        for (std::size_t c = 0; c < ch; ++c)
            sum += audio.samples[i * ch + c];
        mono[i] = clamp16(sum / static_cast<double>(ch));
    }
    return mono;
}

std::vector<std::int16_t> resample(std::span<const std::int16_t> in, int fromRate, int toRate) {
    if (fromRate == toRate || in.empty())
        return {in.begin(), in.end()};
    constexpr int kHalfTaps = 16;
    const double step = static_cast<double>(fromRate) / toRate;
    // Cut off below the lower Nyquist frequency so downsampling does not alias.
    const double cutoff = std::min(1.0, static_cast<double>(toRate) / fromRate) * 0.95;
    const double reach = kHalfTaps / cutoff;
    const auto outLen = static_cast<std::size_t>(static_cast<double>(in.size()) / step);
    std::vector<std::int16_t> out(outLen);
    const auto last = static_cast<long>(in.size()) - 1;
    for (std::size_t n = 0; n < outLen; ++n) {
        const double t = static_cast<double>(n) * step;
        const long first = std::max(0L, static_cast<long>(std::ceil(t - reach)));
        const long end = std::min(last, static_cast<long>(std::floor(t + reach)));
        double acc = 0;
        for (long k = first; k <= end; ++k) {
            const double x = (t - static_cast<double>(k)) * cutoff;
            const double sinc =
                x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
            const double w = 0.5 + 0.5 * std::cos(std::numbers::pi * x / kHalfTaps); // Hann
            acc += in[static_cast<std::size_t>(k)] * cutoff * sinc * w;
        }
        out[n] = clamp16(acc);
    }
    return out;
}

std::vector<std::int16_t> toRecognizerInput(const PcmAudio& audio) {
    return resample(toMono(audio), audio.sampleRate, kSampleRate);
}

} // namespace agent::listen
