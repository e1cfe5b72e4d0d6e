// The random pick: rounding halves to even, the half-weight last entry, the
// empty and one-entry lists, and the generator's range.

#include "ProgramFixture.h"

#include <cmath>

namespace parlavox::testing {
namespace {

// Halves to even are the pick's table below; here what the pick never meets.
TEST(CIntTest, RoundsNegativesAndRefusesWhatDoesNotFit) {
    for (const auto& [value, rounded] : {std::pair{-0.5, 0}, {-1.5, -2}, {32767.4, 32767}})
        EXPECT_EQ(toolkit::CInt(value), rounded) << value;
    for (double outside : {32767.5, -32768.6, std::nan("")})
        EXPECT_THROW(toolkit::CInt(outside), std::overflow_error) << outside;
}

TEST(RndTest, ReseedingChangesTheSequenceWithinTheUnitInterval) {
    toolkit::hooks() = {};
    toolkit::Randomize(2);
    const float a = toolkit::Rnd();
    toolkit::Randomize(1);
    EXPECT_NE(a, toolkit::Rnd());
    EXPECT_TRUE(a >= 0.0f && a < 1.0f) << a;
}

using RandomPickTest = ProgramTest;

TEST_F(RandomPickTest, HalvesGoToTheEvenNeighbourAndNothingPastTheLastEntry) {
    const struct {
        QStringList names;
        float drawn;
        QString request; // empty for nothing
        int index;
    } cases[] = {
        {{"A", "B", "C", "D"}, 0.125f, "", 0},            // 0.5 -> 0
        {{"A", "B", "C", "D"}, 0.375f, R"(Play "B")", 2}, // 1.5 -> 2
        {{"A", "B", "C", "D"}, 0.625f, R"(Play "B")", 2}, // 2.5 -> 2
        {{"A", "B", "C", "D"}, 0.875f, R"(Play "D")", 4}, // 3.5 -> 4
        {{"A", "B", "C"}, std::nextafter(1.0f, 0.0f), R"(Play "C")", 3},
        {{"A", "B", "C"}, 0.0f, "", 0},
        {{}, 0.999f, "", 0},
        {{"Only"}, 0.5f, "", 0},
        {{"Only"}, 0.5000001f, R"(Play "Only")", 1},
    };
    for (const auto& c : cases) {
        restart();
        recording->animationNames = c.names;
        startUpQuietly();
        randoms = {c.drawn};
        frmSpeak().Timer1_Timer();
        EXPECT_EQ(requests().value(0), c.request) << c.drawn;
        EXPECT_EQ(frmSpeak().RandomIndex, c.index) << c.drawn;
    }
}

} // namespace
} // namespace parlavox::testing
