// Density, validity test and discrete support: the formulas against
// independent references, the exact edge behaviour, and the masses of large
// discrete parameters that overflow their factorials.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "eval/eval.h"
#include "eval/masses.h"
#include "tests/eval/test_slots.h"

namespace kvz {
namespace {

using test::make_slot;
using test::Params;

constexpr double kPi = 3.141592653589793;
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Density, MatchesReferenceValues) {
    struct Case { Params in; double x, ref; };
    const Case cases[] = {
        // scipy.stats 1.10 pdf / pmf with the matching parameterisation
        {{.dtype = kNormal, .mean = 1, .stdev = 2}, 0, 0.17603266338214973},
        {{.dtype = kBeta, .minimum = 1, .maximum = 3, .shape_a = 2, .shape_b = 3}, 2, 0.75},
        {{.dtype = kLognormal, .lmean = 0.5, .lstdev = 0.8}, 2, 0.2421767748848334},
        {{.dtype = kWeibull, .minimum = 1, .scale = 2, .shape_a = 1.5}, 2.5, 0.33924179661051485},
        {{.dtype = kInverseGaussian, .mean = 2, .scale = 3}, 1.5, 0.3533380431253714},
        {{.dtype = kStudentT, .shape_a = 5}, 1.3, 0.1584767357289824},
        {{.dtype = kFisherF, .shape_a = 4, .shape_b = 7}, 1.1, 0.3869543058381509},
        {{.dtype = kGumbel, .mode = 1, .scale = 2}, 0, 0.15852096053897108},
        {{.dtype = kLogistic, .mean = 1, .stdev = 2}, 0, 0.18582462414585452},
        {{.dtype = kCauchy, .mean = 1, .scale = 2}, 0, 0.12732395447351627},
        {{.dtype = kLaplace, .mean = 1, .scale = 2}, 0, 0.15163266492815836},
        {{.dtype = kRayleigh, .scale = 2}, 1.5, 0.2830648507458778},
        {{.dtype = kPareto, .mode = 2, .shape_a = 3}, 2.5, 0.6144},
        {{.dtype = kPowerFunction, .minimum = 1, .maximum = 3, .shape_a = 2.5}, 2, 0.4419417382415922},
        {{.dtype = kExponential, .mean = 2}, 1.5, 0.23618327637050734},
        {{.dtype = kGamma, .scale = 2, .shape_a = 0.5}, 1.5, 0.15386632280545526},
        {{.dtype = kExpPower, .mean = 1, .scale = 2, .shape_a = 1.5}, 2.2, 0.1255836228074891},
        {{.dtype = kPoisson, .mean = 3.5}, 4, 0.1888122854088196},
        {{.dtype = kGeometric, .p = 0.3}, 2, 0.147},
        {{.dtype = kBinomial, .n = 10, .p = 0.3}, 4, 0.2001209489999999},
        {{.dtype = kHypergeometric, .pop = 20, .popsuc = 7, .sam = 5}, 2, 0.38738390092879255},
        {{.dtype = kLogSeries, .shape_a = 0.6}, 3, 0.07857768009148498},
        {{.dtype = kDiscreteUniform, .minimum = 1, .maximum = 6}, 3, 1.0 / 6},
        // log_gamma and the gamma family agree to about 1e-10 relative
    };
    for (const auto& c : cases) {
        const auto s = make_slot(c.in);
        EXPECT_NEAR(density(*s, c.x), c.ref, 1e-9 * c.ref) << "dtype " << c.in.dtype;
    }
}

TEST(Density, EdgeValuesAreExact) {
    struct Case { const char* what; Params in; double x, expected; };
    const Case cases[] = {
        {"normal at its mean", {.dtype = kNormal, .mean = 0, .stdev = 1}, 0, 1 / std::sqrt(2 * kPi)},
        {"triangular at the mode", {.dtype = kTriangular, .mode = 1, .minimum = 0, .maximum = 4}, 1, 0.5},
        {"triangular, mode at minimum", {.dtype = kTriangular, .mode = 0, .minimum = 0, .maximum = 4}, 0, 0.5},
        {"triangular, mode at maximum", {.dtype = kTriangular, .mode = 4, .minimum = 0, .maximum = 4}, 4, 0.5},
        {"beta pole at the lower end", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 0.5, .shape_b = 2}, 0, 1e9},
        {"beta below the lower end", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 0.5, .shape_b = 2}, -3, 0},
        {"beta pole at the upper end", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 2, .shape_b = 0.5}, 1, 1e9},
        {"gamma shape below 1 at 0", {.dtype = kGamma, .scale = 2, .shape_a = 0.5}, 0, 0},
        {"gamma shape 1 at 0", {.dtype = kGamma, .scale = 2, .shape_a = 1}, 0, 0.5},
        {"Weibull at its location", {.dtype = kWeibull, .minimum = 1, .scale = 2, .shape_a = 0.5}, 1, 0},
        {"Rayleigh at 0", {.dtype = kRayleigh, .scale = 2}, 0, 0},
        {"lognormal at 0", {.dtype = kLognormal, .lmean = 0, .lstdev = 1}, 0, 0},
        {"lognormal below 0", {.dtype = kLognormal, .lmean = 0, .lstdev = 1}, -1, 0},
        {"inverse Gaussian at 0", {.dtype = kInverseGaussian, .mean = 1, .scale = 2}, 0, 0},
        {"uniform inside", {.dtype = kUniform, .minimum = 2, .maximum = 6}, 3, 0.25},
        {"uniform above its maximum", {.dtype = kUniform, .minimum = 2, .maximum = 6}, 100, 0},
        {"degenerate at its value", {.dtype = kDegenerate, .mean = 3}, 3, 1},
        {"degenerate elsewhere", {.dtype = kDegenerate, .mean = 3}, -7, 0},
        {"triangular below its minimum", {.dtype = kTriangular, .mode = 1, .minimum = 0, .maximum = 2}, -1, 0},
        {"exponential below 0", {.dtype = kExponential, .mean = 1}, -1, 0},
        {"hypergeometric between whole numbers", {.dtype = kHypergeometric, .pop = 50, .popsuc = 10, .sam = 5}, 1.5, 0},
        {"hypergeometric below its support", {.dtype = kHypergeometric, .pop = 50, .popsuc = 10, .sam = 5}, -1, 0},
        {"discrete uniform above its maximum", {.dtype = kDiscreteUniform, .minimum = 1, .maximum = 6}, 7, 0},
        {"log series at 0", {.dtype = kLogSeries, .shape_a = 0.5}, 0, 0},
        {"code 5", {.dtype = 5, .mean = 1, .stdev = 1}, 1, 0},
        {"code 32", {.dtype = 32, .mean = 1, .stdev = 1}, 1, 0},
        {"code 33", {.dtype = 33, .mean = 1, .stdev = 1}, 1, 0},
        {"code 99", {.dtype = 99, .mean = 1, .stdev = 1}, 1, 0},
        {"code -1", {.dtype = -1, .mean = 1, .stdev = 1}, 1, 0},
    };
    for (const auto& c : cases) {
        const auto s = make_slot(c.in);
        EXPECT_EQ(density(*s, c.x), c.expected) << c.what;
    }
}

