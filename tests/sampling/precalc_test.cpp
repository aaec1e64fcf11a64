#include <gtest/gtest.h>

#include <limits>

#include <cmath>

#include "sampling_fixtures.h"

namespace kvz {
namespace {

using testing::initialised;
using testing::prepared;
using testing::SlotSetup;

const SlotSetup kGammaSetup{kGamma, {{&DistSlot::scale, 2.0}, {&DistSlot::shape_a, 3.0}}};
const SlotSetup kNormalSetup{kNormal, {{&DistSlot::mean, 0.0}, {&DistSlot::stdev, 1.0}}};

TEST(Precalc, SampleTypeFollowsTheCatalogueUnlessTruncated) {
    struct Case {
        SlotSetup setup;
        int sample_type;
    };
    const Case cases[] = {
        {kNormalSetup, kSampleNormalBased},
        {{kNormal, {{&DistSlot::stdev, 1.0}}, 0, true, 0.0}, kSampleCdfTable},
        {{kChiSquare, {{&DistSlot::shape_a, 4.0}}}, kSampleCdfTable},
        {{kLognormalByMedian, {{&DistSlot::median, 1.0}, {&DistSlot::lstdev, 0.5}}}, kSampleNormalBased},
        {{kPoisson, {{&DistSlot::mean, 3.0}}}, kSampleDiscreteTable},
        {{kBinomial, {{&DistSlot::p, 0.3}}, 10}, kSampleDiscreteTable},
        {{kDiscreteUniform, {{&DistSlot::minimum, 1.0}, {&DistSlot::maximum, 6.0}}}, kDiscreteUniform},
        {{kDiscreteUniform, {{&DistSlot::minimum, 1.0}, {&DistSlot::maximum, 6.0}}, 0, false, 0.0, true, 4.0},
         kSampleDiscreteTable},
        {{kStudentT, {{&DistSlot::shape_a, 5.0}}}, kStudentT},
        {{kStudentT, {{&DistSlot::shape_a, 5.0}}, 0, true, -1.0}, kSampleCdfTable},
        {{kNormalPoisson, {{&DistSlot::mean, 9.0}}}, kSampleNormalBased},
        // Types without a truncation step ignore the flags.
        {{kDegenerate, {{&DistSlot::mean, 4.0}}, 0, true, 5.0, true, 6.0}, kDegenerate},
        {{kFisherF, {{&DistSlot::shape_a, 3.0}, {&DistSlot::shape_b, 4.0}}, 0, true, 1.0}, kFisherF},
    };
    for (const auto& c : cases) {
        auto s = prepared(c.setup);
        EXPECT_EQ(s->sample_type, c.sample_type) << "dtype " << c.setup.dtype;
    }
}

TEST(Precalc, DirectMethodsGetTheirConstants) {
    auto tri = prepared(
        {kTriangular, {{&DistSlot::minimum, 1.0}, {&DistSlot::mode, 2.0}, {&DistSlot::maximum, 5.0}}});
    EXPECT_EQ(tri->sample_c1, 0.25);
    EXPECT_EQ(tri->sample_c2, 4.0);
    EXPECT_EQ(tri->sample_c3, 12.0);
    auto logistic = prepared({kLogistic, {{&DistSlot::mean, 1.0}, {&DistSlot::stdev, 2.0}}});
    EXPECT_DOUBLE_EQ(logistic->sample_c1, std::sqrt(3.0) * 2.0 / 3.141592653589793);
    auto rayleigh = prepared({kRayleigh, {{&DistSlot::scale, 1.5}}});
    EXPECT_EQ(rayleigh->sample_c1, -4.5);
}

TEST(Precalc, NormalBasedSlotCarriesExactlyOneUniform) {
    auto s = initialised(kNormalSetup);
    set_rng_type(0, 5);
    const double first = rng();
    const double second = rng();
    set_rng_type(0, 5);
    precalc(*s);
    EXPECT_EQ(s->sample_c1, first);
    EXPECT_EQ(rng(), second);
}

TEST(Precalc, CdfTableRunsFromMinimumThroughMedianToMaximum) {
    for (const SlotSetup& setup : {kGammaSetup, SlotSetup{kNormal, {{&DistSlot::stdev, 1.0}}, 0, true, 0.0}}) {
        auto s = prepared(setup);
        ASSERT_EQ(s->table_count, 1001);
        EXPECT_EQ(s->table_x[0], s->dminimum);
        EXPECT_EQ(s->table_x[500], s->dmedian);
        EXPECT_NEAR(s->table_x[1000], s->dmaximum, 1e-12 * std::fabs(s->dmaximum));
        EXPECT_EQ(s->step_low, (s->dmedian - s->dminimum) / 500);
        EXPECT_EQ(s->step_high, (s->dmaximum - s->dmedian) / 500);
        for (int i = 0; i < 1001; ++i) {
            ASSERT_EQ(s->table_p[i], cumulative(*s, s->table_x[i])) << i;
            if (i > 0) {
                ASSERT_GT(s->table_x[i], s->table_x[i - 1]) << i;
            }
        }
        EXPECT_NEAR(s->table_p[500], 0.5, 1e-5);
    }
}

// Checks that entries are consecutive whole numbers carrying running sums of
// the slot's own masses.
void expect_running_sums(const DistSlot& s, double first, int count, double start_sum) {
    ASSERT_EQ(s.table_count, count);
    double sum = start_sum;
    for (int i = 0; i < count; ++i) {
        sum += density(s, first + i);
        ASSERT_EQ(s.table_x[i], first + i) << i;
        ASSERT_EQ(s.table_p[i], sum) << i;
    }
}

TEST(Precalc, DiscreteTableHoldsOneEntryPerWholeNumberOfTheRange) {
    auto poisson = prepared({kPoisson, {{&DistSlot::mean, 3.0}}});
    expect_running_sums(*poisson, 0.0, static_cast<int>(poisson->maximum) + 1, 0.0);
    // scipy.stats.poisson(3).sf(15) = 1.24e-7: the mass beyond the range.
    EXPECT_NEAR(poisson->table_p[poisson->table_count - 1], 1.0 - 1.24e-7, 2e-8);

    auto binomial = prepared({kBinomial, {{&DistSlot::p, 0.3}}, 10});
    expect_running_sums(*binomial, 0.0, 11, 0.0);
    EXPECT_NEAR(binomial->table_p[10], 1.0, 1e-12);
}

TEST(Precalc, TruncatedDiscreteTableStaysInsideTheSupport) {
    struct Case {
        SlotSetup setup;
        double first;
        int count;
    };
    const Case cases[] = {
        // truncation points beyond both ends of 0..10
        {{kBinomial, {{&DistSlot::p, 0.3}}, 10, true, -3.0, true, 14.0}, 0.0, 11},
        // support 3..5 (N 10, K 8, n 5), cut below at 0
        {{kHypergeometric,
          {{&DistSlot::pop, 10.0}, {&DistSlot::popsuc, 8.0}, {&DistSlot::sam, 5.0}},
          0,
          true,
          0.0},
         3.0, 3},
        // fractional cuts: 2 keeps its mass (only 0 and 1 are cut below 1.5),
        // and the table reaches 6, the last whole number not above 6.5
        {{kPoisson, {{&DistSlot::mean, 3.0}}, 0, true, 2.5, true, 6.5}, 2.0, 5},
        {{kGeometric, {{&DistSlot::p, 0.4}}, 0, true, 2.0, true, 7.0}, 2.0, 6},
    };
    for (const auto& c : cases) {
        auto s = prepared(c.setup);
        SCOPED_TRACE(c.setup.dtype);
        expect_running_sums(*s, c.first, c.count, 0.0);
        // The renormalised masses of the table add up to one.
        EXPECT_NEAR(s->table_p[c.count - 1], 1.0, 1e-9);
    }
}

TEST(Precalc, WideDiscreteRangeKeepsTableCentredOnTheMass) {
    // n = 5000 has 5001 values: the table holds 2000 of them around the median
    // 2500, starting with the mass below them.
    auto s = prepared({kBinomial, {{&DistSlot::p, 0.5}}, 5000});
    double below = 0.0;
    for (double v = 0; v < 1500; v += 1) below += density(*s, v);
    expect_running_sums(*s, 1500.0, kTableSize, below);
    EXPECT_EQ(s->pmin_extend, 0);
    EXPECT_EQ(s->pmax_extend, 0);
}

// A cut far beyond the mass (Poisson 4 cut above at 1e8) prepares and draws at
// once, with the same table and the same variates as a cut at 1e4: masses
// that can no longer change a sum are not added.
TEST(Precalc, WideDiscreteRangeFarBeyondTheMassCostsNothingExtra) {
    auto near = prepared({kPoisson, {{&DistSlot::mean, 4}}, 0, true, 1, true, 1e4});
    set_rng_type(0, 99);
    const auto near_draws = testing::draws(*near, 2000);
    auto far = prepared({kPoisson, {{&DistSlot::mean, 4}}, 0, true, 1, true, 1e8});
    set_rng_type(0, 99);
    EXPECT_EQ(testing::draws(*far, 2000), near_draws);
    EXPECT_EQ(far->table_count, near->table_count);
    EXPECT_EQ(far->table_p[far->table_count - 1], near->table_p[near->table_count - 1]);
}

// A range wider than a table can cover (1e8 whole numbers) starts where the
// masses stop underflowing: a Poisson mean of 1e9, untruncated, and a
// binomial n of 1e9 cut below at 0 draw around their means.
TEST(Precalc, RangeBeyondTheTableLimitCoversTheMass) {
    struct Case { SlotSetup setup; double mean, sd; };
    const Case cases[] = {
        {{kPoisson, {{&DistSlot::mean, 1e9}}}, 1e9, std::sqrt(1e9)},
        {{kBinomial, {{&DistSlot::p, 0.5}}, 1000000000, true, 0}, 5e8, std::sqrt(2.5e8)},
    };
    for (const auto& c : cases) {
        auto s = prepared(c.setup);
        set_rng_type(0, 7);
        for (double v : testing::draws(*s, 50)) EXPECT_NEAR(v, c.mean, 6 * c.sd) << c.mean;
    }
}

// A table whose masses cannot be summed within the walks' bound draws by
// the type's closed-form inverse where it has one (the geometric, the
// discrete uniform), else not a number, never a value from a partial sum.
TEST(Precalc, DiscreteTableBeyondTheReach) {
    struct Case {
        SlotSetup setup;
        double low, high;     // where every draw must lie
        double mean, spread;  // the mean of the draws within spread
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {{kGeometric, {{&DistSlot::p, 1e-6}}}, 0, 1e300, 1e6, 0.08e6},
        {{kGeometric, {{&DistSlot::p, 1e-9}}, 0, true, 5}, 5, 1e300, 1e9, 0.08e9},
        {{kGeometric, {{&DistSlot::p, 1e-7}}, 0, true, 2e6, true, 3e6}, 2e6, 3e6, 2.4917e6, 0.02e6},
        {{kDiscreteUniform, {{&DistSlot::minimum, 0}, {&DistSlot::maximum, 1e12}}, 0, true, 10, true, 1e11},
         10, 1e11, 5e10, 0.3e10},
        {{kLogSeries, {{&DistSlot::shape_a, 1 - 1e-12}}, 0, true, 3}, nan, nan, nan, nan},
    };
    set_rng_type(0, 99);
    for (const auto& c : cases) {
        auto s = prepared(c.setup);
        double sum = 0;
        constexpr int kCount = 2000;
        for (int i = 0; i < kCount; ++i) {
            const double v = dvalue(*s);
            if (std::isnan(c.low)) {
                ASSERT_TRUE(std::isnan(v)) << "dtype " << c.setup.dtype;
                continue;
            }
            ASSERT_GE(v, c.low) << "dtype " << c.setup.dtype;
            ASSERT_LE(v, c.high) << "dtype " << c.setup.dtype;
            ASSERT_EQ(v, std::floor(v));
            sum += v;
        }
        if (!std::isnan(c.mean)) {
            EXPECT_NEAR(sum / kCount, c.mean, c.spread) << "dtype " << c.setup.dtype;
        }
    }
}

// The closed-form geometric draw is the least k of first..last whose share of
// the range's mass reaches u, as summing the masses finds it.
TEST(Precalc, GeometricClosedDrawMatchesTheSummedMasses) {
    const double p = 0.3;
    const double ranges[][2] = {{0, std::numeric_limits<double>::infinity()}, {3, 9}, {4, 4}};
    for (const auto& r : ranges) {
        const double last = std::fmin(r[1], 200);
        double total = 0;
        for (double k = r[0]; k <= last; ++k) total += p * std::pow(1 - p, k);
        for (double u = 0.0005; u < 1; u += 0.001) {
            double run = 0, expected = last;
            for (double k = r[0]; k <= last; ++k) {
                run += p * std::pow(1 - p, k);
                if (run / total >= u * (1 + 1e-12)) {
                    expected = k;
                    break;
                }
            }
            EXPECT_EQ(geometric_closed_draw(p, r[0], r[1], u), expected) << r[0] << ".." << r[1] << " u " << u;
        }
    }
}

// A truncated slot whose type changed after dinitialise (a host fault) gets
// the table of its current type's class, not a cumulative table summed from
// masses at every extension step.
TEST(Precalc, TruncatedSlotTakesTheClassOfTheTypeItHoldsNow) {
    auto s = initialised({kNormal, {{&DistSlot::mean, 10}, {&DistSlot::stdev, 2}}, 0, false, 0, true, 0});
    EXPECT_EQ(s->dclass, 1);
    s->dtype = kGeometric;  // p left at 0, no new dinitialise
    precalc(*s);
    EXPECT_EQ(s->sample_type, kSampleDiscreteTable);
    EXPECT_EQ(dvalue(*s), 0.0);  // an empty range draws 0
}

TEST(TableExtension, UpperEndGrowsByTenPercentFromTheMean) {
    auto s = prepared(kGammaSetup);
    const double top = s->maximum;
    ASSERT_EQ(top, s->table_x[1000]);
    const double u = 0.99999;
    EXPECT_TRUE(table_extend_up(*s, u));
    ASSERT_GT(s->table_count, 1001);
    double expected = top;
    for (int i = 1001; i < s->table_count; ++i) {
        expected = s->mean + (expected - s->mean) * 1.1;
        EXPECT_EQ(s->table_x[i], expected) << i;
        EXPECT_EQ(s->table_p[i], cumulative(*s, expected)) << i;
    }
    EXPECT_GE(s->table_p[s->table_count - 1], u);
    EXPECT_LT(s->table_p[s->table_count - 2], u);
    // The working end and the statistics stay as initialised: the growth
    // lives in the table alone, which precalc builds afresh.
    EXPECT_EQ(s->maximum, top);
    EXPECT_EQ(s->dmaximum, top);
    EXPECT_EQ(s->pmax_extend, 0);
}

TEST(TableExtension, LowerEndIntegratesTheDensityWithoutCumulative) {
    // Exponential power: no closed cumulative, so new probabilities come from
    // the density integral to the neighbouring entry.
    auto s = prepared(
        {kExpPower, {{&DistSlot::mean, 1.0}, {&DistSlot::scale, 1.0}, {&DistSlot::shape_a, 1.0}}});
    ASSERT_EQ(s->cdf_exists, 0);
    const double bottom = s->table_x[0];
    const double working_minimum = s->minimum;
    const double u = 1e-4;
    EXPECT_TRUE(table_extend_down(*s, u));
    const int added = s->table_count - 1001;
    ASSERT_GT(added, 0);
    double expected = bottom;
    for (int i = added - 1; i >= 0; --i) {
        expected = s->mean - (s->mean - expected) * 1.1;
        EXPECT_EQ(s->table_x[i], expected);
        EXPECT_EQ(s->table_p[i], s->table_p[i + 1] - integrate_density(*s, s->table_x[i], s->table_x[i + 1]));
    }
    EXPECT_LE(s->table_p[0], u);
    EXPECT_EQ(s->minimum, working_minimum);
}

TEST(TableExtension, FullTableSetsTheFlagOfItsSideOnEveryAttempt) {
    auto s = prepared(kGammaSetup);
    EXPECT_FALSE(table_extend_up(*s, 1.5));  // a probability no table reaches
    EXPECT_EQ(s->table_count, kTableSize);
    EXPECT_EQ(s->pmax_extend, 1);
    EXPECT_EQ(s->pmin_extend, 0);
    for (int i = 1; i < kTableSize; ++i) ASSERT_GT(s->table_x[i], s->table_x[i - 1]) << i;
    s->pmax_extend = 0;
    EXPECT_FALSE(table_extend_up(*s, 1.5));
    EXPECT_EQ(s->table_count, kTableSize);
    EXPECT_EQ(s->pmax_extend, 1);
    EXPECT_FALSE(table_extend_down(*s, -0.5));
    EXPECT_EQ(s->pmin_extend, 1);
}

TEST(TableExtension, SlotTruncatedAboveExtendsBelowItsTableInOrder) {
    // Normal cut at -1: the table starts at the truncated 0.005 quantile
    // (about -3.16), below the untruncated working minimum (about -2.58).
    auto s = prepared({kNormal, {{&DistSlot::stdev, 1.0}}, 0, false, 0.0, true, -1.0});
    ASSERT_LT(s->table_x[0], s->minimum);
    EXPECT_TRUE(table_extend_down(*s, 1e-6));
    for (int i = 1; i < s->table_count; ++i) {
        ASSERT_GT(s->table_x[i], s->table_x[i - 1]) << i;
        ASSERT_GE(s->table_p[i], s->table_p[i - 1]) << i;
    }
    EXPECT_LE(s->table_p[0], 1e-6);
}

}  // namespace
}  // namespace kvz
