// The random pick: rounding halves to even, the half-weight last entry, the
// empty and one-entry lists, and the generator's range.

#include "ProgramFixture.h"

#include <cmath>
#include <map>

namespace parlavox::testing {
namespace {

TEST(CIntTest, RoundsToNearestWithHalvesToEven) {
    EXPECT_EQ(toolkit::CInt(0.0), 0);
    EXPECT_EQ(toolkit::CInt(0.49), 0);
    EXPECT_EQ(toolkit::CInt(0.5), 0);
    EXPECT_EQ(toolkit::CInt(0.51), 1);
    EXPECT_EQ(toolkit::CInt(1.5), 2);
    EXPECT_EQ(toolkit::CInt(2.5), 2);
    EXPECT_EQ(toolkit::CInt(3.5), 4);
    EXPECT_EQ(toolkit::CInt(-0.5), 0);
    EXPECT_EQ(toolkit::CInt(-1.5), -2);
    EXPECT_EQ(toolkit::CInt(32767.4), 32767);
    EXPECT_THROW(toolkit::CInt(32767.5), std::overflow_error);
    EXPECT_THROW(toolkit::CInt(-32768.6), std::overflow_error);
    EXPECT_THROW(toolkit::CInt(std::nan("")), std::overflow_error);
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
}

TEST(RndTest, ReseedingFromTheClockChangesTheSequence) {
    toolkit::hooks() = {};
    toolkit::Randomize(1);
    const float a = toolkit::Rnd();
    toolkit::Randomize(2);
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

TEST_F(RandomPickTest, ExactHalvesGoToTheEvenNeighbour) {
    withAnimations({"A", "B", "C", "D"});
    EXPECT_EQ(pick(0.125f), "");            // 0.5 -> 0
    EXPECT_EQ(pick(0.375f), R"(Play "B")"); // 1.5 -> 2
    EXPECT_EQ(pick(0.625f), R"(Play "B")"); // 2.5 -> 2
    EXPECT_EQ(pick(0.875f), R"(Play "D")"); // 3.5 -> 4
    EXPECT_EQ(frmSpeak().RandomIndex, 4);
}

TEST_F(RandomPickTest, NeverGoesPastTheLastEntry) {
    withAnimations({"A", "B", "C"});
    EXPECT_EQ(pick(std::nextafter(1.0f, 0.0f)), R"(Play "C")");
    EXPECT_EQ(frmSpeak().RandomIndex, 3);
    EXPECT_EQ(pick(0.0f), "");
}

TEST_F(RandomPickTest, EmptyListPlaysNothing) {
    withAnimations({});
    EXPECT_EQ(pick(0.999f), "");
    EXPECT_EQ(frmSpeak().RandomIndex, 0);
}

TEST_F(RandomPickTest, OneEntryPlaysOnAboutHalfTheRuns) {
    withAnimations({"Only"});
    EXPECT_EQ(pick(0.5f), "");
    EXPECT_EQ(pick(0.5000001f), R"(Play "Only")");
}

TEST_F(RandomPickTest, DistributionGivesHalfWeightToNothingAndTheLastEntry) {
    withAnimations({"A", "B", "C"});
    // Draws spread evenly over [0, 1): the share of each outcome is its probability.
    std::map<QString, int> counts;
    constexpr int kRuns = 30000;
    for (int i = 0; i < kRuns; ++i)
        counts[pick(static_cast<float>(i) / kRuns)]++;
    EXPECT_NEAR(counts[""] / double(kRuns), 1.0 / 6, 0.001);
    EXPECT_NEAR(counts[R"(Play "A")"] / double(kRuns), 1.0 / 3, 0.001);
    EXPECT_NEAR(counts[R"(Play "B")"] / double(kRuns), 1.0 / 3, 0.001);
    EXPECT_NEAR(counts[R"(Play "C")"] / double(kRuns), 1.0 / 6, 0.001);
}

} // namespace
} // namespace parlavox::testing