TEST(Density, GammaAliasesUseTheGammaFormula) {
    const auto gamma = make_slot({.dtype = kGamma, .scale = 2, .shape_a = 3});
    EXPECT_NEAR(density(*gamma, 4), std::exp(-2.0), 1e-12);  // (4/2)² e^−2 / 2 / Γ(3)
    for (int alias : {kErlang, kChiSquare}) {
        const auto s = make_slot({.dtype = alias, .scale = 2, .shape_a = 3});
        EXPECT_EQ(density(*s, 4), density(*gamma, 4)) << alias;
    }
}

TEST(Density, TruncationScalesEveryValueOnce) {
    auto uniform = make_slot({.dtype = kUniform, .minimum = 0, .maximum = 5});
    uniform->t_factor = 1.25;
    EXPECT_EQ(density(*uniform, 1), 0.25);

    // The normal approximations are differences of truncated cumulative
    // values: one factor, not two. Φ(0.5) − Φ(−0.5) = 0.38292492254802624
    // and Φ(1) − Φ(0) = 0.3413447460685429 (scipy.stats.norm).
    for (double factor : {1.0, 2.0}) {
        auto binomial = make_slot({.dtype = kNormalBinomial, .mean = 3, .stdev = 1, .n = 10});
        auto poisson = make_slot({.dtype = kNormalPoisson, .mean = 2, .stdev = 1});
        binomial->t_factor = poisson->t_factor = factor;
        EXPECT_NEAR(density(*binomial, 3), factor * 0.38292492254802624, 1e-7);
        EXPECT_NEAR(density(*poisson, 3), factor * 0.3413447460685429, 1e-7);
    }
}

