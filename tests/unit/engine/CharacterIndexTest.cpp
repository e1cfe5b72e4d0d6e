// Name lookups as a file means them, worked out once so that a file listing tens of
// thousands of names costs no more per request than one listing three.

#include "EngineFixture.h"

using namespace agent::engine::testing;

TEST(CharacterIndex, FindsTheFirstOfEqualNamesInAnyCaseAndSkipsMissingOnes) {
    auto c = makeCharacter();
    c->animations.push_back(animation("SHOW", {frame(10)}));
    c->states = {
        {"Showing", {"Gone", "sHOW"}}, {"HIDING", {"hide", "Hide"}}, {"showing", {"Wave"}}};
    const agent::engine::CharacterIndex index(*c);
    EXPECT_EQ(index.animation("show"), 1);
    EXPECT_EQ(index.state("SHOWING"), std::vector<int>{1});
    EXPECT_EQ(index.state("Hiding"), (std::vector<int>{2, 2}));
    EXPECT_EQ(index.neutral(), 0) << "the rest pose, where the character stands at first";
}
