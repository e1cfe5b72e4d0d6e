#include "agent/listen/VoiceActivity.h"

#include "Speech.h"

#include <gtest/gtest.h>

using namespace agent::listen;
using listentest::Samples;

TEST(VoiceActivity, QuietNoiseHumAndClicksAreNeverSpeech) {
    VoiceActivityDetector vad;
    EXPECT_EQ(vad.feed(listentest::whiteNoise(2.0, -55, 1)), VoiceActivityDetector::Event::None);
    EXPECT_EQ(vad.feed(listentest::hum(1.0, -58)), VoiceActivityDetector::Event::None);
    for (const Samples& s :
         {listentest::whiteNoise(0.3, -60, 5), listentest::whiteNoise(0.04, -10, 6),
          listentest::whiteNoise(0.3, -60, 7)}) // a click
        EXPECT_EQ(vad.feed(s), VoiceActivityDetector::Event::None);
    EXPECT_FALSE(vad.heardSpeech());
}

TEST(VoiceActivity, SpeechOverNoiseStartsSilenceEndsItAndResetForgetsIt) {
    VoiceActivityDetector vad;
    EXPECT_EQ(vad.feed(listentest::whiteNoise(0.5, -55, 2)), VoiceActivityDetector::Event::None);
    const Samples speech =
        listentest::withNoise(listentest::render("shut up and quit", "en-us", 175), 40, 3);
    EXPECT_EQ(vad.feed(speech), VoiceActivityDetector::Event::SpeechStarted);
    EXPECT_TRUE(vad.inSpeech());
    EXPECT_EQ(vad.feed(listentest::whiteNoise(1.0, -55, 4)),
              VoiceActivityDetector::Event::SpeechEnded);
    EXPECT_FALSE(vad.inSpeech());
    EXPECT_GE(vad.trailingSilenceMs(), 700);
    vad.reset();
    EXPECT_FALSE(vad.heardSpeech());
    EXPECT_EQ(vad.trailingSilenceMs(), 0);
    // Talking before listening began: speech from the first frame is still speech.
    Samples early = listentest::render("random animation", "en-us", 175);
    early.erase(early.begin(), early.begin() + 3200);
    EXPECT_EQ(vad.feed(early), VoiceActivityDetector::Event::SpeechStarted);
}

TEST(VoiceActivity, LoudSteadyNoiseIsLearnt) {
    VoiceActivityDetector vad;
    // Fan noise at -35 dBFS first passes for speech against the assumed quiet
    // room, then its steady level becomes the floor and ends it...
    EXPECT_EQ(vad.feed(listentest::brownNoise(3.0, -35, 8)),
              VoiceActivityDetector::Event::SpeechEnded);
    EXPECT_GT(vad.noiseFloorDb(), -45);
    // ...after which it is not speech, but speech over it is.
    EXPECT_EQ(vad.feed(listentest::brownNoise(2.0, -35, 9)), VoiceActivityDetector::Event::None);
    EXPECT_FALSE(vad.inSpeech());
    Samples loud = listentest::render("shut up and quit", "en-us", 175);
    for (auto& v : loud)
        v = static_cast<std::int16_t>(v / 2);
    EXPECT_EQ(vad.feed(listentest::withNoise(loud, 20, 10)),
              VoiceActivityDetector::Event::SpeechStarted);
}
