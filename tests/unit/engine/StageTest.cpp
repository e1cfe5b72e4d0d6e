// What plays and why: return animations owed and paid (before a Play, the
// character's test shows). Which animations may loop is
// the character's test (and the engine fuzz target's, whose characters loop anywhere).

#include "EngineFixture.h"

#include "agent/engine/Stage.h"

using namespace agent::engine;
using namespace agent::engine::testing;
using Purpose = Stage::Purpose;

TEST(Stage, AReturnAnimationOwedPlaysBeforeTheNextAnimation) {
    const auto character = makeCharacter();
    const CharacterIndex index(*character);
    SeededRandom random(1);
    const struct {
        std::vector<std::pair<const char*, Purpose>> steps; // each played to its end
        QStringList started;
    } cases[] = {
        // A Play of the return animation itself pays what is owed.
        {{{"Wave", Purpose::Play}, {"WaveReturn", Purpose::Play}, {"Idle1", Purpose::Idle}},
         {"Wave", "WaveReturn", "Idle1"}},
        // Showing leaves it owed.
        {{{"Wave", Purpose::Play}, {"Show", Purpose::ShowOrHide}, {"Talk", Purpose::SpeakingIntro}},
         {"Wave", "Show", "WaveReturn", "Talk"}},
        // StopAll's exit owes it too (Exiting here: played, then StopAll).
        {{{"Wave", Purpose::Exiting}, {"Idle1", Purpose::Idle}}, {"Wave", "WaveReturn", "Idle1"}},
    };
    for (const auto& c : cases) {
        Stage stage(*character, index, random);
        QStringList started;
        std::int64_t now = 0;
        for (const auto& [name, purpose] : c.steps) {
            const bool stop = purpose == Purpose::Exiting;
            std::optional<int> next =
                stage.start(index.animation(name), stop ? Purpose::Play : purpose, now);
            if (stop)
                stage.stop();
            for (; next; next = stage.finish(now).next) {
                started << character->animations[std::size_t(*next)].name;
                while (!stage.finished())
                    stage.advance(now += 10);
            }
        }
        EXPECT_EQ(started, c.started);
    }
}
