#include "agent/listen/ListeningTone.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace agent::listen {

namespace {
// A stretch is the tone's when the notches leave less than this share of its
// power. Of the tone's they leave about a hundredth; of speech's and noise's,
// most.
constexpr double kToneLeaves = 0.1;
} // namespace

std::vector<std::int16_t> listeningTone(int sampleRate) {
    // Soft, and faded in and out so the notes do not click; short, because
    // the microphone is already open.
    constexpr int kNoteMs = 60;
    constexpr int kFadeMs = 8;
    constexpr double kAmplitude = 0.25 * 32767;
    std::vector<std::int16_t> pcm;
    for (double hz : kListeningToneHz) {
        const int n = sampleRate * kNoteMs / 1000;
        const int fade = sampleRate * kFadeMs / 1000;
        for (int i = 0; i < n; ++i) {
            const double envelope = std::min({1.0, double(i) / fade, double(n - 1 - i) / fade});
            pcm.push_back(static_cast<std::int16_t>(
                kAmplitude * envelope * std::sin(2 * std::numbers::pi * hz * i / sampleRate)));
        }
    }
    return pcm;
}

void ToneFilter::arm(std::size_t samples, int sampleRate) {
    // Q 5: 180 Hz wide at 880 Hz; the tone comes out 20 dB down. A narrower
    // notch rings longer as each note starts and ends, and lets more of it
    // through (Q 10: 15 dB); a wider one takes more of a vowel whose strong
    // harmonic lies near a note, which could then pass for the tone.
    constexpr double kQ = 5.0;
    for (std::size_t i = 0; i < notches_.size(); ++i) {
        const double w0 = 2 * std::numbers::pi * kListeningToneHz[i] / sampleRate;
        const double alpha = std::sin(w0) / (2 * kQ);
        const double a0 = 1 + alpha;
        Notch& n = notches_[i];
        n = Notch{};
        n.b0 = n.b2 = 1 / a0;
        n.b1 = n.a1 = -2 * std::cos(w0) / a0;
        n.a2 = (1 - alpha) / a0;
    }
    remaining_ = samples;
    block_ = static_cast<std::size_t>(std::max(1, sampleRate / 100));
}

double ToneFilter::Notch::step(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
}

void ToneFilter::apply(std::span<std::int16_t> audio) {
    audio = audio.first(std::min(remaining_, audio.size()));
    remaining_ -= audio.size();
    for (std::size_t at = 0; at < audio.size(); at += block_) {
        const auto block = audio.subspan(at, std::min(block_, audio.size() - at));
        filtered_.clear();
        double in = 0, out = 0;
        for (const std::int16_t sample : block) {
            double v = sample;
            for (Notch& notch : notches_)
                v = notch.step(v);
            in += double(sample) * sample;
            out += v * v;
            filtered_.push_back(v);
        }
        if (out >= kToneLeaves * in)
            continue; // not the tone: speech or noise, left as it is
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] =
                static_cast<std::int16_t>(std::clamp(std::round(filtered_[i]), -32768.0, 32767.0));
    }
}

} // namespace agent::listen
