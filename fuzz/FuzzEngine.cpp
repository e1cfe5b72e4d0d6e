// Fuzzes the engine's queue and animation player with a character made from the
// input (branches anywhere, exit branches, zero-length frames, return animations,
// states naming anything) and a list of requests on a manual clock. Whatever the
// character, StopAll leaves nothing queued, and a Hide after it ends within a bound
// of simulated time that only the character's own frame lengths set.

#include "Fuzzing.h"

#include "agent/engine/CharacterAgent.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

namespace {

using namespace agent;

// Answers at once with a timeline whose length comes from the input, up to absurd.
class FuzzSynthesizer : public engine::Synthesizer {
  public:
    void synthesize(std::uint64_t id, const QString&, const engine::VoiceDefaults&) override {
        auto u = std::make_shared<engine::Utterance>();
        u->displayText = QStringLiteral("Hi");
        u->words = {{0, 0, 2}};
        u->mouths = {{0, format::MouthType::Wide1}, {durationMs / 2, format::MouthType::Closed}};
        u->durationMs = durationMs;
        emit ready(id, u);
    }
    void cancel(std::uint64_t) override {}
    std::int64_t durationMs = 0;
};

QString nameOf(int i) {
    return QStringLiteral("A%1").arg(i);
}

std::shared_ptr<format::Character> makeCharacter(FuzzedDataProvider& in) {
    auto c = std::make_shared<format::Character>();
    const int count = in.ConsumeIntegralInRange(0, 8);
    for (int a = 0; a < count; ++a) {
        format::Animation anim;
        anim.name = nameOf(a);
        const int frames = in.ConsumeIntegralInRange(0, 6);
        for (int f = 0; f < frames; ++f) {
            format::Frame frame;
            // Mostly short, now and then no time at all or the longest a file can say.
            const int length = in.ConsumeIntegralInRange(0, 3);
            frame.duration = length == 3 ? 0xFFFF : static_cast<std::uint16_t>(length * 5);
            frame.exitFrame = in.ConsumeIntegralInRange<std::int16_t>(-2, 7);
            for (int b = in.ConsumeIntegralInRange(0, 2); b > 0; --b)
                frame.branches.push_back({in.ConsumeIntegralInRange<std::uint16_t>(0, 7),
                                          in.ConsumeIntegralInRange<std::uint16_t>(0, 120)});
            if (in.ConsumeBool())
                frame.overlays.push_back({format::MouthType::Wide1, false, 0, 0, 0, 0, 0, 0, {}});
            anim.frames.push_back(std::move(frame));
        }
        anim.transition = static_cast<format::Transition>(in.ConsumeIntegralInRange(0, 2));
        anim.returnAnimation = nameOf(in.ConsumeIntegralInRange(0, 9));
        c->animations.push_back(std::move(anim));
    }
    for (const char* state :
         {"Showing", "Hiding", "Speaking", "IdlingLevel1", "IdlingLevel2", "IdlingLevel3"}) {
        format::State s{QString::fromLatin1(state), {}};
        for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n)
            s.animations << nameOf(in.ConsumeIntegralInRange(0, 9));
        c->states.push_back(std::move(s));
    }
    return c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto character = makeCharacter(in);
    engine::ManualClock clock;
    engine::SeededRandom random(in.ConsumeIntegral<std::uint32_t>());
    FuzzSynthesizer synth;
    synth.durationMs = in.ConsumeIntegralInRange<std::int64_t>(0, std::int64_t{1} << 50);
    const engine::Options options;
    engine::CharacterAgent agent(QStringLiteral("fuzz"), character, clock, random, &synth, options);
    const QStringList names = agent.animationNames();

    for (int step = 0; step < 24 && in.remaining_bytes() > 0; ++step) {
        const int request = in.ConsumeIntegralInRange(0, 5);
        if (request == 0)
            agent.show();
        else if (request == 1)
            agent.hide();
        else if (request == 2 && !names.isEmpty())
            agent.play(names[in.ConsumeIntegralInRange<int>(0, int(names.size()) - 1)]);
        else if (request == 3)
            agent.speak(QStringLiteral("Hi"));
        else if (request == 4)
            agent.stopAll();
        else if (request == 5)
            clock.advanceBy(in.ConsumeIntegralInRange(0, 100'000));
        check(request != 4 || !agent.busy()); // StopAll leaves nothing queued
        // What is shown is a frame of the animation it names.
        if (const format::Frame* f = agent.currentFrame()) {
            const int a = std::max(0, character->animationIndex(agent.currentAnimationName()));
            const auto& frames = character->animations[std::size_t(a)].frames;
            check(f >= frames.data() && f < frames.data() + frames.size());
        }
    }

    agent.stopAll();
    check(!agent.busy());
    // The exit under way, then the Hiding animation: each plays one bounded walk over
    // its frames (twice their number at most, and a frame's length can be 655 s).
    std::size_t frames = 1;
    for (const format::Animation& a : character->animations)
        frames = std::max(frames, a.frames.size());
    const std::int64_t bound = 2 * (2 * std::int64_t(frames) + 2) * 655'350 + 1000;
    agent.hide();
    clock.advanceTo(clock.now() + bound);
    check(!agent.busy());
    check(!agent.visible());
    return 0;
}
