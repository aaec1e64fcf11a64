#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "sampling/sampling.h"

namespace kvz {
namespace {

// Reference values in this file come from a separate Python model of the
// base recurrence (state' = (state * 1140671485 + 12820163) mod 2^32, low 24
// bits kept, value (state + 1) / 16777218), of the shuffle table, and of the
// stratified block built with Python's own sort.

class GeneratorTest : public ::testing::Test {
protected:
    void SetUp() override { generator() = Generator{}; }  // the state at load
};

TEST_F(GeneratorTest, FirstPlainValueFromLoadStateIsIncrementOverDivisor) {
    EXPECT_EQ(rng(), (12820163.0 + 1.0) / 16777218.0);
    EXPECT_EQ(rng(), 0.35764278678383987);
}

TEST_F(GeneratorTest, SeedIsAddedToOffsetWithWrapAround) {
    struct Case {
        int kind;
        int seed;
        std::uint32_t state;
        double first, second;
    };
    const Case cases[] = {
        {0, 0, 327680u, 0.7055474870744363, 0.5334240158290844},
        {0, 1, 327681u, 0.6948661571900657, 0.6600114512429891},
        {3, 12345, 340025u, 0.8445143288952912, 0.2555005245804161},  // unknown kind: plain
        {0, -327680, 0u, 0.7641412300895178, 0.35764278678383987},    // the load state
        {0, INT_MAX, 2147811327u, 0.7162288169588069, 0.40683658041517967},
        // 2^31 + 327680: only the low 24 bits take part, so seed 0's sequence.
        {0, INT_MIN, 2147811328u, 0.7055474870744363, 0.5334240158290844},
    };
    for (const auto& c : cases) {
        set_rng_type(c.kind, c.seed);
        EXPECT_EQ(generator().rng_state, c.state) << c.seed;
        EXPECT_EQ(rng(), c.first) << c.seed;
        EXPECT_EQ(rng(), c.second) << c.seed;
    }
}

TEST_F(GeneratorTest, ReseedingRepeatsTheSequenceOfEveryKind) {
    for (int kind : {0, kRngStratified, kRngShuffled}) {
        set_rng_type(kind, 99);
        std::vector<double> first_run;
        for (int i = 0; i < 1500; ++i) first_run.push_back(rng());
        set_rng_type(kind, 99);
        for (int i = 0; i < 1500; ++i) ASSERT_EQ(rng(), first_run[i]) << "kind " << kind << " draw " << i;
    }
}

TEST_F(GeneratorTest, ShuffledKindStartsFromEntrySelectedByTablesLastEntry) {
    set_rng_type(kRngShuffled, 7);
    EXPECT_EQ(rng(), 0.5218189928747424);
    EXPECT_EQ(rng(), 0.3867817656061929);
    EXPECT_EQ(rng(), 0.619813427947351);
}

TEST_F(GeneratorTest, StratifiedBlocksHoldOneValuePerThousandth) {
    set_rng_type(kRngStratified, 42);
    std::vector<double> v;
    for (int i = 0; i < 2 * kRngBlockSize; ++i) v.push_back(rng());
    for (int block = 0; block < 2; ++block) {
        std::vector<int> hits(kRngBlockSize, 0);
        for (int i = 0; i < kRngBlockSize; ++i) {
            const double x = v[block * kRngBlockSize + i];
            ASSERT_GT(x, 0.0);
            ASSERT_LT(x, 1.0);
            ++hits[static_cast<int>(x * kRngBlockSize)];
        }
        for (int k = 0; k < kRngBlockSize; ++k) {
            EXPECT_EQ(hits[k], 1) << "block " << block << " stratum " << k;
        }
    }
    // The hand-out order is fixed by the sort's index permutation and the mixing pass.
    EXPECT_EQ(v[0], 0.24723270568457775);
    EXPECT_EQ(v[1], 0.2964429501959145);
    EXPECT_EQ(v[2], 0.45599538612420726);
    EXPECT_EQ(v[999], 0.6293039167757134);
    EXPECT_EQ(v[1000], 0.5374995425344059);  // the 1001st draw starts a new block
    // Every rejection consumed exactly one base step.
    EXPECT_EQ(generator().rng_state, 16751756u);
}

TEST_F(GeneratorTest, ExtremeStatesGiveValuesStrictlyInsideTheUnitInterval) {
    generator().rng_state = 13497921u;  // steps to state 0
    EXPECT_EQ(rng(), 1.0 / 16777218.0);
    generator().rng_state = 12895468u;  // steps to state 2^24 - 1
    const double top = rng();
    EXPECT_EQ(top, 16777216.0 / 16777218.0);
    EXPECT_LT(top, 1.0);
}

}  // namespace
}  // namespace kvz
