#include "agent/listen/Wav.h"

#include "agent/listen/ListenError.h"
#include "agent/listen/Recognizer.h"

#include "agent/format/FormatError.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace agent::listen {

namespace {

std::int16_t clamp16(double v) {
    return static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

} // namespace

PcmAudio readWav(const std::filesystem::path& path) {
    QFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::ReadOnly))
        throw ListenError(path.string() + ": cannot open: " + file.errorString().toStdString());
    // Far beyond any spoken command; a bigger file is not a recording of one.
    constexpr qint64 kMaxBytes = 256 << 20;
    if (file.size() > kMaxBytes)
        throw ListenError(path.string() + ": " + std::to_string(file.size()) +
                          " bytes, more than a spoken command's recording");
    try {
        return format::decodeRecording(file.readAll());
    } catch (const format::FormatError& e) {
        throw ListenError(path.string() + ": " + e.what());
    }
}

void writeWav(const std::filesystem::path& path, const PcmAudio& audio) {
    QFile file(QString::fromStdString(path.string()));
    const QByteArray bytes = format::encodeWav(audio);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        throw ListenError(path.string() + ": cannot write: " + file.errorString().toStdString());
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
