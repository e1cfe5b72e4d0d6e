// Steady noise is taken out of an utterance; other talkers are left alone.
#include "agent/listen/Denoise.h"

#include "Speech.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace agent::listen;
using namespace listentest;

namespace {

double levelDb(const Samples& s, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += static_cast<double>(s[i]) * s[i];
    return 10.0 * std::log10(std::max(sum / static_cast<double>(to - from), 1.0));
}

Samples plus(Samples a, const Samples& b) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        a[i] = static_cast<std::int16_t>(std::clamp(a[i] + b[i], -32768, 32767));
    return a;
}

} // namespace

TEST(Denoise, SteadyNoiseIsTakenOutAndTheSpeechKept) {
    // A second of noise, a tone standing for speech in its middle fifth.
    const auto withTone = [](Samples s) {
        for (std::size_t i = 6400; i < 9600; ++i)
            s[i] = static_cast<std::int16_t>(
                std::clamp(s[i] + 10000.0 * std::sin(2 * std::numbers::pi * 440.0 * i / 16000.0),
                           -32768.0, 32767.0));
        return s;
    };
    const struct {
        const char* name;
        Samples audio;
    } cases[] = {{"white", withTone(whiteNoise(1.0, -30, 1))},
                 {"hum", withTone(plus(hum(1.0, -30), whiteNoise(1.0, -55, 3)))}};
    for (const auto& c : cases) {
        const auto cleaned = withoutSteadyNoise(c.audio);
        ASSERT_TRUE(cleaned) << c.name;
        ASSERT_EQ(cleaned->size(), c.audio.size()) << c.name;
        EXPECT_LT(levelDb(*cleaned, 0, 5600), levelDb(c.audio, 0, 5600) - 6.0) << c.name;
        EXPECT_NEAR(levelDb(*cleaned, 7000, 9000), levelDb(c.audio, 7000, 9000), 1.0) << c.name;
    }
}

TEST(Denoise, OtherTalkersAndShortAudioAreLeftAlone) {
    // Two talkers throughout, one starting halfway through the other's sentence.
    const Samples a = render("What time is it now, and where is the station", "en-us", 160);
    Samples b = render("Banana elephant purple", "en+f3", 180);
    std::rotate(b.begin(), b.begin() + static_cast<long>(b.size() / 2), b.end());
    const Samples talkers = withTalker(a, b, 0);
    EXPECT_FALSE(withoutSteadyNoise(plus(talkers, whiteNoise(5.0, -55, 4))));
    EXPECT_FALSE(withoutSteadyNoise(whiteNoise(0.1, -30, 5)));
}
