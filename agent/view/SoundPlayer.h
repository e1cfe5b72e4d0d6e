#pragma once
// Plays the character's frame sounds and its speech on two outputs, so a
// sound effect does not cut the voice. With no audio device the character
// carries on silently (the output logs that once).

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <vector>

namespace agent::engine {
class SpeechAudio;
} // namespace agent::engine

namespace agent::speech {
class AudioOutput;
} // namespace agent::speech

namespace agent::view {

class SoundPlayer {
  public:
    SoundPlayer();
    ~SoundPlayer();
    // A frame sound: a RIFF WAV block from the character file. A block that
    // does not decode is skipped: a broken sound must not stop the character.
    void playWav(const QByteArray& riffWav);
    // Speech: mono 16-bit samples.
    void playSpeech(const engine::SpeechAudio& samples, int sampleRate);
    void stopSpeech();
    // The short rising tone that says listening has begun.
    void playListeningTone();

  private:
    std::unique_ptr<speech::AudioOutput> effects_;
    std::unique_ptr<speech::AudioOutput> speech_;
};

} // namespace agent::view
