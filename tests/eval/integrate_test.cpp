// Trapezoid integration of the density with successive halving.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "eval/eval.h"
#include "special/special.h"
#include "tests/eval/test_slots.h"

namespace kvz {
namespace {

using test::make_slot;
using test::Params;

TEST(IntegrateDensity, EqualLimitsGiveZeroWithoutTouchingTheDensity) {
    // A density that is not a number anywhere: any evaluation would show.
    const auto s = make_slot({.dtype = kNormal, .mean = 0, .stdev = std::numeric_limits<double>::quiet_NaN()});
    EXPECT_EQ(integrate_density(*s, 1.5, 1.5), 0.0);
}

TEST(IntegrateDensity, AgreesWithTheCumulativeDistribution) {
    struct Case { Params in; double u, v, tolerance; };
    const Case cases[] = {
        // a flat density is integrated exactly by the first level
        {{.dtype = kUniform, .minimum = 0, .maximum = 4}, 0.5, 3.5, 1e-15},
        {{.dtype = kNormal, .mean = 1, .stdev = 2}, -1, 4, 1e-6},
        {{.dtype = kGamma, .scale = 2, .shape_a = 3}, 0.5, 9, 1e-6},
        {{.dtype = kLogistic, .mean = 0, .stdev = 1}, -3, 0.5, 1e-6},
        // slope of the density unbounded near the location: slower convergence
        {{.dtype = kWeibull, .minimum = 1, .scale = 2, .shape_a = 1.5}, 1.2, 6, 1e-5},
    };
    for (const auto& c : cases) {
        const auto s = make_slot(c.in);
        const double expected = cumulative(*s, c.v) - cumulative(*s, c.u);
        EXPECT_NEAR(integrate_density(*s, c.u, c.v), expected, c.tolerance * std::fabs(expected))
            << "dtype " << c.in.dtype;
        // Reversed limits: the same integral with the opposite sign.
        EXPECT_NEAR(integrate_density(*s, c.v, c.u), -expected, c.tolerance * std::fabs(expected))
            << "dtype " << c.in.dtype;
    }
}

TEST(IntegrateDensity, CarriesTheTruncationFactor) {
    auto s = make_slot({.dtype = kNormal, .mean = 0, .stdev = 1});
    const double plain = integrate_density(*s, -1, 2);
    s->t_factor = 1.6;
    EXPECT_DOUBLE_EQ(integrate_density(*s, -1, 2), 1.6 * plain);
}

TEST(IntegrateDensity, StopsAtTheLevelLimitWhenItCannotSettle) {
    // Peaks narrower than the finest grid (1024 intervals over [−1e4, 1e4]):
    // no two levels agree, the tenth level's sum is returned, finite.
    const auto s = make_slot({.dtype = kNormal, .mean = 0.3, .stdev = 1e-3});
    const double v = integrate_density(*s, -1e4, 1e4);
    EXPECT_TRUE(std::isfinite(v));
    EXPECT_GE(v, 0.0);
}

}  // namespace
}  // namespace kvz
