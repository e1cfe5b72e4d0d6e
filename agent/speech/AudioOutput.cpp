#include "agent/speech/AudioOutput.h"

#include "agent/speech/SpeechLog.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <mutex>

namespace agent::speech {

namespace {

// Qt 6.4's PulseAudio sink stops reporting free space after its first buffer for
// hundreds of ms (pull mode stalls outright), so the whole sound goes to the server
// at once, up to PulseAudio's largest buffer; stop() flushes it. The timer feeds any
// rest and notices the end.
constexpr int kFeedIntervalMs = 10;
constexpr qsizetype kLargestBuffer = 4 * 1024 * 1024;
// Samples are made (silences filled in) this many at a time on their way to the sink.
constexpr std::size_t kChunkSamples = 16 * 1024;

void sayOnce(const char* why) {
    static std::once_flag once;
    std::call_once(once, [why] {
        qCInfo(lcSpeech) << "no audio output (" << why
                         << "): speech is paced by the clock, silently";
    });
}

} // namespace

AudioOutput::AudioOutput(QObject* parent) : QObject(parent) {
    feeder_.setInterval(kFeedIntervalMs);
    feeder_.setTimerType(Qt::PreciseTimer);
    connect(&feeder_, &QTimer::timeout, this, &AudioOutput::feed);
}

AudioOutput::~AudioOutput() {
    stop();
}

bool AudioOutput::hasDevice() {
    return !QMediaDevices::defaultAudioOutput().isNull();
}

bool AudioOutput::play(const std::vector<std::int16_t>& pcm, int sampleRate, int channels) {
    return play(engine::SpeechAudio(pcm), sampleRate, channels);
}

bool AudioOutput::play(engine::SpeechAudio pcm, int sampleRate, int channels) {
    stop();
    if (pcm.empty() || sampleRate <= 0 || channels < 1 || channels > 2)
        return false;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        sayOnce("no device");
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);

    sink_ = std::make_unique<QAudioSink>(device, format);
    const auto bytes = static_cast<qsizetype>(pcm.size() * sizeof(std::int16_t));
    sink_->setBufferSize(std::min(bytes, kLargestBuffer));
    device_ = sink_->start();
    if (device_ == nullptr || sink_->error() != QAudio::NoError) {
        sayOnce("the device cannot be opened");
        stop();
        return false;
    }
    durationMs_ = static_cast<std::int64_t>(pcm.size() / channels) * 1000 / sampleRate;
    audio_ = std::move(pcm);
    bytes_ = bytes;
    written_ = 0;
    playing_ = true;
    feed();
    feeder_.start();
    return true;
}

void AudioOutput::feed() {
    if (!sink_ || !playing_)
        return;
    if (sink_->error() != QAudio::NoError && sink_->error() != QAudio::UnderrunError) {
        sayOnce("the device failed");
        playing_ = false;
        feeder_.stop();
        emit finished();
        return;
    }
    constexpr auto kSampleBytes = static_cast<qsizetype>(sizeof(std::int16_t));
    chunk_.resize(kChunkSamples);
    while (written_ < bytes_) {
        // The sink may take part of a sample: start from the one it stopped inside.
        const qsizetype skip = written_ % kSampleBytes;
        const qsizetype room =
            std::min({sink_->bytesFree(), bytes_ - written_,
                      static_cast<qsizetype>(kChunkSamples) * kSampleBytes - skip});
        if (room <= 0)
            break;
        const auto first = static_cast<std::size_t>(written_ / kSampleBytes);
        audio_.read(first, chunk_.data(),
                    static_cast<std::size_t>((skip + room + 1) / kSampleBytes));
        const qint64 n = device_->write(reinterpret_cast<const char*>(chunk_.data()) + skip, room);
        if (n <= 0)
            break;
        written_ += n;
    }
    if (written_ >= bytes_ && elapsedMs() >= durationMs_) {
        playing_ = false;
        feeder_.stop();
        emit finished();
    }
}

void AudioOutput::stop() {
    playing_ = false;
    feeder_.stop();
    if (sink_) {
        // reset() drops what the server still holds, so it falls silent now rather
        // than after its buffer drains.
        sink_->reset();
        sink_->stop();
        sink_.reset();
    }
    device_ = nullptr;
    audio_ = engine::SpeechAudio();
    bytes_ = 0;
    written_ = 0;
}

bool AudioOutput::isPlaying() const {
    return playing_;
}

std::int64_t AudioOutput::elapsedMs() const {
    return sink_ ? sink_->processedUSecs() / 1000 : 0;
}

} // namespace agent::speech
