#include "SoundPlayer.h"

#include "agent/engine/CharacterAgent.h"
#include "agent/format/Sound.h"
#include "agent/listen/ListeningTone.h"
#include "agent/speech/AudioOutput.h"

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
    constexpr int kRate = 16000;
    effects_->play(listen::listeningTone(kRate), kRate, 1);
}

void SoundPlayer::stopSpeech() {
    speech_->stop();
}

} // namespace agent::view
