#include "agent/listen/ListeningTone.h"
#include "agent/listen/Phrases.h"
#include "agent/listen/Recognizer.h"

#include "Speech.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace agent::listen;
using namespace listentest;

namespace {

double rmsDb(std::span<const std::int16_t> s) {
    double sum = 0;
    for (auto v : s)
        sum += double(v) * v;
    return 10 * std::log10(std::max(sum / double(s.size()), 1e-9));
}

// As the microphone delivers it: 10 ms at a time.
Samples filtered(Samples audio, std::size_t armedFor) {
    ToneFilter filter;
    filter.arm(armedFor, kSampleRate);
    for (std::size_t i = 0; i < audio.size(); i += 160)
        filter.apply(std::span(audio).subspan(i, std::min<std::size_t>(160, audio.size() - i)));
    return audio;
}

} // namespace

// The tone is taken out while armed; steady noise, which the denoiser needs
// unchanged, passes untouched, and so does the tone once the filter is spent.
TEST(ToneFilter, TakesOutTheToneAndNothingElse) {
    const Samples tone = listeningTone(kSampleRate);
    EXPECT_LT(rmsDb(filtered(tone, tone.size())), rmsDb(tone) - 18);
    Samples twice = tone;
    twice.insert(twice.end(), tone.begin(), tone.end());
    const Samples spent = filtered(twice, tone.size());
    EXPECT_TRUE(std::equal(spent.begin() + long(tone.size()), spent.end(), tone.begin()));
    const Samples noise = whiteNoise(1.0, -20, 4);
    EXPECT_EQ(filtered(noise, noise.size()), noise);
}

// The tone from a loudspeaker just before a command, the user speaking as it
// ends: heard, it is as loud as the command and rejects it as the rest of a
// sentence ("[OW] shut up and quit").
TEST(ToneFilter, CommandRightAfterTheToneIsHeard) {
    Recognizer rec;
    rec.setGrammar(Grammar::build(kCommands, globalPhrases("Merlin")));
    for (const char* voice : {"en", "en-us", "en-029"})
        for (int gapMs : {30, 120}) {
            Samples speech = render("Shut Up! & Quit", voice, 160);
            speech.erase(speech.begin(),
                         std::find_if(speech.begin(), speech.end(), [](auto v) { return v != 0; }));
            Samples audio = listeningTone(kSampleRate);
            audio.resize(audio.size() + std::size_t(kSampleRate * gapMs / 1000));
            audio.insert(audio.end(), speech.begin(), speech.end());
            const Recognition r = rec.recognize(filtered(audio, kSampleRate));
            EXPECT_TRUE(r.accepted) << voice << " after " << gapMs << " ms: " << r.heard;
        }
}
