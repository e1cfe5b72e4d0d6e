#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace agent::listen {

// The tone played when listening starts: two short notes, a fifth apart.
inline constexpr std::array<double, 2> kListeningToneHz = {880.0, 1320.0};

// The tone's samples, mono 16-bit at sampleRate.
std::vector<std::int16_t> listeningTone(int sampleRate);

// Takes the listening tone out of what the microphone hears, with a narrow
// notch at each of its notes. The microphone is open while the tone plays,
// and a loudspeaker puts it into the utterance: heard as a syllable it opens
// an utterance by voice activity, or rejects the command after it as the rest
// of a sentence. Only stretches of 10 ms that the tone dominates (the
// notches take out nine tenths of their power) are changed: notches in part of
// steady noise would make it unsteady, and the denoiser could no longer take
// it out (in voice-eval's white noise, notching the first second lost 8
// points of commands).
class ToneFilter {
  public:
    // Filters the next `samples` samples (the tone's length and the sound
    // system's delay, with room to spare); after them audio passes unchanged.
    void arm(std::size_t samples, int sampleRate);
    void apply(std::span<std::int16_t> audio);

  private:
    struct Notch {
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0; // until armed: passes all
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        double step(double x);
    };
    std::array<Notch, kListeningToneHz.size()> notches_{};
    std::size_t remaining_ = 0;
    std::size_t block_ = 160;
    std::vector<double> filtered_;
};

} // namespace agent::listen
