#include "SoundPlayer.h"

#include "agent/engine/CharacterAgent.h"
#include "agent/format/Sound.h"
#include "agent/speech/AudioOutput.h"

#include <cmath>
#include <numbers>

namespace agent::view {

SoundPlayer::SoundPlayer()
    : effects_(std::make_unique<speech::AudioOutput>()),
      speech_(std::make_unique<speech::AudioOutput>()) {}

SoundPlayer::~SoundPlayer() = default;

void SoundPlayer::playWav(const QByteArray& riffWav) {
    // A damaged block plays what decodes; nothing here may throw into the event loop.
    const format::DecodedSound sound = format::decodeSoundTolerant(riffWav);
    for (const QString& repair : sound.repairs)
        qCInfo(engine::lcAnim).noquote() << "sound repaired:" << repair;
    if (!sound.pcm.samples.empty())
        effects_->play(sound.pcm.samples, sound.pcm.sampleRate, sound.pcm.channels);
}

void SoundPlayer::playSpeech(const engine::SpeechAudio& samples, int sampleRate) {
    speech_->play(samples, sampleRate, 1);
}

void SoundPlayer::playListeningTone() {
    // Two short notes, a fifth apart, soft and faded in and out so they do not
    // click; short, because the microphone is already open.
    constexpr int kRate = 16000;
    constexpr int kNoteMs = 60;
    constexpr int kFadeMs = 8;
    constexpr double kAmplitude = 0.25 * 32767;
    std::vector<std::int16_t> pcm;
    for (double hz : {880.0, 1320.0}) {
        const int n = kRate * kNoteMs / 1000;
        const int fade = kRate * kFadeMs / 1000;
        for (int i = 0; i < n; ++i) {
            const double envelope = std::min({1.0, double(i) / fade, double(n - 1 - i) / fade});
            pcm.push_back(static_cast<std::int16_t>(
                kAmplitude * envelope * std::sin(2 * std::numbers::pi * hz * i / kRate)));
        }
    }
    effects_->play(pcm, kRate, 1);
}

void SoundPlayer::stopSpeech() {
    speech_->stop();
}

} // namespace agent::view
