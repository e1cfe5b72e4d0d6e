#pragma once
// Plays 16-bit PCM through Qt Multimedia (PulseAudio): speech and the character's
// sounds. With no audio device play() returns false and the caller paces by its
// own clock; that is a normal situation, logged once.

#include "agent/engine/SpeechAudio.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

class QAudioSink;

namespace agent::speech {

class AudioOutput : public QObject {
    Q_OBJECT
  public:
    explicit AudioOutput(QObject* parent = nullptr);
    ~AudioOutput() override;

    // Stops what plays and starts `pcm` (interleaved when stereo). False when nothing
    // can be heard: no device, the device refused, or empty audio.
    bool play(const std::vector<std::int16_t>& pcm, int sampleRate, int channels = 1);
    // Speech: its silences are written as zeros as playback reaches them.
    bool play(engine::SpeechAudio pcm, int sampleRate, int channels = 1);
    // Silences at once and drops what was not played yet. finished() is not emitted.
    void stop();

    bool isPlaying() const;
    // How much of the current sound has been played, in ms (what the listener has
    // heard, device latency included); 0 before play().
    std::int64_t elapsedMs() const;
    // Whether a default output device exists now.
    static bool hasDevice();

  signals:
    // The sound played to its end (or the device failed while playing).
    void finished();

  private:
    void feed();

    std::unique_ptr<QAudioSink> sink_;
    QIODevice* device_ = nullptr; // the sink's, valid while it plays
    engine::SpeechAudio audio_;
    qsizetype bytes_ = 0;   // the whole sound's
    qsizetype written_ = 0; // bytes handed to the sink so far
    std::vector<std::int16_t> chunk_;
    std::int64_t durationMs_ = 0;
    QTimer feeder_;
    bool playing_ = false;
};

} // namespace agent::speech
