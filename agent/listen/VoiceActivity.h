#pragma once

#include <cstdint>
#include <deque>
#include <span>

namespace agent::listen {

struct VoiceActivityOptions {
    int sampleRate = 16000;
    int frameMs = 20;
    double aboveNoiseDb = 12.0;    // a frame is speech this far above the noise floor...
    double minSpeechDb = -50.0;    // ...and at least this loud (dB full scale)
    int startMs = 100;             // speech this long starts an utterance
    int hangoverMs = 700;          // silence this long ends it
    double initialFloorDb = -60.0; // a quiet room, until frames tell otherwise
    int floorWindowMs = 1500;      // the floor is the quietest frame this recent
};

// Energy detector with an adaptive noise floor (the quietest recent frame, so
// a steady noise is learnt within a moment even when it is loud, and speech
// at the very start is still heard): enough to open and close an
// utterance in hands-free mode and to notice the speaker has finished after
// the listening key is released.
class VoiceActivityDetector {
  public:
    enum class Event { None, SpeechStarted, SpeechEnded };

    explicit VoiceActivityDetector(VoiceActivityOptions options = {});

    // Returns the last transition the samples caused, if any.
    Event feed(std::span<const std::int16_t> samples);
    void reset();

    bool inSpeech() const { return inSpeech_; }
    // Silence since the last speech frame; 0 while speech goes on.
    int trailingSilenceMs() const { return silentFrames_ * options_.frameMs; }
    bool heardSpeech() const { return heardSpeech_; }
    // Where the last speech frame ended, from reset(); 0 before any. Unchanged
    // while silence goes on.
    int lastSpeechEndMs() const { return lastSpeechEnd_ * options_.frameMs; }
    double noiseFloorDb() const { return floorDb_; }

  private:
    Event frame(double levelDb);

    VoiceActivityOptions options_;
    int frameLen_;
    double energy_ = 0;
    int filled_ = 0;
    double floorDb_;
    std::deque<double> recent_; // frame levels within the floor window
    int speechFrames_ = 0;
    int silentFrames_ = 0;
    int frames_ = 0;
    int lastSpeechEnd_ = 0; // in frames
    bool inSpeech_ = false;
    bool heardSpeech_ = false;
};

// Decoding while the end of an utterance is awaited: due once speech has been
// followed by aheadMs of silence, and what it decoded stands for the whole
// utterance while no more speech comes. Asked after each piece of audio the
// detector takes.
class DecodeAhead {
  public:
    explicit DecodeAhead(int aheadMs) : aheadMs_(aheadMs) {}

    // Whether to decode now; true once for each stretch of silence.
    bool due(const VoiceActivityDetector& vad) {
        if (!vad.heardSpeech() || vad.trailingSilenceMs() < aheadMs_ ||
            vad.lastSpeechEndMs() == decodedAt_)
            return false;
        decodedAt_ = vad.lastSpeechEndMs();
        return true;
    }
    bool stands(const VoiceActivityDetector& vad) const {
        return decodedAt_ >= 0 && decodedAt_ == vad.lastSpeechEndMs();
    }
    void reset() { decodedAt_ = -1; }

  private:
    int aheadMs_;
    int decodedAt_ = -1; // the speech end it was due after
};

} // namespace agent::listen
