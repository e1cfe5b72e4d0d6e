#include "Speech.h"

#include "agent/listen/Espeak.h"
#include "agent/listen/Wav.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>

namespace listentest {

namespace {

int collect(short* wav, int n, espeak_EVENT* events) {
    auto* out = static_cast<Samples*>(events->user_data);
    if (wav && n > 0)
        out->insert(out->end(), wav, wav + n);
    return 0;
}

Samples scaledTo(std::vector<double> v, double dbfs) {
    double sum = 0;
    for (double x : v)
        sum += x * x;
    const double r = std::sqrt(sum / static_cast<double>(std::max<std::size_t>(1, v.size())));
    const double gain = r > 0 ? 32768.0 * std::pow(10.0, dbfs / 20.0) / r : 0;
    Samples out(v.size());
    for (std::size_t i = 0; i < v.size(); ++i)
        out[i] = static_cast<std::int16_t>(std::clamp(v[i] * gain, -32768.0, 32767.0));
    return out;
}

// Gaussian noise through a leaky integrator: white at 0, a 1/f^2 rumble near 1.
Samples noise(double seconds, double dbfs, unsigned seed, double leak) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0.0, 1.0);
    std::vector<double> v(static_cast<std::size_t>(seconds * 16000));
    double acc = 0;
    for (auto& x : v)
        x = acc = leak * acc + g(rng);
    return scaledTo(std::move(v), dbfs);
}

} // namespace

Samples render(const std::string& text, const std::string& voice, int wpm) {
    Samples raw;
    int rate = 0;
    {
        std::lock_guard lock(agent::listen::espeakMutex());
        rate = agent::listen::ensureEspeakInitialized();
        espeak_SetSynthCallback(collect);
        if (espeak_SetVoiceByName(voice.c_str()) != EE_OK)
            throw std::runtime_error("no espeak-ng voice " + voice);
        espeak_SetParameter(espeakRATE, wpm, 0);
        if (espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                         nullptr, &raw) != EE_OK)
            throw std::runtime_error("espeak-ng cannot say " + text);
        espeak_Synchronize();
    }
    Samples speech = agent::listen::resample(raw, rate, 16000);
    Samples out(3200, 0);
    out.insert(out.end(), speech.begin(), speech.end());
    out.insert(out.end(), 3200, 0);
    return out;
}

namespace {

// Speech level over samples above a small floor, so silence around the
// phrase does not lower it.
double loudRms(const Samples& speech) {
    double sum = 0;
    std::size_t n = 0;
    for (auto v : speech)
        if (std::abs(v) > 100) {
            sum += static_cast<double>(v) * v;
            ++n;
        }
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0;
}

} // namespace

Samples withTalker(const Samples& speech, const Samples& talker, double belowDb) {
    const double gain =
        loudRms(speech) / std::pow(10.0, belowDb / 20.0) / std::max(1.0, loudRms(talker));
    Samples out(speech.size());
    for (std::size_t i = 0; i < speech.size(); ++i)
        out[i] = static_cast<std::int16_t>(
            std::clamp(speech[i] + gain * talker[i % std::max<std::size_t>(1, talker.size())],
                       -32768.0, 32767.0));
    return out;
}

Samples withNoise(const Samples& speech, double snrDb, unsigned seed) {
    const double noiseRms = loudRms(speech) / std::pow(10.0, snrDb / 20.0);
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0.0, noiseRms);
    Samples out(speech.size());
    for (std::size_t i = 0; i < speech.size(); ++i)
        out[i] = static_cast<std::int16_t>(std::clamp(speech[i] + g(rng), -32768.0, 32767.0));
    return out;
}

Samples whiteNoise(double seconds, double dbfs, unsigned seed) {
    return noise(seconds, dbfs, seed, 0);
}

Samples brownNoise(double seconds, double dbfs, unsigned seed) {
    return noise(seconds, dbfs, seed, 0.995);
}

Samples hum(double seconds, double dbfs) {
    std::vector<double> v(static_cast<std::size_t>(seconds * 16000));
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double t = static_cast<double>(i) / 16000.0;
        for (int h = 1; h <= 5; ++h)
            v[i] += std::sin(2 * std::numbers::pi * 50.0 * h * t) / h;
    }
    return scaledTo(std::move(v), dbfs);
}

} // namespace listentest
