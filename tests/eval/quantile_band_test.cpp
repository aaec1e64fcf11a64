// The quantile search that decides halvings in advance answers the bit-exact
// result of the search that evaluates every midpoint, and the band it relies
// on holds: below its lower edge the cumulative value is certainly below
// p − tolerance, above its upper edge above p + tolerance.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "eval/eval.h"
#include "eval/quantile_band.h"
#include "init/init.h"
#include "special/special.h"
#include "tests/eval/test_slots.h"

namespace kvz {
namespace {

constexpr double kTolerance = 1e-6;  // the bisection's, on the probability

// A slot's inputs, its truncation and a name for the messages.
struct Case {
    std::string what;
    test::Params in;
    Flag lower = 0;
    double t_min = 0;
    Flag upper = 0;
    double t_max = 0;
};

const Case kCases[] = {
    {.what = "normal", .in = {.dtype = 4, .mean = 0, .stdev = 1}},
    {.what = "normal far off", .in = {.dtype = 4, .mean = 1e6, .stdev = 1e-3}},
    {.what = "normal wide", .in = {.dtype = 4, .mean = -3, .stdev = 250}},
    {.what = "normal cut", .in = {.dtype = 4, .mean = 0, .stdev = 1},
     .lower = 1, .t_min = -1, .upper = 1, .t_max = 2},
    // Bracket ends at equal distances from the mode of a symmetric density.
    {.what = "normal cut evenly about the mean", .in = {.dtype = 4, .mean = 0.25, .stdev = 1},
     .lower = 1, .t_min = -1.25, .upper = 1, .t_max = 1.75},
    {.what = "normal narrow cut", .in = {.dtype = 4, .mean = 0, .stdev = 1},
     .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 0.6},
    {.what = "normal tail cut", .in = {.dtype = 4, .mean = 0, .stdev = 1}, .lower = 1, .t_min = 3},
    {.what = "normal one cut", .in = {.dtype = 4, .mean = 0, .stdev = 1}, .upper = 1, .t_max = 0.3},
    {.what = "gamma 0.05", .in = {.dtype = 12, .scale = 1, .shape_a = 0.05}},
    {.what = "gamma 0.5", .in = {.dtype = 12, .scale = 2, .shape_a = 0.5}},
    {.what = "gamma 1", .in = {.dtype = 12, .scale = 0.1, .shape_a = 1}},
    {.what = "gamma 3", .in = {.dtype = 12, .scale = 2, .shape_a = 3}},
    {.what = "gamma 100", .in = {.dtype = 12, .scale = 1, .shape_a = 100}},
    {.what = "gamma 250", .in = {.dtype = 12, .scale = 3, .shape_a = 250}},
    {.what = "gamma 5000, no bound", .in = {.dtype = 12, .scale = 1, .shape_a = 5000}},
    {.what = "gamma cut", .in = {.dtype = 12, .scale = 2, .shape_a = 3},
     .lower = 1, .t_min = 1, .upper = 1, .t_max = 10},
    {.what = "chi-square 5", .in = {.dtype = 25, .shape_a = 5}},
    {.what = "Erlang 4", .in = {.dtype = 24, .scale = 1.5, .shape_a = 4}},
    {.what = "beta 2 3", .in = {.dtype = 11, .minimum = 0, .maximum = 1, .shape_a = 2, .shape_b = 3}},
    {.what = "beta 0.5 2", .in = {.dtype = 11, .minimum = 0, .maximum = 1, .shape_a = 0.5, .shape_b = 2}},
    {.what = "beta 5 0.7", .in = {.dtype = 11, .minimum = 10, .maximum = 20, .shape_a = 5, .shape_b = 0.7}},
    {.what = "beta 0.5 0.5, U-shaped",
     .in = {.dtype = 11, .minimum = 0, .maximum = 1, .shape_a = 0.5, .shape_b = 0.5}},
    {.what = "beta 60 90", .in = {.dtype = 11, .minimum = -1, .maximum = 1, .shape_a = 60, .shape_b = 90}},
    {.what = "beta cut", .in = {.dtype = 11, .minimum = 0, .maximum = 1, .shape_a = 2, .shape_b = 3},
     .lower = 1, .t_min = 0.2, .upper = 1, .t_max = 0.7},
    {.what = "lognormal", .in = {.dtype = 23, .lmean = 0, .lstdev = 1}},
    {.what = "lognormal narrow far off", .in = {.dtype = 23, .lmean = 500, .lstdev = 1e-3}},
    {.what = "lognormal wide", .in = {.dtype = 23, .lmean = -2, .lstdev = 6}},
    {.what = "lognormal by moments", .in = {.dtype = 22, .mean = 3, .stdev = 2}},
    {.what = "lognormal cut", .in = {.dtype = 23, .lmean = 0.5, .lstdev = 0.4},
     .lower = 1, .t_min = 0.8, .upper = 1, .t_max = 3},
    {.what = "t 0.5", .in = {.dtype = 35, .shape_a = 0.5}},
    {.what = "t 1", .in = {.dtype = 35, .shape_a = 1}},
    {.what = "t 5", .in = {.dtype = 35, .shape_a = 5}},
    {.what = "t 300", .in = {.dtype = 35, .shape_a = 300}},
    {.what = "t cut", .in = {.dtype = 35, .shape_a = 5}, .lower = 1, .t_min = -2, .upper = 1, .t_max = 4},
};

std::unique_ptr<DistSlot> initialised(const Case& c) {
    auto s = test::make_slot(c.in);
    s->t_min_flag = c.lower;
    s->t_min = c.t_min;
    s->t_max_flag = c.upper;
    s->t_max = c.t_max;
    dinitialise(*s);
    return s;
}

// The ends and the edges of the tolerance, the common probabilities, a dense
// grid and random ones.
std::vector<double> probabilities() {
    std::vector<double> p = {0,       4.9e-324, 1e-300, 1e-12, 1e-7,  9.99e-7, 1e-6,  1.0000001e-6, 2e-6,
                             1e-5,    1e-3,     0.005,  0.01,  0.1,   0.25,    0.5,   0.75,         0.9,
                             0.99,    0.995,    0.999,  1 - 1e-5, 1 - 2e-6, 1 - 1e-6, 1 - 1e-7, 1 - 1e-12,
                             std::nextafter(1.0, 0.0), 1};
    for (int i = 1; i < 400; ++i) p.push_back(i / 400.0);
    std::mt19937_64 gen(2024);
    std::uniform_real_distribution<double> u(0, 1);
    for (int i = 0; i < 400; ++i) p.push_back(u(gen));
    for (int i = 0; i < 100; ++i) p.push_back(std::pow(10.0, -12 * u(gen)));
    for (int i = 0; i < 100; ++i) p.push_back(1 - std::pow(10.0, -12 * u(gen)));
    return p;
}

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

TEST(QuantileBand, SearchAnswersTheBitsOfEvaluatingEveryMidpoint) {
    const std::vector<double> ps = probabilities();
    for (const Case& c : kCases) {
        const auto s = initialised(c);
        for (double p : ps) {
            const double fast = inverse_bisection(*s, p);
            const double plain = inverse_bisection_plain(*s, p);
            ASSERT_EQ(bits(fast), bits(plain)) << c.what << " p " << p << ": " << fast << " vs " << plain;
        }
    }
}

TEST(QuantileBand, InitialisedStatisticsComeFromTheSameQuantiles) {
    for (const Case& c : kCases) {
        const auto s = initialised(c);
        if (s->t_min_flag || s->t_max_flag) continue;
        // The lognormal's median has a closed form.
        if (kCumulativeAlias(s->dtype) != kLognormal) {
            EXPECT_EQ(bits(s->dmedian), bits(inverse_bisection_plain(*s, 0.5))) << c.what;
        }
        if (!s->min_exists) {
            EXPECT_EQ(bits(s->dminimum), bits(inverse_bisection_plain(*s, 0.005))) << c.what;
        }
        if (!s->max_exists) {
            EXPECT_EQ(bits(s->dmaximum), bits(inverse_bisection_plain(*s, 0.995))) << c.what;
        }
    }
}

// Points beyond the edges, from just past them to far out, give the side the
// band claims; the bound and the densities behind the edges are what this
// checks.
TEST(QuantileBand, PointsBeyondTheEdgesLieOnTheirSide) {
    const double ps[] = {1e-5, 0.003, 0.01, 0.2, 0.5, 0.77, 0.99, 0.99999};
    int decided = 0;
    for (const Case& c : kCases) {
        const auto s = initialised(c);
        for (double p : ps) {
            const QuantileBand band(*s, p, kTolerance);
            const double lo = band.below_edge();
            const double hi = band.above_edge();
            for (int k = 0; k < 200; ++k) {
                const double reach = std::ldexp(1.0, -40 + k / 4) * (1 + std::fabs(s->stdev));
                if (std::isfinite(lo) && lo - reach < lo) {
                    const double x = lo - reach;
                    ASSERT_EQ(band.side(x), Side::below);
                    ASSERT_LT(cumulative_across_cut(*s, x), p - kTolerance) << c.what << " p " << p << " x " << x;
                    ++decided;
                }
                if (std::isfinite(hi) && hi + reach > hi) {
                    const double x = hi + reach;
                    ASSERT_EQ(band.side(x), Side::above);
                    ASSERT_GT(cumulative_across_cut(*s, x), p + kTolerance) << c.what << " p " << p << " x " << x;
                    ++decided;
                }
            }
        }
    }
    EXPECT_GT(decided, 0);
}

// A band is a few tolerances wide in probability, so that about one midpoint
// of the search needs F; the types with a bound get one in the bulk of the
// distribution at every shape of their range (far in a tail the Newton steps
// to an anchor may give up), and those without (a shape past the range, a
// U-shaped beta, a cut measured from a tail) none.
TEST(QuantileBand, TypesWithABoundGetANarrowBand) {
    const std::string unbounded[] = {"gamma 5000, no bound", "beta 0.5 0.5, U-shaped", "normal tail cut"};
    for (const Case& c : kCases) {
        const auto s = initialised(c);
        const bool none = std::find(std::begin(unbounded), std::end(unbounded), c.what) != std::end(unbounded);
        for (double p : {0.003, 0.3, 0.9}) {
            const QuantileBand band(*s, p, kTolerance);
            const bool both = std::isfinite(band.below_edge()) && std::isfinite(band.above_edge());
            if (none) {
                EXPECT_FALSE(both) << c.what;
                continue;
            }
            if (p == 0.3) {
                ASSERT_TRUE(both || (s->t_tail != kNoTail)) << c.what << " p " << p;
            }
            if (!both) continue;
            const double spread =
                cumulative_across_cut(*s, band.above_edge()) - cumulative_across_cut(*s, band.below_edge());
            EXPECT_LT(spread, 20 * kTolerance) << c.what << " p " << p;
        }
    }
}

TEST(QuantileBand, NormalQuantileEstimateIsWithinItsError) {
    // Both sides of each region's boundary (0.02425), the centre, far tails.
    for (double p : {1e-300, 1e-20, 1e-6, 0.001, 0.02, 0.02424, 0.02426, 0.3, 0.5, 0.7, 0.97574, 0.97576,
                     0.999999, 1 - 1e-16}) {
        const double z = normal_quantile_estimate(p);
        // The exact quantile lies within 1.2e-9 |z| of the estimate: in the
        // smaller tail q, Φ(−|z| − δ) ≤ q ≤ Φ(−|z| + δ).
        const double q = p < 0.5 ? p : 1 - p;
        const double delta = 1.2e-9 * std::fabs(z);
        EXPECT_LE(normal_cdf_reference(-std::fabs(z) - delta), q) << p;
        EXPECT_GE(normal_cdf_reference(-std::fabs(z) + delta), q) << p;
    }
    EXPECT_TRUE(std::isnan(normal_quantile_estimate(0)));
    EXPECT_TRUE(std::isnan(normal_quantile_estimate(1)));
}

}  // namespace
}  // namespace kvz
