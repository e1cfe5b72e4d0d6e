// The random pick: rounding halves to even, the half-weight last entry, the
// empty and one-entry lists, and the generator's range.

#include "ProgramFixture.h"

#include <cmath>

namespace parlavox::testing {
namespace {

TEST(CIntTest, RoundsToNearestWithHalvesToEven) {
    const std::pair<double, int> cases[] = {{0.0, 0},   {0.49, 0},       {0.5, 0}, {0.51, 1},
                                            {1.5, 2},   {2.5, 2},        {3.5, 4}, {-0.5, 0},
                                            {-1.5, -2}, {32767.4, 32767}};
    for (const auto& [value, rounded] : cases)
        EXPECT_EQ(toolkit::CInt(value), rounded) << value;
    for (double outside : {32767.5, -32768.6, std::nan("")})
        EXPECT_THROW(toolkit::CInt(outside), std::overflow_error) << outside;
}

TEST(RndTest, StaysInTheUnitIntervalAndIsUniform) {
    toolkit::hooks() = {};
    toolkit::Randomize(12345);
    int buckets[10] = {};
    constexpr int kDraws = 100000;
    for (int i = 0; i < kDraws; ++i) {
        const float r = toolkit::Rnd();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        ++buckets[static_cast<int>(r * 10)];
    }
    for (int b : buckets)
        EXPECT_NEAR(b, kDraws / 10, kDraws / 100);
    toolkit::Randomize(2); // reseeding changes the sequence
    const float a = toolkit::Rnd();
    toolkit::Randomize(1);
    EXPECT_NE(a, toolkit::Rnd());
}

class RandomPickTest : public ProgramTest {
  protected:
    void withAnimations(QStringList names) {
        recording->animationNames = std::move(names);
        startUpQuietly();
    }
    // The request the pick makes for a drawn value, or "" for nothing.
    QString pick(float r) {
        recording->requests.clear();
        randoms = {r};
        frmSpeak().Timer1_Timer();
        return requests().isEmpty() ? QString() : requests().first();
    }
};

TEST_F(RandomPickTest, HalvesGoToTheEvenNeighbourAndNothingPastTheLastEntry) {
    const struct {
        QStringList names;
        float drawn;
        const char* request; // "" for nothing
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
        TearDown();
        SetUp();
        withAnimations(c.names);
        EXPECT_EQ(pick(c.drawn), c.request) << c.drawn;
        EXPECT_EQ(frmSpeak().RandomIndex, c.index) << c.drawn;
    }
}

} // namespace
} // namespace parlavox::testing