TEST(Density, LogSeriesFormsLnOneMinusThetaWithoutRoundingIt) {
    // 1 − θ rounds to 1 for θ = 1e-20 (ln 1 = 0 made every mass infinite) and
    // loses digits for small θ. scipy.stats.logser pmf.
    struct Case { double theta, x, ref; };
    const Case cases[] = {
        {1e-20, 1, 1.0}, {1e-20, 2, 4.999999999999999e-21}, {1e-20, 3, 3.333333333333333e-41},
        {1e-10, 1, 0.99999999995}, {1e-10, 2, 4.9999999997500004e-11},
        {1e-3, 1, 0.9994999166249736}, {1e-3, 3, 3.331666388749912e-07},
    };
    for (const auto& c : cases) {
        const auto s = make_slot({.dtype = kLogSeries, .shape_a = c.theta});
        EXPECT_NEAR(density(*s, c.x), c.ref, 1e-14 * c.ref) << c.theta << " at " << c.x;
    }
    // Where 1 − θ is exact (every θ from 1/2 up) the masses keep their bits.
    for (double theta : {0.5, 0.6, 0.99}) {
        const auto s = make_slot({.dtype = kLogSeries, .shape_a = theta});
        EXPECT_EQ(density(*s, 3), std::pow(theta, 3.0) * (-1) / 3 / std::log(1 - theta)) << theta;
    }
}

TEST(Density, SmallMassesKeepTheDirectFormulaBitForBit) {
    const auto poisson = make_slot({.dtype = kPoisson, .mean = 3});
    EXPECT_EQ(density(*poisson, 2), std::pow(3.0, 2.0) * std::exp(-3.0) / 2);
    const auto binomial = make_slot({.dtype = kBinomial, .n = 5, .p = 0.25});
    EXPECT_EQ(density(*binomial, 2), 10 * std::pow(0.25, 2.0) * std::pow(0.75, 3.0));
    // 171! overflows but its Poisson mass does not: 1^171 e^−1 / 171! with the
    // factorial from log_gamma, so compare at its accuracy.
    const auto unit = make_slot({.dtype = kPoisson, .mean = 1});
    EXPECT_NEAR(density(*unit, 171), std::exp(-1 - std::lgamma(172.0)), 1e-9 * std::exp(-1 - std::lgamma(172.0)));
}

TEST(Density, LargeParameterMassesStayFiniteAndSumToOne) {
    struct Case { const char* what; Params in; double x, ref; };
    const Case cases[] = {
        // scipy.stats pmf at a point near the centre
        {"binomial n 1000", {.dtype = kBinomial, .n = 1000, .p = 0.3}, 300, 0.027521003821268365},
        {"hypergeometric 10000/4000/500", {.dtype = kHypergeometric, .pop = 10000, .popsuc = 4000, .sam = 500}, 200, 0.03734460121475696},
        {"Poisson mean 1000", {.dtype = kPoisson, .mean = 1000}, 1000, 0.01261461134870819},
    };
    for (const auto& c : cases) {
        const auto s = make_slot(c.in);
        EXPECT_NEAR(density(*s, c.x), c.ref, 1e-8 * c.ref) << c.what;
        const Support support = type_support(*s);
        const double last = std::isfinite(support.last) ? support.last : 3000;
        double sum = 0;
        for (double i = support.first; i <= last; ++i) {
            const double m = density(*s, i);
            ASSERT_TRUE(std::isfinite(m)) << c.what << " at " << i;
            sum += m;
        }
        EXPECT_NEAR(sum, 1.0, 1e-9) << c.what;
    }
}

