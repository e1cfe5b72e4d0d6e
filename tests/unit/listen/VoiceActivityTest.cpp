#include "agent/listen/VoiceActivity.h"

#include "Speech.h"

#include <gtest/gtest.h>

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
