// The character's request queue, animation player, states, idling and speech,
// all on a manual clock.

#include "EngineFixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <functional>
#include <map>

namespace agent::engine::testing {
namespace {

TEST_F(EngineTest, RequestsRunInOrderAfterShowing) {
    agent->show();
    agent->play("Wave");
    agent->play("Branchy");
    EXPECT_TRUE(agent->visible()) << "the window appears with Showing's first frame";
    settle();
    EXPECT_FALSE(agent->busy());
    // Wave's return animation runs before the next animation starts.
    EXPECT_EQ(played, (QStringList{"Show", "Wave", "WaveReturn", "Branchy"}));
}

TEST_F(EngineTest, PlayOfAnUnknownAnimationIsAnErrorNamingItAndTheCharacter) {
    try {
        agent->play("Nope");
        FAIL() << "no error";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "the character \"Merlin\" has no animation \"Nope\"");
    }
    EXPECT_FALSE(agent->busy());
}

TEST_F(EngineTest, AnimationNamesMatchCaseInsensitively) {
    agent->show();
    agent->play("wAVE");
    settle();
    EXPECT_TRUE(played.contains("Wave"));
}

TEST_F(EngineTest, StopAllLeavesThroughExitBranchesAndDropsTheQueue) {
    agent->show();
    settle();
    agent->play("Loop");
    clock.advanceBy(2000);
    agent->play("Wave");
    agent->stopAll();
    settle();
    clock.advanceBy(100);
    EXPECT_FALSE(agent->busy());
    EXPECT_FALSE(played.contains("Wave"));
    EXPECT_EQ(agent->currentAnimationName(), "Loop");
    EXPECT_EQ(agent->currentFrame(), &character->animations[5].frames[2])
        << "ended on its exit frame";
}

// A looping animation keeps going while nothing waits; a request behind it
// lets it finish the pass and leave, and the request starts.
TEST_F(EngineTest, LoopingAnimationGivesWayToAWaitingRequest) {
    using T = format::Transition;
    // Frame 1 branches back to 0; frame 2 is reached only by running on.
    const std::vector<format::Frame> ring = {frame(10), frame(10, {{0, 100}}, 3), frame(10),
                                             frame(10)};
    struct Case {
        const char* why;
        format::Animation anim;
        std::int64_t loopFor; // with an empty queue, before the request comes
        bool speakNext;       // else Play "Wave"
        const char* leavesBy; // frames shown once asked to, or null: any
        std::int64_t withinMs;
    };
    const Case cases[] = {
        {"leaves by the exit branch", animation("Ring", ring, T::ExitBranches), 60000, true, "13",
         400},
        {"without exit branches runs on to its end", animation("Ring", ring), 60000, false, "123",
         400},
        {"a cycle of exit branches still ends",
         animation("Ring", {frame(10, {}, 1), frame(10, {{0, 100}}, 0)}, T::ExitBranches), 60000,
         false, nullptr, 1000},
        {"an animation that never loops plays in full",
         animation("Ring", {frame(10, {}, 2), frame(10), frame(10)}, T::ExitBranches), 0, false,
         "12", 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        auto withRing = makeCharacter();
        withRing->animations.push_back(c.anim);
        makeAgent(withRing);
        const format::Frame* first = &character->animations.back().frames[0];
        QString shown;
        QObject scope; // the recording ends with the row
        QObject::connect(agent.get(), &CharacterAgent::frameChanged, &scope, [&] {
            if (agent->currentAnimationName() == "Ring")
                shown += QString::number(agent->currentFrame() - first);
        });
        agent->show();
        settle();
        played.clear();
        agent->play("Ring");
        clock.advanceBy(c.loopFor);
        if (c.loopFor) {
            EXPECT_EQ(played, QStringList{"Ring"});
            EXPECT_GE(shown.size(), c.loopFor / 100 - 1) << "still moving";
        }
        shown.clear();
        const std::int64_t asked = clock.now();
        c.speakNext ? agent->speak("Hi") : agent->play("Wave");
        while (played.last() == "Ring" && clock.now() < asked + 5000)
            clock.advanceBy(10);
        EXPECT_EQ(played.last(), QString(c.speakNext ? "Talk" : "Wave"));
        EXPECT_LE(clock.now() - asked, c.withinMs);
        if (c.leavesBy) {
            EXPECT_EQ(shown, c.leavesBy);
        }
        settle();
        EXPECT_FALSE(agent->busy());
    }
}

TEST_F(EngineTest, RequestsAfterStopAllRunOnceTheExitEnds) {
    agent->show();
    agent->play("Loop");
    clock.advanceBy(500);
    agent->stopAll();
    agent->play("Branchy");
    settle();
    EXPECT_EQ(played.mid(played.size() - 2), (QStringList{"Loop", "Branchy"}));
}

TEST_F(EngineTest, BranchesAreTakenWithTheirProbabilities) {
    agent->show();
    settle();
    int viaBranch = 0;
    constexpr int kRuns = 1000;
    for (int i = 0; i < kRuns; ++i) {
        agent->play("Branchy");
        clock.advanceBy(100); // leave frame 0: the branch is decided here
        viaBranch += agent->currentFrame() == &character->animations[6].frames[2];
        settle();
    }
    EXPECT_NEAR(viaBranch / double(kRuns), 0.30, 0.05);
}

TEST_F(EngineTest, ZeroDurationFramesAndRingsDoNotHang) {
    agent->show();
    agent->play("Zero");
    agent->play("Wave");
    settle();
    EXPECT_FALSE(agent->busy());
    EXPECT_TRUE(played.contains("Wave"));
}

TEST_F(EngineTest, IdlesThroughTheLevelsOnItsSchedule) {
    agent->setIdleSchedule({1000, 3});
    agent->show();
    settle();
    played.clear();
    std::vector<std::int64_t> starts;
    QObject::connect(agent.get(), &CharacterAgent::animationStarted,
                     [&](const QString&) { starts.push_back(clock.now()); });
    const std::int64_t t0 = clock.now();
    clock.advanceBy(8 * 1100);
    ASSERT_GE(played.size(), 7);
    EXPECT_EQ(played.mid(0, 7),
              (QStringList{"Idle1", "Idle1", "Idle1", "Idle2", "Idle2", "Idle2", "Idle3"}))
        << played.join(",").toStdString();
    EXPECT_EQ(starts[0] - t0, 1000) << "the first round waits one gap";
    EXPECT_EQ(starts[1] - starts[0], 1100) << "a round's 100 ms animation, then the gap";
    // A request ends idling and starts the count again.
    agent->play("Wave");
    settle();
    played.clear();
    clock.advanceBy(1200);
    EXPECT_EQ(played.value(played.size() - 1), "Idle1");
}

TEST_F(EngineTest, HiddenCharacterDoesNotIdle) {
    agent->setIdleSchedule({100, 1});
    agent->show();
    agent->hide();
    settle();
    EXPECT_FALSE(agent->visible());
    played.clear();
    clock.advanceBy(5000);
    EXPECT_TRUE(played.isEmpty());
}

TEST_F(EngineTest, HidePlaysHidingThenHidesTheWindow) {
    QSignalSpy visibility(agent.get(), &CharacterAgent::visibleChanged);
    agent->show();
    agent->hide();
    settle();
    EXPECT_TRUE(played.contains("Hide"));
    ASSERT_EQ(visibility.count(), 2);
    EXPECT_EQ(visibility[1][0].toBool(), false);
}

TEST_F(EngineTest, SpeakingMovesToAMouthFrameRevealsWordsAndMovesTheMouth) {
    QSignalSpy started(agent.get(), &CharacterAgent::speechStarted);
    QSignalSpy stopped(agent.get(), &CharacterAgent::speechStopped);
    QSignalSpy bookmarks(agent.get(), &CharacterAgent::bookmarkReached);
    agent->show();
    agent->play("Wave"); // ends on a frame without mouths
    agent->speak(R"(\Spd=150\\Pit=150\Hello there)");
    clock.advanceBy(300 + 100 + 100); // Show, Wave
    clock.advanceBy(100);             // WaveReturn
    clock.advanceBy(200);             // Talk, to its mouth frame
    ASSERT_EQ(started.count(), 1);
    EXPECT_EQ(played.mid(played.size() - 2), (QStringList{"WaveReturn", "Talk"}));
    EXPECT_EQ(synth.requests, QStringList{R"(\Spd=150\\Pit=150\Hello there)"});
    EXPECT_TRUE(agent->balloon().visible);
    EXPECT_EQ(agent->balloon().revealed, 5) << "auto-pace shows the first word only";
    EXPECT_EQ(agent->mouth(), format::MouthType::Wide1);
    clock.advanceBy(150);
    EXPECT_EQ(agent->mouth(), format::MouthType::Narrow);
    clock.advanceBy(200);
    EXPECT_EQ(agent->balloon().revealed, 11);
    EXPECT_EQ(bookmarks.count(), 1);
    EXPECT_EQ(bookmarks[0][0].toInt(), 7);
    clock.advanceBy(200);
    EXPECT_EQ(stopped.count(), 1);
    EXPECT_FALSE(agent->mouth().has_value());
    EXPECT_FALSE(agent->busy());
    EXPECT_TRUE(agent->balloon().visible) << "auto-hide waits a moment";
    clock.advanceBy(2000);
    EXPECT_FALSE(agent->balloon().visible);
}

TEST_F(EngineTest, BalloonStyleZeroSpeaksWithoutABalloon) {
    agent->show();
    agent->setBalloonStyle(0);
    agent->speak("Hi");
    settle();
    EXPECT_FALSE(agent->balloon().visible);
    EXPECT_EQ(agent->balloonStyle(), 0);
}

TEST_F(EngineTest, BalloonWithoutAutoPaceShowsEverythingAtOnce) {
    agent->show();
    settle();
    agent->setBalloonStyle(BalloonOnBit); // no auto-pace, no auto-hide
    agent->speak("Hi");
    clock.advanceBy(250); // the Speaking animation leads to a mouth frame first
    EXPECT_EQ(agent->balloon().revealed, 11);
    settle();
    clock.advanceBy(10000);
    EXPECT_TRUE(agent->balloon().visible) << "without auto-hide it stays";
    agent->dismissBalloon();
    EXPECT_FALSE(agent->balloon().visible);
}

TEST_F(EngineTest, StopAllSilencesSpeechAndDropsQueuedSpeech) {
    QSignalSpy stopped(agent.get(), &CharacterAgent::speechStopped);
    agent->show();
    settle();
    agent->speak("one");
    agent->speak("two");
    clock.advanceBy(300);
    ASSERT_TRUE(agent->balloon().visible) << "speaking by now";
    agent->stopAll();
    EXPECT_EQ(stopped.count(), 1);
    EXPECT_FALSE(agent->balloon().visible);
    settle();
    EXPECT_EQ(synth.requests.size(), 1) << "the second was dropped before it started";
    EXPECT_EQ(synth.cancelled.size(), 1u);
}

TEST_F(EngineTest, CharacterVoiceAndSpeedOptionSetTheDefaults) {
    character->voice = format::VoiceInfo{};
    character->voice->speed = 160;
    character->voice->pitch = 120;
    options.speechSpeedPercent = 50;
    makeAgent(character);
    character->voice->gender = kGenderFemale;
    agent->speak("x");
    EXPECT_EQ(synth.lastVoice.speedWpm, 80);
    EXPECT_EQ(synth.lastVoice.pitchHz, 120);
    EXPECT_EQ(synth.lastVoice.gender, kGenderFemale);
    agent->stopAll();
    character->voice->gender = kGenderNeutral;
    agent->speak("y");
    EXPECT_EQ(synth.lastVoice.gender, kGenderMale) << "neutral keeps the default";
}

TEST_F(EngineTest, CharacterWithoutStatesStillShowsSpeaksAndHides) {
    makeAgent(makeCharacter(false));
    QSignalSpy started(agent.get(), &CharacterAgent::speechStarted);
    agent->show();
    agent->speak("Hello");
    agent->hide();
    settle();
    EXPECT_EQ(started.count(), 1);
    EXPECT_FALSE(agent->visible());
    EXPECT_FALSE(agent->busy());
}

TEST_F(EngineTest, CharacterWithoutAnimationsStillWorks) {
    auto empty = std::make_shared<format::Character>();
    makeAgent(empty);
    agent->show();
    agent->speak("Hello");
    settle();
    EXPECT_TRUE(agent->visible());
    EXPECT_EQ(agent->currentFrame(), nullptr);
    EXPECT_TRUE(agent->animationNames().isEmpty());
}

TEST_F(EngineTest, FrameSoundsAreRequestedOnlyWhenEffectsAreOn) {
    QSignalSpy sounds(agent.get(), &CharacterAgent::soundRequested);
    agent->show();
    agent->play("Beep");
    settle();
    ASSERT_EQ(sounds.count(), 1);
    EXPECT_EQ(sounds[0][0].toInt(), 0);
    options.soundEffects = false;
    agent->play("Beep");
    settle();
    EXPECT_EQ(sounds.count(), 1);
}

// A character built to trap the queue: every animation loops or cycles, frames take
// no time, return animations point at each other, and every state lists them all.
std::shared_ptr<format::Character> makeHostileCharacter() {
    using T = format::Transition;
    auto c = makeCharacter();
    c->animations = {
        animation("Ring", {frame(10), frame(10, {{0, 100}})}),
        animation("ExitCycle", {frame(10, {{1, 100}}, 1), frame(10, {{0, 100}}, 0)},
                  T::ExitBranches),
        animation("ZeroRing", {frame(0, {{1, 100}}), frame(0, {{0, 100}})}),
        animation("ZeroExit", {frame(0, {{1, 100}}, 1), frame(0, {{0, 100}}, 0)}, T::ExitBranches),
        animation("ReturnA", {frame(10, {{0, 100}})}, T::ReturnAnimation, "ReturnB"),
        animation("ReturnB", {frame(0), frame(10, {{0, 100}}, -1, true)}, T::ReturnAnimation,
                  "ReturnA"),
    };
    c->states.clear();
    for (const char* state :
         {"Showing", "Hiding", "Speaking", "IdlingLevel1", "IdlingLevel2", "IdlingLevel3"})
        c->states.push_back({state, c->animationNames()});
    return c;
}

// Whatever the file holds, the queue empties within a bound of simulated time once
// StopAll or Hide is asked for; an utterance claiming to last a year counts as the
// longest one allowed.
TEST_F(EngineTest, HostileCharacterComesToRestAfterStopAllOrHide) {
    makeAgent(makeHostileCharacter());
    synth.durationMs = 365LL * 24 * 3600 * 1000;
    const std::int64_t bound = kMaxUtteranceMs + 10'000;
    const auto everything = [this] {
        agent->show();
        for (const QString& name : agent->animationNames())
            agent->play(name);
        agent->speak("Hi");
        for (const QString& name : agent->animationNames())
            agent->play(name);
    };
    const auto showAgainAndAgain = [this] {
        agent->show();
        agent->play("Ring");
        for (int i = 0; i < 300; ++i)
            agent->show(); // each ends at once when its turn comes
    };
    const struct {
        const char* why;
        std::function<void()> requests;
        bool stopAll; // first; Hide after it regardless
    } cases[] = {{"Hide after everything", everything, false},
                 {"StopAll amid everything, idle, then Hide", everything, true},
                 {"requests that end at once", showAgainAndAgain, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        makeAgent(character);
        c.requests();
        clock.advanceBy(5000);
        if (c.stopAll) {
            agent->stopAll();
            EXPECT_FALSE(agent->busy());
            clock.advanceBy(20'000); // idling on its looping animations
        }
        agent->hide();
        settle(bound);
        EXPECT_FALSE(agent->busy());
        EXPECT_FALSE(agent->visible());
    }
}

// Lookups by name cost the same however long the file's lists are: 30,000 animations
// and state entries (the first of equal names counts, in any case).
TEST_F(EngineTest, LongNameListsDoNotSlowRequests) {
    auto c = makeCharacter();
    QStringList missing;
    for (int i = 0; i < 30'000; ++i) {
        c->animations.push_back(animation(QStringLiteral("Filler%1").arg(i), {frame(10)}));
        missing << QStringLiteral("Missing%1").arg(i);
    }
    c->animations.push_back(animation("SHOW", {frame(10)}));
    c->states = {{"Showing", missing + QStringList{"sHOW"}},
                 {"HIDING", QStringList(30'000, "hide")},
                 {"Showing", {"Wave"}}};
    makeAgent(c);
    QElapsedTimer hangGuard; // a Show took seconds when each name was sought in turn
    hangGuard.start();
    for (int i = 0; i < 20 && hangGuard.elapsed() < 20'000; ++i) {
        agent->show();
        agent->hide();
        settle();
    }
    EXPECT_LT(hangGuard.elapsed(), 20'000) << "hang guard";
    EXPECT_EQ(played.count("Show"), 20);
    EXPECT_EQ(played.count("Hide"), 20);
    EXPECT_EQ(played.size(), 40) << played.join(',').toStdString();
}

TEST_F(EngineTest, CommandsKeepRegistrationOrder) {
    agent->addCommand("A", "&Alpha", "alpha");
    agent->addCommand("B", "Beta", "beta");
    ASSERT_EQ(agent->commands().size(), 2u);
    EXPECT_EQ(agent->commands()[0].caption, "&Alpha");
    agent->removeAllCommands();
    EXPECT_TRUE(agent->commands().empty());
}

} // namespace
} // namespace agent::engine::testing