// Large shapes overflow Γ and the powers of the literal formulas although the
// densities are ordinary numbers; those values come from logarithms.
TEST(Density, LargeShapesGiveFiniteDensities) {
    struct Case { const char* what; Params in; double x, ref, rel = 1e-9; };
    const Case cases[] = {
        // scipy.stats pdf; log_gamma is good to about 2e-10 relative, but at ν = 1e6
        // its values near 6e6 carry a rounding of 9e-10 each into their difference.
        {"gamma a 500 at its mean", {.dtype = kGamma, .scale = 1, .shape_a = 500}, 500, 0.017838267869512373},
        {"gamma a 500 far below", {.dtype = kGamma, .scale = 1, .shape_a = 500}, 100, 1.524450330806074e-177},
        {"gamma a 5000 scale 2", {.dtype = kGamma, .scale = 2, .shape_a = 5000}, 9800, 0.001044692331621849},
        {"beta 2000, 3000", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 2000, .shape_b = 3000}, 0.4, 57.57931925653615},
        {"beta 2000, 3000 on [10, 20]", {.dtype = kBeta, .minimum = 10, .maximum = 20, .shape_a = 2000, .shape_b = 3000}, 14.1, 2.02701264731906},
        {"t df 1000 at 0", {.dtype = kStudentT, .shape_a = 1000}, 0, 0.3988425573137069},
        {"t df 1000 in the tail", {.dtype = kStudentT, .shape_a = 1000}, 2.5, 0.017640133095126017},
        {"t df 1e6 at 0", {.dtype = kStudentT, .shape_a = 1e6}, 0, 0.39894218081932037, 4e-9},
        {"t df 1e6 at 1.5", {.dtype = kStudentT, .shape_a = 1e6}, 1.5, 0.1295175815436526, 4e-9},
        {"F 500, 800 at 1", {.dtype = kFisherF, .shape_a = 500, .shape_b = 800}, 1, 4.9462244912192155},
        {"F 500, 800 at 1.2", {.dtype = kFisherF, .shape_a = 500, .shape_b = 800}, 1.2, 0.30928574084871285},
        {"Pareto a 500 from 5", {.dtype = kPareto, .mode = 5, .shape_a = 500}, 5.02, 13.533492378139906},
        {"Weibull a 400 from 1", {.dtype = kWeibull, .minimum = 1, .scale = 2.5, .shape_a = 400}, 3.5, 58.86071058743079},
        {"power function a 400 on [1, 3]", {.dtype = kPowerFunction, .minimum = 1, .maximum = 3, .shape_a = 400}, 2.9, 2.586714549793209e-07},
        // scipy.stats.gennorm with beta 2 / a and scale s 2^(a/2), through logpdf
        {"exponential power a 360 scale 1e-300", {.dtype = kExpPower, .mean = 0, .scale = 1e-300, .shape_a = 360}, 1e-300, 9.850360366863204e-85},
    };
    for (const auto& c : cases) {
        const auto s = make_slot(c.in);
        EXPECT_NEAR(density(*s, c.x), c.ref, c.rel * c.ref) << c.what;
    }
}

