#include "SoundPlayer.h"

#include "agent/engine/CharacterAgent.h"
#include "agent/format/Sound.h"
#include "agent/speech/AudioOutput.h"

namespace agent::view {

SoundPlayer::SoundPlayer()
    : effects_(std::make_unique<speech::AudioOutput>()),
      speech_(std::make_unique<speech::AudioOutput>()) {}

SoundPlayer::~SoundPlayer() = default;

void SoundPlayer::playWav(const QByteArray& riffWav) {
    try {
        const format::Pcm pcm = format::decodeSound(riffWav);
        effects_->play(pcm.samples, pcm.sampleRate, pcm.channels);
    } catch (const std::exception& e) {
        qCInfo(engine::lcAnim) << "sound skipped:" << e.what();
    }
}

void SoundPlayer::playSpeech(const std::vector<std::int16_t>& samples, int sampleRate) {
    speech_->play(samples, sampleRate, 1);
}

void SoundPlayer::stopSpeech() {
    speech_->stop();
}

} // namespace agent::view
