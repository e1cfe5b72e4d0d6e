// The character as a whole on a manual clock: its queue, stage, speech, balloon
// and idling working together.

#include "EngineFixture.h"

#include <QSignalSpy>

using namespace agent::engine;
using namespace agent::engine::testing;

TEST_F(EngineTest, RequestsRunInOrderFromShowingToHiding) {
    QSignalSpy sounds(agent.get(), &CharacterAgent::soundRequested);
    agent->show();
    EXPECT_TRUE(agent->visible()) << "the window appears with Showing's first frame";
    agent->play("wAVE");
    agent->play("Beep");
    agent->hide();
    settle();
    EXPECT_EQ(played, (QStringList{"Show", "Wave", "WaveReturn", "Beep", "Hide"}));
    options.soundEffects = false;
    agent->show();
    agent->play("Beep");
    settle();
    EXPECT_EQ(sounds.count(), 1) << "Beep's sound, and only with sound effects on";
    try {
        agent->play("Nope");
        FAIL() << "no error";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "the character \"Merlin\" has no animation \"Nope\"");
    }
}

TEST_F(EngineTest, ALoopingPlayGivesWayToARequestAndStopAllWalksItOut) {
    agent->show();
    agent->play("Loop");
    clock.advanceBy(60'000);
    EXPECT_EQ(played, (QStringList{"Show", "Loop"})) << "nothing waits: it loops";
    agent->play("Wave");
    clock.advanceBy(300);
    EXPECT_EQ(played.last(), "Wave") << "after its pass";
    agent->play("Loop");
    clock.advanceBy(2000);
    agent->play("Branchy");
    agent->stopAll();
    agent->play("Idle1");
    settle();
    EXPECT_EQ(played.mid(played.size() - 3), (QStringList{"WaveReturn", "Loop", "Idle1"}));
}

TEST_F(EngineTest, SpeechWaitsForAMouthFrameAndStopAllSilencesIt) {
    QSignalSpy started(agent.get(), &CharacterAgent::speechStarted);
    QSignalSpy stopped(agent.get(), &CharacterAgent::speechStopped);
    agent->show();
    agent->play("Wave"); // ends on a frame without mouths
    agent->speak("Hello");
    clock.advanceBy(790); // Show, Wave, its return animation, Talk to its mouths
    EXPECT_EQ(started.count(), 0);
    clock.advanceBy(10);
    EXPECT_EQ(played, (QStringList{"Show", "Wave", "WaveReturn", "Talk"}));
    agent->dismissBalloon();
    EXPECT_TRUE(agent->balloon().visible) << "not while it speaks";
    settle();
    EXPECT_EQ(stopped.count(), 0) << "said to the end, its sound plays out";
    agent->dismissBalloon();
    EXPECT_FALSE(agent->balloon().visible) << "once it lingers";
    agent->speak("one");
    agent->speak("two");
    clock.advanceBy(10);
    agent->stopAll();
    EXPECT_EQ(started.count(), 2);
    EXPECT_EQ(stopped.count(), 1);
    EXPECT_FALSE(agent->balloon().visible || agent->busy());
    EXPECT_EQ(synth.requests.size(), 2) << "the second was dropped before it started";
    EXPECT_EQ(synth.cancelled, std::vector<std::uint64_t>{2});
}

TEST_F(EngineTest, IdlesOnlyWhileShownAndStartsOverAfterARequest) {
    agent->setIdleSchedule({1000, 1});
    agent->show();
    settle();
    played.clear();
    clock.advanceBy(999);
    EXPECT_TRUE(played.isEmpty()) << "a whole gap first";
    clock.advanceBy(2201);
    EXPECT_EQ(played, (QStringList{"Idle1", "Idle2", "Idle3"}));
    agent->play("Branchy");
    EXPECT_EQ(played.last(), "Branchy") << "idling makes way at once";
    agent->hide();
    settle();
    played.clear();
    clock.advanceBy(10'000);
    EXPECT_TRUE(played.isEmpty());
    agent->show();
    clock.advanceBy(1200);
    EXPECT_EQ(played, (QStringList{"Show", "Idle1"}));
}

TEST_F(EngineTest, ACharacterWithoutAnimationsStillShowsSpeaksAndHides) {
    makeAgent(std::make_shared<agent::format::Character>());
    QSignalSpy started(agent.get(), &CharacterAgent::speechStarted);
    agent->show();
    agent->speak("Hello");
    agent->hide();
    settle();
    EXPECT_EQ(started.count(), 1);
    EXPECT_FALSE(agent->visible() || agent->busy());
}
