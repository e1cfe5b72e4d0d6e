#include "agent/listen/VoiceActivity.h"

#include "Speech.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>

using namespace agent::listen;
using namespace listentest;
using Event = VoiceActivityDetector::Event;

TEST(VoiceActivity, QuietNoiseHumAndClicksAreNeverSpeech) {
    VoiceActivityDetector vad;
    EXPECT_EQ(vad.feed(whiteNoise(2.0, -55, 1)), Event::None);
    EXPECT_EQ(vad.feed(hum(1.0, -58)), Event::None);
    // A click: 40 ms of loud noise between quiet.
    for (const Samples& s :
         {whiteNoise(0.3, -60, 5), whiteNoise(0.04, -10, 6), whiteNoise(0.3, -60, 7)})
        EXPECT_EQ(vad.feed(s), Event::None);
    EXPECT_FALSE(vad.heardSpeech());
}

TEST(VoiceActivity, SpeechOverNoiseStartsSilenceEndsItAndResetForgetsIt) {
    VoiceActivityDetector vad;
    EXPECT_EQ(vad.feed(whiteNoise(0.5, -55, 2)), Event::None);
    const Samples speech = withNoise(render("shut up and quit", "en-us", 175), 40, 3);
    EXPECT_EQ(vad.feed(speech), Event::SpeechStarted);
    EXPECT_TRUE(vad.inSpeech());
    EXPECT_EQ(vad.feed(whiteNoise(1.0, -55, 4)), Event::SpeechEnded);
    EXPECT_FALSE(vad.inSpeech());
    EXPECT_GE(vad.trailingSilenceMs(), 700);
    vad.reset();
    EXPECT_FALSE(vad.heardSpeech());
    EXPECT_EQ(vad.trailingSilenceMs(), 0);
    // Talking before listening began: speech from the first frame is still speech.
    Samples early = render("random animation", "en-us", 175);
    early.erase(early.begin(), early.begin() + 3200);
    EXPECT_EQ(vad.feed(early), Event::SpeechStarted);
}

TEST(VoiceActivity, LoudSteadyNoiseIsLearnt) {
    VoiceActivityDetector vad;
    // Fan noise at -35 dBFS first passes for speech against the assumed quiet
    // room, then its steady level becomes the floor and ends it...
    EXPECT_EQ(vad.feed(brownNoise(3.0, -35, 8)), Event::SpeechEnded);
    EXPECT_GT(vad.noiseFloorDb(), -45);
    // ...after which it is not speech, but speech over it is.
    EXPECT_EQ(vad.feed(brownNoise(2.0, -35, 9)), Event::None);
    EXPECT_FALSE(vad.inSpeech());
    Samples loud = render("shut up and quit", "en-us", 175);
    for (auto& v : loud)
        v = static_cast<std::int16_t>(v / 2);
    EXPECT_EQ(vad.feed(withNoise(loud, 20, 10)), Event::SpeechStarted);
}

// Decoding ahead: due once the speaker has paused, once per pause, and what
// it decoded stands until they speak again.
TEST(VoiceActivity, DecodingAheadIsDueOncePerPauseAndStandsUntilSpeechResumes) {
    VoiceActivityDetector vad;
    DecodeAhead ahead(200);
    int due = 0;
    const auto hear = [&](const Samples& s) {
        for (std::size_t i = 0; i < s.size(); i += 1600) {
            vad.feed(std::span(s).subspan(i, std::min<std::size_t>(1600, s.size() - i)));
            due += ahead.due(vad);
        }
    };
    const auto word = [](const char* text) {
        Samples s = render(text, "en-us", 175);
        s.resize(s.size() - 3200); // ends with the word: no pause yet
        return s;
    };
    const Samples pause(8000, 0);
    hear(pause);
    EXPECT_EQ(due, 0) << "silence before any speech";
    hear(word("random"));
    EXPECT_EQ(due, 0);
    hear(pause);
    EXPECT_EQ(due, 1);
    EXPECT_TRUE(ahead.stands(vad));
    hear(word("animation"));
    EXPECT_FALSE(ahead.stands(vad));
    hear(pause);
    hear(pause);
    EXPECT_EQ(due, 2);
    EXPECT_TRUE(ahead.stands(vad));
    ahead.reset();
    EXPECT_FALSE(ahead.stands(vad));
}
