// The library-wide generator seen through the exports: rng_batch against
// single rng calls.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "include/kvz_comp.h"
#include "include/kvz_comp_batch.h"

namespace {

// Plain, stratified, shuffled, and a code that means plain.
constexpr int kKinds[] = {0, 15, 20, 3};

std::vector<double> single_draws(int kind, int seed, int count) {
    set_rng_type(kind, seed);
    std::vector<double> v(count);
    for (double& u : v) u = rng();
    return v;
}

// Batches of several lengths with a single call between two of them, across
// the end of a stratified block (1000 values) and the shuffle table's refills:
// the same run of values as the single calls.
TEST(RngBatch, GivesTheValuesOfSuccessiveSingleCalls) {
    constexpr int kCount = 2600;
    for (const int kind : kKinds) {
        const std::vector<double> expected = single_draws(kind, 4242, kCount);
        set_rng_type(kind, 4242);
        std::vector<double> got(kCount);
        rng_batch(got.data(), 1);
        got[1] = rng();
        rng_batch(got.data() + 2, 1500);
        rng_batch(got.data() + 1502, kCount - 1502);
        EXPECT_EQ(got, expected) << "kind " << kind;
    }
}

// A count of zero or less, or a null array, writes nothing and draws nothing.
TEST(RngBatch, EmptyCountOrNullArrayDrawsNothing) {
    struct Case {
        bool null_out;
        int count;
    };
    constexpr Case kCases[] = {{false, 0}, {false, -1}, {false, INT_MIN}, {true, 4}, {true, 0}};
    for (const int kind : kKinds) {
        const double first = single_draws(kind, 77, 1)[0];
        for (const Case& c : kCases) {
            set_rng_type(kind, 77);
            std::vector<double> out(4, -1.0);
            rng_batch(c.null_out ? nullptr : out.data(), c.count);
            EXPECT_EQ(out, std::vector<double>(4, -1.0)) << "kind " << kind << " count " << c.count;
            EXPECT_EQ(rng(), first) << "kind " << kind << " count " << c.count;
        }
    }
}

}  // namespace