// Where the literal formula can be formed its value is kept to the last bit;
// outside the support a large shape keeps the literal NaN; the exact rules at
// 0 hold for large shapes too.
TEST(Density, LogarithmsOnlyReplaceOverflowInsideTheSupport) {
    const auto gamma = make_slot({.dtype = kGamma, .scale = 2, .shape_a = 3.5});
    EXPECT_EQ(density(*gamma, 4.5),
              std::pow(4.5 / 2, 2.5) * std::exp(-4.5 / 2) / 2 / std::exp(log_gamma(3.5)));
    const auto beta = make_slot({.dtype = kBeta, .minimum = 1, .maximum = 4, .shape_a = 2.5, .shape_b = 1.5});
    EXPECT_EQ(density(*beta, 2.2), std::pow(2.2 - 1, 1.5) * std::pow(4 - 2.2, 0.5) / beta_function(2.5, 1.5) /
                                       std::pow(3.0, 3.0));
    const auto t = make_slot({.dtype = kStudentT, .shape_a = 7});
    EXPECT_EQ(density(*t, -1.3), std::exp(log_gamma(4.0)) / std::sqrt(kPi * 7) / std::exp(log_gamma(3.5)) /
                                     std::pow(1 + (-1.3 * -1.3) / 7, 4.0));
    const auto f = make_slot({.dtype = kFisherF, .shape_a = 5, .shape_b = 9});
    EXPECT_EQ(density(*f, 0.8), std::exp(log_gamma(7.0)) * std::pow(5.0 / 9, 2.5) * std::pow(0.8, 1.5) /
                                    std::exp(log_gamma(2.5)) / std::exp(log_gamma(4.5)) /
                                    std::pow(1 + 0.8 * 5 / 9, 7.0));

    struct Case { const char* what; Params in; double x, expected; };
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"gamma a 500.5 below 0: no mass", {.dtype = kGamma, .scale = 1, .shape_a = 500.5}, -1, 0},
        {"beta 2000.5, 3000 below its minimum: no mass", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 2000.5, .shape_b = 3000}, -0.1, 0},
        {"F 500.5, 800 below 0: no mass", {.dtype = kFisherF, .shape_a = 500.5, .shape_b = 800}, -1, 0},
        {"gamma a 500.5, not a number", {.dtype = kGamma, .scale = 1, .shape_a = 500.5}, kNaN, kNaN},
        {"gamma a 500 at 0", {.dtype = kGamma, .scale = 1, .shape_a = 500}, 0, 0},
        {"gamma a 0.5 at 0", {.dtype = kGamma, .scale = 1, .shape_a = 0.5}, 0, 0},
        {"beta 2000, 3000 at its minimum", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 2000, .shape_b = 3000}, 0, 0},
        {"beta 2000, 0.5 pole at its maximum", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 2000, .shape_b = 0.5}, 1, 1e9},
        {"F 500, 800 at 0", {.dtype = kFisherF, .shape_a = 500, .shape_b = 800}, 0, 0},
        {"F 1, 1000 pole at 0", {.dtype = kFisherF, .shape_a = 1, .shape_b = 1000}, 0, kInf},
        {"t df 5 beyond the range of the power", {.dtype = kStudentT, .shape_a = 5}, 1e62, 0},
    };
    for (const auto& c : cases) {
        const auto s = make_slot(c.in);
        const double got = density(*s, c.x);
        if (std::isnan(c.expected)) EXPECT_TRUE(std::isnan(got)) << c.what << ": " << got;
        else EXPECT_EQ(got, c.expected) << c.what;
    }
}

TEST(DensityValid, IsZeroExactlyAtThePoles) {
    struct Case { const char* what; Params in; double x; int expected; };
    const Case cases[] = {
        {"beta a < 1 at minimum", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 0.5, .shape_b = 2}, 0, 0},
        {"beta a < 1 below minimum: no mass there", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 0.5, .shape_b = 2}, -1, 1},
        {"F 1, 1000 at its infinite pole", {.dtype = kFisherF, .shape_a = 1, .shape_b = 1000}, 0, 0},
        {"log series at 0, outside its support", {.dtype = kLogSeries, .shape_a = 0.5}, 0, 1},
        {"beta a >= 1 at minimum", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 2, .shape_b = 2}, 0, 1},
        {"beta b < 1 at maximum", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 2, .shape_b = 0.5}, 1, 0},
        {"beta inside", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 0.5, .shape_b = 0.5}, 0.5, 1},
        {"gamma a < 1 at 0", {.dtype = kGamma, .scale = 1, .shape_a = 0.5}, 0, 0},
        {"chi-square a < 1 at 0", {.dtype = kChiSquare, .scale = 2, .shape_a = 0.5}, 0, 0},
        {"Erlang a < 1 at 0", {.dtype = kErlang, .scale = 2, .shape_a = 0.5}, 0, 0},
        {"gamma a < 1 above 0", {.dtype = kGamma, .scale = 1, .shape_a = 0.5}, 0.1, 1},
        {"Weibull a < 1 at location", {.dtype = kWeibull, .minimum = 2, .scale = 1, .shape_a = 0.7}, 2, 0},
        {"Weibull a >= 1 at location", {.dtype = kWeibull, .minimum = 2, .scale = 1, .shape_a = 1.0}, 2, 1},
        {"power a < 1 at minimum", {.dtype = kPowerFunction, .minimum = 0, .maximum = 2, .shape_a = 0.5}, 0, 0},
        {"power a 12 at maximum", {.dtype = kPowerFunction, .minimum = 0, .maximum = 2, .shape_a = 12}, 2, 0},
        {"power a 10 at maximum", {.dtype = kPowerFunction, .minimum = 0, .maximum = 2, .shape_a = 10}, 2, 1},
        {"lognormal by moments is not mapped", {.dtype = kLognormalByMoments, .lmean = 0, .lstdev = 1}, 0, 1},
        {"code 5", {.dtype = 5}, 0, 1},
    };
    for (const auto& c : cases) {
        const auto s = make_slot(c.in);
        EXPECT_EQ(density_valid(*s, c.x), c.expected) << c.what;
    }
    // The invalid power-function end still has the formula's value a / range.
    const auto steep = make_slot({.dtype = kPowerFunction, .minimum = 0, .maximum = 2, .shape_a = 12});
    EXPECT_DOUBLE_EQ(density(*steep, 2), 6.0);
}

