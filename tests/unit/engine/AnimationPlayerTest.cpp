// One animation frame by frame on a manual clock: durations, branches and their
// probabilities, exit branches, leaving a loop after its pass.

#include "EngineFixture.h"

#include "agent/engine/AnimationPlayer.h"

using namespace agent::engine;
using namespace agent::engine::testing;
using T = agent::format::Transition;

TEST(AnimationPlayer, ExitsByExitBranchesAndLeavesLoopsAfterTheirPass) {
    // Frames 0-1 loop; frame 1 exits to 3, which is reached no other way. A frame
    // of 10 lasts 100 ms.
    const std::vector ring = {frame(10), frame(10, {{0, 100}}, 3), frame(10), frame(10)};
    const auto exit = &AnimationPlayer::exit;
    const auto leave = &AnimationPlayer::leave;
    const struct {
        agent::format::Animation animation;
        void (AnimationPlayer::*ask)();
        std::int64_t askAt;
        const char* shown; // from the frame showing when asked to the last
        std::int64_t endsAt;
    } cases[] = {
        // Exit follows exit branches; without them it cuts the animation short; a
        // cycle of them still ends.
        {animation("A", {frame(10, {}, 3), frame(10), frame(10), frame(10)}, T::ExitBranches), exit,
         50, "03", 200},
        {animation("A", ring), exit, 250, "0", 250},
        {animation("A", {frame(10, {}, 1), frame(10, {}, 0)}, T::ExitBranches), exit, 50, "01010",
         500},
        // Leaving takes the exit branch where the pass would go round, or runs on to the
        // end without exit branches; one that never goes round plays in full.
        {animation("A", ring, T::ExitBranches), leave, 250, "013", 500},
        {animation("A", ring), leave, 250, "0123", 600},
        {animation("A", {frame(10, {}, 2), frame(10), frame(5)}, T::ExitBranches), leave, 50, "012",
         250},
        // Frames that take no time do not spin.
        {animation("A", {frame(0, {{1, 100}}), frame(0, {{0, 100}})}), nullptr, 0, "", 0},
    };
    for (const auto& c : cases) {
        agent::format::Character character;
        character.animations = {c.animation};
        SeededRandom random(1);
        AnimationPlayer player(character, random);
        player.start(0, 0);
        QString shown;
        std::int64_t endedAt = player.finished() ? 0 : -1;
        for (std::int64_t t = 0; t <= 5000 && endedAt < 0; t += 10) {
            if (c.ask && t == c.askAt) {
                (player.*c.ask)();
                shown = QString::number(player.frame());
            }
            if (player.advance(t) && !shown.isEmpty())
                shown += QString::number(player.frame());
            if (player.finished())
                endedAt = t;
        }
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(endedAt, c.endsAt) << c.shown;
    }
}

TEST(AnimationPlayer, TakesBranchesWithTheirProbabilities) {
    agent::format::Character character;
    character.animations = {animation("A", {frame(10, {{2, 30}}), frame(10), frame(10)})};
    SeededRandom random(7);
    AnimationPlayer player(character, random);
    int viaBranch = 0;
    for (int i = 0; i < 2000; ++i) {
        player.start(0, 0);
        player.advance(100); // frame 0 ends: the branch is decided here
        viaBranch += player.frame() == 2;
    }
    EXPECT_NEAR(viaBranch / 2000.0, 0.30, 0.04);
}
