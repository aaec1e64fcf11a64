// The fast paths of the generator and of the table draws give, value for
// value, what the straightforward algorithms kept here as references give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "sampling_fixtures.h"

namespace kvz {
namespace {

using testing::prepared;
using testing::SlotSetup;

// ---- Stratified blocks: fill, sort, reject one base value at a time, mix.

struct ReferenceGenerator {
    std::uint32_t state;
    double step() {
        state = (state * 1140671485u + 12820163u) & 0xFFFFFFu;
        return (static_cast<double>(state) + 1.0) / 16777218.0;
    }
    // One block of 1000 values in hand-out order.
    std::vector<double> block() {
        std::vector<std::pair<double, int>> drawn(kRngBlockSize);
        for (int i = 0; i < kRngBlockSize; ++i) drawn[i] = {step(), i};
        std::sort(drawn.begin(), drawn.end());  // distinct values: one sorted order
        std::vector<double> buffer(kRngBlockSize);
        std::vector<int> index(kRngBlockSize);
        for (int i = 0; i < kRngBlockSize; ++i) {
            buffer[i] = drawn[i].first;
            index[i] = drawn[i].second;
        }
        for (int i = 0; i < kRngBlockSize; ++i) {
            const double lo = i * 0.001;
            const double hi = lo + 0.001;
            while (buffer[i] < lo || buffer[i] >= hi) buffer[i] = step();
        }
        for (int j = 0; j < kRngBlockSize; ++j) {
            const int e = index[j];
            const double v = buffer[e];
            const int t = index[e];
            buffer[e] = buffer[j];
            index[e] = e;
            buffer[j] = v;
            index[j] = t;
        }
        return buffer;
    }
};

TEST(FastPaths, StratifiedBlocksEqualTheOneByOneRejection) {
    // Seed -327680 starts from state 0; the others are arbitrary.
    for (int seed : {-327680, 1, 12345}) {
        set_rng_type(kRngStratified, seed);
        ReferenceGenerator ref{static_cast<std::uint32_t>(seed) + 327680u};
        for (int b = 0; b < 3; ++b) {
            const std::vector<double> expected = ref.block();
            for (int i = 0; i < kRngBlockSize; ++i) {
                ASSERT_EQ(rng(), expected[i]) << "seed " << seed << " block " << b << " value " << i;
            }
            ASSERT_EQ(generator().rng_state, ref.state) << "seed " << seed << " block " << b;
        }
    }
}

// ---- Discrete tables: the first entry whose probability reaches u, by scan.

// The entry the scan finds, or -1 when the draw goes beyond the table's
// stored entries (then both paths walk the masses the same way).
int scanned_entry(const DistSlot& s, double u) {
    for (int i = 0; i < s.table_count; ++i) {
        if (u <= s.table_p[i]) return (i == 0 && s.table_x[0] > discrete_range(s).first) ? -1 : i;
    }
    return -1;
}

TEST(FastPaths, DiscreteDrawsEqualTheScanOfTheTable) {
    struct Case {
        SlotSetup setup;
        bool ordered;
    };
    const Case cases[] = {
        {{kPoisson, {{&DistSlot::mean, 4.0}}}, true},
        {{kPoisson, {{&DistSlot::mean, 400.0}}}, true},
        {{kBinomial, {{&DistSlot::p, 0.3}}, 10}, true},
        {{kBinomial, {{&DistSlot::p, 0.3}}, 1000}, true},
        {{kBinomial, {{&DistSlot::p, 0.5}}, 5000}, true},  // 2000-entry window of 5001 values
        {{kHypergeometric, {{&DistSlot::pop, 50.0}, {&DistSlot::popsuc, 20.0}, {&DistSlot::sam, 10.0}}},
         true},
        {{kGeometric, {{&DistSlot::p, 0.2}}, 0, true, 1.0, true, 30.0}, true},
        // p beyond 1 gives masses of alternating sign: a table that goes up and
        // down, searched entry by entry.
        {{kBinomial, {{&DistSlot::p, 1.5}}, 10}, false},
    };
    constexpr int kDraws = 20000;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "dtype " << c.setup.dtype << " n " << c.setup.n);
        auto s = prepared(c.setup);
        ASSERT_EQ(s->sample_type, kSampleDiscreteTable);
        EXPECT_EQ(s->table_ordered, c.ordered ? 1 : 0);
        set_rng_type(0, 99);
        std::vector<double> drawn(kDraws);
        for (double& v : drawn) v = dvalue(*s);
        set_rng_type(0, 99);
        int compared = 0;
        for (int d = 0; d < kDraws; ++d) {
            const int i = scanned_entry(*s, rng());
            if (i < 0) continue;
            ASSERT_EQ(drawn[d], s->table_x[i]) << "draw " << d;
            ++compared;
        }
        EXPECT_GT(compared, kDraws * 9 / 10);
    }
}

// Sets the plain generator so that its next value is (t + 1) / 16777218
// (602453 inverts the multiplier modulo 2^24).
void next_plain_value(std::uint32_t t) {
    set_rng_type(0, 0);
    generator().rng_state = ((t - 12820163u) * 602453u) & 0xFFFFFFu;
}

TEST(FastPaths, UEqualToATableEntryTakesTheFirstEntryWithThatProbability) {
    auto s = prepared({kBinomial, {{&DistSlot::p, 0.3}}, 10});
    ASSERT_EQ(s->table_ordered, 1);
    // Probabilities the generator can produce exactly, with runs of equal
    // entries (a zero mass) in the middle and at the end.
    const std::uint32_t t[] = {100, 2000, 2000, 2000, 500000, 9000000, 9000001,
                               16000000, 16777215, 16777215, 16777215};
    for (int i = 0; i < s->table_count; ++i) s->table_p[i] = (t[i] + 1.0) / 16777218.0;
    const struct {
        std::uint32_t t;
        double expected;
    } cases[] = {{99, 0}, {100, 0}, {101, 1}, {2000, 1}, {2001, 4}, {9000000, 5},
                 {9000001, 6}, {16777214, 8}, {16777215, 8}};
    for (const auto& c : cases) {
        next_plain_value(c.t);
        EXPECT_EQ(dvalue(*s), c.expected) << c.t;
    }
}

// ---- Cumulative tables: extend below, then above, then interpolate.

double reference_cdf_draw(DistSlot& s, double u) {
    if (table_extend_down(s, u) && table_extend_up(s, u)) {
        return table_interpolate(s.table_p, s.table_x, s.table_count, u);
    }
    return u > s.table_p[0] ? s.table_x[s.table_count - 1] : s.table_x[0];
}

TEST(FastPaths, CumulativeTableDrawsEqualExtensionThenInterpolation) {
    const SlotSetup setups[] = {
        {kGamma, {{&DistSlot::scale, 2.0}, {&DistSlot::shape_a, 3.0}}},  // grows at both ends
        {kNormal, {{&DistSlot::stdev, 1.0}}, 0, true, -1.0, true, 2.0},
    };
    constexpr int kDraws = 5000;
    for (const auto& setup : setups) {
        SCOPED_TRACE(setup.dtype);
        auto s = prepared(setup);
        auto ref = std::make_unique<DistSlot>(*s);
        set_rng_type(0, 5);
        std::vector<double> drawn(kDraws);
        for (double& v : drawn) v = dvalue(*s);
        set_rng_type(0, 5);
        for (int d = 0; d < kDraws; ++d) ASSERT_EQ(drawn[d], reference_cdf_draw(*ref, rng())) << d;
        EXPECT_EQ(s->table_count, ref->table_count);
    }
}

}  // namespace
}  // namespace kvz
