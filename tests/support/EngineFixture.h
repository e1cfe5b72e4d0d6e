#pragma once
// A small character whose every animation is known, a manual clock, a seeded
// random source and a synthesizer that answers at once.

#include "agent/engine/CharacterAgent.h"
#include "agent/format/Sound.h"

#include <gtest/gtest.h>

#include <QStringList>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace agent::engine::testing {

inline format::Frame frame(std::uint16_t duration, std::vector<format::Branch> branches = {},
                           std::int16_t exitFrame = -1, bool mouths = false,
                           std::uint16_t sound = format::NoSound) {
    format::Frame f;
    f.images.push_back({0, 0, 0});
    f.duration = duration;
    f.branches = std::move(branches);
    f.exitFrame = exitFrame;
    f.sound = sound;
    if (mouths)
        for (int m = 0; m < format::MouthTypeCount; ++m)
            f.overlays.push_back({static_cast<format::MouthType>(m), false, 1, 0, 0, 0, 0, 0, {}});
    return f;
}

inline format::Animation animation(const QString& name, std::vector<format::Frame> frames,
                                   format::Transition transition = format::Transition::None,
                                   const QString& returnAnimation = {}) {
    format::Animation a;
    a.name = name;
    a.storedName = name.toUpper();
    a.frames = std::move(frames);
    a.transition = transition;
    a.returnAnimation = returnAnimation;
    return a;
}

inline std::shared_ptr<format::Character> makeCharacter() {
    auto c = std::make_shared<format::Character>();
    c->width = c->height = 8;
    c->palette.assign(256, qRgb(0, 0, 0));
    c->palette[1] = qRgb(255, 0, 0);
    c->transparentIndex = 0;
    c->flags = format::BalloonOn | format::VoiceOn;
    c->voice = format::VoiceInfo{};
    c->voice->speed = 150;
    c->voice->pitch = 110;
    c->balloon = format::BalloonInfo{
        2, 20, qRgb(0, 0, 0), qRgb(255, 255, 225), qRgb(0, 0, 0), "Sans", -13, 400, false, 0};
    c->addImage(format::Bitmap{8, 8, std::vector<std::uint8_t>(8 * 8, 1)}); // the body
    c->addImage(format::Bitmap{2, 2, std::vector<std::uint8_t>(4 * 2, 1)}); // a mouth
    format::Pcm beep{11025, 1, std::vector<std::int16_t>(1102, 0)};
    for (std::size_t i = 0; i < beep.samples.size(); ++i)
        beep.samples[i] = std::int16_t((i / 12) % 2 ? 8000 : -8000);
    c->addSound(format::encodeWav(beep));
    using T = format::Transition;
    c->animations = {
        animation("RestPose", {frame(10, {}, -1, true)}),
        animation("Show", {frame(10), frame(10)}),
        animation("Hide", {frame(10), frame(10)}),
        animation("Wave", {frame(10), frame(10), frame(10)}, T::ReturnAnimation, "WaveReturn"),
        animation("WaveReturn", {frame(10)}),
        // Loops on frames 0-1 until told to exit, then leaves through frame 2.
        animation("Loop", {frame(10, {}, 2), frame(10, {{0, 100}}, 2), frame(10)}, T::ExitBranches),
        animation("Branchy", {frame(10, {{2, 30}}), frame(10), frame(10)}),
        animation("Zero", {frame(0), frame(0, {{0, 50}}), frame(0)}),
        animation("Talk", {frame(10), frame(10, {}, -1, true)}),
        animation("Idle1", {frame(10)}),
        animation("Idle2", {frame(10)}),
        animation("Idle3", {frame(10)}),
        animation("Beep", {frame(10, {}, -1, false, 0)}),
    };
    c->states = {{"Showing", {"Show"}},       {"Hiding", {"Hide"}},
                 {"Speaking", {"Talk"}},      {"IdlingLevel1", {"Idle1"}},
                 {"IdlingLevel2", {"Idle2"}}, {"IdlingLevel3", {"Idle3"}}};
    return c;
}

// Answers every request at once with a fixed timeline: two words, three mouths.
class InstantSynthesizer : public Synthesizer {
  public:
    void synthesize(std::uint64_t id, const QString& text, const VoiceDefaults&) override {
        requests << text;
        auto u = std::make_shared<Utterance>();
        u->displayText = QStringLiteral("Hello there");
        u->words = {{0, 0, 5}, {300, 6, 5}};
        using M = format::MouthType;
        u->mouths = {{0, M::Wide1}, {100, M::Narrow}, {450, M::Closed}};
        u->bookmarks = {{200, 7}};
        u->durationMs = durationMs;
        emit ready(id, u);
    }
    void cancel(std::uint64_t id) override { cancelled.push_back(id); }
    QStringList requests;
    std::vector<std::uint64_t> cancelled;
    std::int64_t durationMs = 500;
};

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override { makeAgent(makeCharacter()); }

    void makeAgent(std::shared_ptr<format::Character> c) {
        agent.reset();
        character = std::move(c);
        agent =
            std::make_unique<CharacterAgent>("Merlin", character, clock, random, &synth, options);
        QObject::connect(agent.get(), &CharacterAgent::animationStarted,
                         [this](const QString& name) { played << name; });
    }

    // Runs the clock until nothing is queued or running (bounded).
    void settle(std::int64_t limitMs = 20000) {
        const std::int64_t end = clock.now() + limitMs;
        while (agent->busy() && clock.now() < end)
            clock.advanceBy(10);
    }

    ManualClock clock;
    SeededRandom random{42};
    InstantSynthesizer synth;
    Options options;
    std::shared_ptr<format::Character> character;
    std::unique_ptr<CharacterAgent> agent;
    QStringList played; // animations in the order they appeared
};

} // namespace agent::engine::testing
