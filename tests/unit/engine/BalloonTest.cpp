// The balloon's style and size, and how it shows the text of speech.

#include "EngineFixture.h"

using namespace agent::engine;
using namespace agent::engine::testing;

TEST(Balloon, StyleSizeAndPaceComeFromTheFileUnlessSet) {
    using namespace agent::format;
    const struct {
        std::uint32_t flags; // the file's balloon, if on, has 2 lines of 20 characters
        int set;             // -1: as the file says
        int style, lines, perLine;
        int revealed;        // of "Hello there" as speech starts; -1: not shown
        std::int64_t hideAt; // when speech that showed it ends at 1000
    } cases[] = {
        {BalloonOn, -1, BalloonOnBit | AutoHideBit | AutoPaceBit, 2, 20, 0, 2500},
        {BalloonOn | BalloonSizeToText | BalloonAutoHideOff | BalloonAutoPaceOff, -1,
         BalloonOnBit | SizeToTextBit, 2, 20, 11, Never},
        {0, -1, 0, 2, 32, -1, Never},
        {BalloonOn, BalloonOnBit | (3 << 24) | (40 << 16), BalloonOnBit, 3, 40, 11, Never},
    };
    for (const auto& c : cases) {
        auto character = makeCharacter();
        character->flags = c.flags;
        if (!(c.flags & BalloonOn))
            character->balloon.reset();
        Balloon balloon(*character);
        if (c.set >= 0)
            balloon.setStyle(c.set);
        EXPECT_EQ(balloon.style() & 0xFFFF, c.style) << c.flags;
        EXPECT_EQ(std::pair(balloon.lines(), balloon.charsPerLine()),
                  std::pair(c.lines, c.perLine));
        EXPECT_EQ(balloon.show("Hello there") ? balloon.state().revealed : -1, c.revealed);
        balloon.finish(1000);
        EXPECT_EQ(balloon.hideAt(), c.hideAt);
    }
    auto character = makeCharacter();
    Balloon balloon(*character);
    EXPECT_FALSE(balloon.show("")) << "nothing to show";
    ASSERT_TRUE(balloon.show("Hello there"));
    balloon.reveal(5);
    balloon.reveal(3);
    EXPECT_EQ(balloon.state().revealed, 5) << "what was shown stays";
    EXPECT_TRUE(balloon.hide());
    EXPECT_FALSE(balloon.hide()) << "hidden already";
}