TEST(DiscreteSupport, CoversTheWholeNumbersEachTypeCanTake) {
    struct Case { Params in; double first, last; };
    const Case cases[] = {
        {{.dtype = kPoisson, .mean = 4}, 0, kInf},
        {{.dtype = kGeometric, .p = 0.3}, 0, kInf},
        {{.dtype = kNormalPoisson, .mean = 4}, 0, kInf},
        {{.dtype = kLogSeries, .shape_a = 0.5}, 1, kInf},
        {{.dtype = kBinomial, .n = 12, .p = 0.5}, 0, 12},
        {{.dtype = kNormalBinomial, .n = 12, .p = 0.5}, 0, 12},
        {{.dtype = kHypergeometric, .pop = 10, .popsuc = 8, .sam = 5}, 3, 5},
        {{.dtype = kHypergeometric, .pop = 50, .popsuc = 4, .sam = 10}, 0, 4},
        {{.dtype = kDiscreteUniform, .minimum = -2, .maximum = 3}, -2, 3},
        {{.dtype = kDegenerate, .mean = 7}, 7, 7},
    };
    for (const auto& c : cases) {
        const auto s = make_slot(c.in);
        const Support got = type_support(*s);
        EXPECT_EQ(got.first, c.first) << c.in.dtype;
        EXPECT_EQ(got.last, c.last) << c.in.dtype;
    }
}

// Masses whose direct product overflows come from their logarithms by the
// saddle point, to full precision where the terms of the logarithm cancel.
// References: the logarithms of the factorials in 60-digit decimal arithmetic,
// or the direct product in 50 digits.
TEST(Density, MassesOfHugeParametersKeepTheirDigits) {
    struct Case { const char* what; Params in; double x, ref; };
    const Case cases[] = {
        {"Poisson 1e9 at its mean", {.dtype = kPoisson, .mean = 1e9}, 1e9, 1.2615662609049494e-05},
        {"Poisson 1e9 1.6 sd out", {.dtype = kPoisson, .mean = 1e9}, 1e9 + 50000, 3.6144327932709086e-06},
        {"Poisson 500 past 170!", {.dtype = kPoisson, .mean = 500}, 520, 0.011786693714641593},
        {"binomial 1e9, 0.5", {.dtype = kBinomial, .n = 1000000000, .p = 0.5}, 5e8, 2.5231325213893768e-05},
        {"binomial 1e9, 0.3", {.dtype = kBinomial, .n = 1000000000, .p = 0.3}, 3e8 + 20000, 1.0621445042762415e-05},
        {"hypergeometric 2e9/1e9/1e6", {.dtype = kHypergeometric, .pop = 2e9, .popsuc = 1e9, .sam = 1e6}, 5e5, 0.000798083907254873},
        // A factor of the direct product underflows (e^−800, 0.001^110) while
        // the mass does not.
        {"Poisson 800 at 100", {.dtype = kPoisson, .mean = 800}, 100, 8.0058882159864403e-216},
        {"Poisson 1000 at 170", {.dtype = kPoisson, .mean = 1000}, 170, 6.9941686774046454e-232},
        {"binomial 170, 0.001", {.dtype = kBinomial, .n = 170, .p = 0.001}, 110, 5.1715269725541067e-284},
        {"binomial 170, 0.999", {.dtype = kBinomial, .n = 170, .p = 0.999}, 60, 5.1715269725545999e-284},
    };
    for (const auto& c : cases) {
        const auto s = make_slot(c.in);
        EXPECT_NEAR(density(*s, c.x), c.ref, 1e-12 * c.ref) << c.what;
    }
}

}  // namespace
}  // namespace kvz
