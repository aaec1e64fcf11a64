// Inverse cumulative distribution: the range ends, closed forms and bisection
// against the cumulative distribution, and brackets that must end promptly.
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

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kProbabilities[] = {0.001, 0.02, 0.3, 0.5, 0.77, 0.99, 0.9995};

TEST(Inverse, ProbabilitiesAtOrBeyondTheEndsAnswerTheRange) {
    auto s = make_slot({.dtype = kNormal, .mean = 0, .stdev = 1});
    s->dminimum = -2.5758293035489;  // the 0.005 / 0.995 quantiles, not infinities
    s->dmaximum = 2.5758293035489;
    for (double p : {0.0, -0.5, -kInf, kNaN}) EXPECT_EQ(inverse(*s, p), s->dminimum) << p;
    for (double p : {1.0, 1.5, kInf}) EXPECT_EQ(inverse(*s, p), s->dmaximum) << p;
}

TEST(Inverse, ClosedFormsInvertTheCumulativeDistribution) {
    const Params cases[] = {
        {.dtype = kUniform, .minimum = 1, .maximum = 5},
        {.dtype = kTriangular, .mode = 1, .minimum = 0, .maximum = 4},
        {.dtype = kExponential, .mean = 2},
        {.dtype = kPareto, .mode = 2, .shape_a = 3},
        {.dtype = kCauchy, .mean = 1, .scale = 2},
        {.dtype = kGumbel, .mode = 1, .scale = 2},
        {.dtype = kWeibull, .minimum = 1, .scale = 2, .shape_a = 1.5},
        {.dtype = kLaplace, .mean = 1, .scale = 2},
        {.dtype = kLogistic, .mean = 1, .stdev = 2},
        {.dtype = kPowerFunction, .minimum = 1, .maximum = 3, .shape_a = 2.5},
        {.dtype = kRayleigh, .scale = 2},
    };
    for (const auto& in : cases) {
        const auto s = make_slot(in);
        for (double p : kProbabilities)
            EXPECT_NEAR(cumulative(*s, inverse(*s, p)), p, 1e-12) << "dtype " << in.dtype << " p " << p;
    }
}

TEST(Inverse, BisectionTypesInvertToTheTolerance) {
    // Working centre and spread as the initialisation stores them.
    const Params cases[] = {
        {.dtype = kNormal, .mean = 1, .stdev = 2},
        {.dtype = kBeta, .minimum = 1, .maximum = 3, .shape_a = 2, .shape_b = 3},
        {.dtype = kGamma, .mean = 1, .stdev = 1.4142135623730951, .scale = 2, .shape_a = 0.5},
        {.dtype = kErlang, .mean = 6, .stdev = 3.4641016151377544, .scale = 2, .shape_a = 3},
        {.dtype = kExpPower, .mean = 1, .stdev = 3, .scale = 2, .shape_a = 1.5},
        {.dtype = kLognormal, .mean = 2.27, .lmean = 0.5, .stdev = 2.06, .lstdev = 0.8},
        {.dtype = kInverseGaussian, .mean = 2, .stdev = 1.63, .scale = 3},
        {.dtype = kStudentT, .mean = 0, .stdev = 1, .shape_a = 5},
    };
    for (const auto& in : cases) {
        const auto s = make_slot(in);
        for (double p : kProbabilities)
            EXPECT_NEAR(cumulative(*s, inverse(*s, p)), p, 1e-6) << "dtype " << in.dtype << " p " << p;
    }
}

TEST(Inverse, InverseGaussianWithALargeShapeRatioMatchesReference) {
    // scipy.stats.invgauss(μ/λ, scale=λ).ppf; x within 1e-6 / density.
    struct Case { double lambda, p, ref; };
    const Case cases[] = {
        {18, 0.01, 0.5688230106744196},  {18, 0.5, 0.9730872476497866},
        {18, 0.99, 1.6688108645218112},  {100, 0.01, 0.7891759908203412},
        {100, 0.5, 0.995028952201254},   {100, 0.99, 1.2546885228965905},
    };
    for (const auto& c : cases) {
        const auto s = make_slot({.dtype = kInverseGaussian, .mean = 1, .stdev = std::sqrt(1 / c.lambda), .scale = c.lambda});
        EXPECT_NEAR(inverse(*s, c.p), c.ref, 1e-5) << c.lambda << " " << c.p;
    }
}

TEST(Inverse, InverseGaussianQuantilesFollowTheLogarithmOfTheTail) {
    // λ/μ of 1e3 to 1e5 (the second term's tail underflows). References: the
    // root of ndtr(s(x/μ − 1)) + exp(2λ/μ + log_ndtr(−s(x/μ + 1))) = p and
    // the density there; within 1e-6 in probability.
    struct Case { double mean, scale, p, ref, density; };
    const Case cases[] = {
        {0.5, 500, 0.005, 0.4606721451240693, 0.9935470832714212},
        {0.5, 500, 0.5, 0.49975014572511156, 25.24709552205584},
        {0.5, 500, 0.995, 0.5421436618618074, 0.8442173270443744},
        {0.0001, 1, 0.005, 9.745229089729833e-05, 14839.18846317513},
        {0.0001, 1, 0.5, 9.9995000291645e-05, 398967.21440825117},
        {0.0001, 1, 0.995, 0.00010260405478212894, 14094.098645116841},
        {1, 1e5, 0.005, 0.991882670209391, 4.610037126913942},
        {1, 1e5, 0.5, 0.9999950000291663, 126.15741458028255},
        {1, 1e5, 0.995, 1.008173678427922, 4.535543735068235},
    };
    for (const auto& c : cases) {
        const double stdev = std::sqrt(c.mean * c.mean * c.mean / c.scale);
        const auto s = make_slot({.dtype = kInverseGaussian, .mean = c.mean, .stdev = stdev, .scale = c.scale});
        EXPECT_NEAR((inverse(*s, c.p) - c.ref) * c.density, 0.0, 1e-6) << c.mean << " " << c.scale << " p " << c.p;
    }
}

TEST(Inverse, EdgeValuesAreExact) {
    struct Case { const char* what; Params in; double p, expected; };
    const Case cases[] = {
        {"triangular at the mode's probability", {.dtype = kTriangular, .mode = 1, .minimum = 0, .maximum = 4}, 0.25, 1},
        {"discrete uniform is not made whole", {.dtype = kDiscreteUniform, .minimum = 1, .maximum = 6}, 0.5, 4},
        {"Laplace at one half", {.dtype = kLaplace, .mean = 3, .scale = 2}, 0.5, 3},
        {"degenerate", {.dtype = kDegenerate, .mean = 7}, 0.3, 7},
        {"Poisson untruncated", {.dtype = kPoisson, .mean = 3}, 0.5, 0},
        {"geometric untruncated", {.dtype = kGeometric, .p = 0.3}, 0.5, 0},
        {"binomial untruncated", {.dtype = kBinomial, .n = 10, .p = 0.3}, 0.5, 0},
        {"hypergeometric untruncated", {.dtype = kHypergeometric, .pop = 20, .popsuc = 7, .sam = 5}, 0.5, 0},
        {"log series untruncated", {.dtype = kLogSeries, .shape_a = 0.6}, 0.5, 0},
        {"F", {.dtype = kFisherF, .shape_a = 4, .shape_b = 7}, 0.5, 0},
        {"code 33", {.dtype = 33}, 0.5, 0},
        // made whole: −1.2 + 0.5 truncates to 0; 2.6 + 0.5 to 3
        {"normal approx to the Poisson below 0", {.dtype = kNormalPoisson, .mean = -1.2, .stdev = 1}, 0.5, 0},
        {"normal approx to the Poisson", {.dtype = kNormalPoisson, .mean = 2.6, .stdev = 1}, 0.5, 3},
    };
    for (const auto& c : cases) {
        const auto s = make_slot(c.in);
        EXPECT_EQ(inverse(*s, c.p), c.expected) << c.what;
    }
}

TEST(Inverse, TruncatedSlotsAreBisectedAndTheBracketReachesTheCut) {
    // A normal slot cut below at −4 while its working minimum is the 0.005
    // quantile: the quantiles below −2.58 must still be found.
    auto s = make_slot({.dtype = kNormal, .mean = 0, .stdev = 1});
    s->minimum = -2.5758293035489;
    s->maximum = 2.5758293035489;
    s->t_min_flag = 1;
    s->t_min = -4;
    s->min_exists = 1;
    s->t_pbelow = normal_integral(-4);
    s->t_factor = 1 / (1 - s->t_pbelow);
    for (double p : {0.0001, 0.001, 0.3})
        EXPECT_NEAR(cumulative(*s, inverse(*s, p)), p, 1e-6) << p;
    EXPECT_LT(inverse(*s, 0.001), -3.0);

    // Cut above: a uniform slot has a closed form, yet with a flag set it is
    // bisected on the truncated cumulative distribution.
    auto u = make_slot({.dtype = kUniform, .minimum = 0, .maximum = 10});
    u->t_max_flag = 1;
    u->t_max = 12;  // beyond the bound: nothing cut, bracket still reaches it
    EXPECT_NEAR(inverse(*u, 0.25), 2.5, 1e-5);
}

TEST(Inverse, TruncatedDiscreteSlotEndsOnAStepOfItsCumulative) {
    // Poisson mean 3 cut below at 1: the bisection stops when F repeats on a
    // step, somewhere between the whole numbers where F crosses p.
    auto s = make_slot({.dtype = kPoisson, .mean = 3});
    s->minimum = 0;
    s->maximum = 20;
    s->t_min_flag = 1;
    s->t_min = 1;
    s->t_pbelow = density(*s, 0);
    s->t_factor = 1 / (1 - s->t_pbelow);
    const double x = inverse(*s, 0.5);
    EXPECT_GE(cumulative(*s, x), 0.5);
    EXPECT_LT(cumulative(*s, x - 1), 0.5);
}

// Below the cut the truncated cumulative is flat at or below 0: a repeat there
// is no answer, the search goes on into the truncated range. Poisson mean 4
// cut to [2, 9] at p = 0.1 (two midpoints in [1, 2) both give 0), and Poisson
// mean 1e6 cut to [999000, 1001000] (midpoints far below, where the masses have
// underflowed, repeat the same negative value).
TEST(Inverse, TruncatedDiscreteQuantileStaysInsideTheCut) {
    struct Case { double mean, t_min, t_max, p; };
    const Case cases[] = {{4, 2, 9, 0.1}, {4, 2, 9, 0.9}, {1e6, 999000, 1001000, 0.3}};
    for (const auto& c : cases) {
        auto s = make_slot({.dtype = kPoisson, .mean = c.mean});
        s->minimum = 0;
        s->maximum = c.mean + 100 * std::sqrt(c.mean);
        s->t_min_flag = s->t_max_flag = 1;
        s->t_min = c.t_min;
        s->t_max = c.t_max;
        s->t_pbelow = cumulative(*s, c.t_min - 1);
        s->t_factor = 1 / (cumulative(*s, c.t_max) - s->t_pbelow);
        const double x = inverse(*s, c.p);
        EXPECT_GE(x, c.t_min - 1) << c.mean << " " << c.p;
        EXPECT_LE(x, c.t_max) << c.mean << " " << c.p;
        EXPECT_GT(cumulative(*s, x), 0.0) << c.mean << " " << c.p;
    }
}

// A quantile of a truncated slot lies inside its cut, also where the
// cumulative distribution is flat at 0 across it: a geometric p of 2^-1022
// cut to [1, 6], whose cut masses round to nothing, and whose search end lies
// far beyond the cut. The bracket of a type without an upper bound ends at
// the cut above.
TEST(Inverse, TruncatedQuantilesLieInsideTheCut) {
    auto s = make_slot({.dtype = kGeometric, .p = std::ldexp(1.0, -1022)});
    s->minimum = 0;
    s->maximum = 1835008;
    s->t_min_flag = s->t_max_flag = 1;
    s->t_min = 1;
    s->t_max = 6;
    for (double p : {0.001, 0.3, 0.999}) {
        const double x = inverse(*s, p);
        EXPECT_GE(x, 1.0) << p;
        EXPECT_LE(x, 6.0) << p;
    }
    auto n = make_slot({.dtype = kNormal, .mean = 0, .stdev = 1});
    n->minimum = -3;
    n->maximum = 3;
    n->t_min_flag = 1;
    n->t_min = 50;  // far beyond the mass: the cumulative is flat below 0
    EXPECT_GE(inverse(*n, 0.5), 50.0);
}

TEST(InverseBisection, UnsafeSlotsEndPromptlyWithAFiniteAnswer) {
    struct Case { const char* what; Params in; double p; };
    const Case cases[] = {
        {"zero spread", {.dtype = kNormal, .mean = 2, .stdev = 0}, 0.3},
        {"negative spread", {.dtype = kStudentT, .mean = 0, .stdev = -1, .shape_a = 3}, 0.3},
        {"spread not a number", {.dtype = kNormal, .mean = 2, .stdev = kNaN}, 0.3},
        {"infinite spread", {.dtype = kNormal, .mean = 2, .stdev = kInf}, 0.3},
        {"cumulative not a number", {.dtype = kGamma, .mean = 1, .stdev = 1, .scale = kNaN, .shape_a = 2}, 0.3},
        {"probability not a number", {.dtype = kNormal, .mean = 2, .stdev = 1}, kNaN},
    };
    for (const auto& c : cases) {
        const auto s = make_slot(c.in);
        EXPECT_TRUE(std::isfinite(inverse_bisection(*s, c.p))) << c.what;
    }
    // Without a spread to widen by, the centre is the answer.
    for (double spread : {0.0, kNaN}) {
        const auto flat = make_slot({.dtype = kNormal, .mean = 2, .stdev = spread});
        EXPECT_EQ(inverse_bisection(*flat, 0.3), 2.0) << spread;
    }
    // A negative spread widens outward like its size: the right quantile.
    const auto t = make_slot({.dtype = kStudentT, .mean = 0, .stdev = -1, .shape_a = 3});
    EXPECT_NEAR(cumulative(*t, inverse_bisection(*t, 0.3)), 0.3, 1e-6);

    // A cumulative that never reaches p (the rescaled F stays below 0.5): the
    // bracket stops once F has not moved towards p for a while, and the
    // bisection ends where F has reached its ceiling.
    auto capped = make_slot({.dtype = kLogistic, .mean = 0, .stdev = 1});
    capped->t_factor = 0.5;
    capped->t_min_flag = 1;  // forces the bisection
    const double x = inverse(*capped, 0.9);
    EXPECT_TRUE(std::isfinite(x));
    EXPECT_EQ(cumulative(*capped, x), 0.5);

    // A density that is negative out there (an exponential power with a
    // negative scale and a vanishing shape): F falls as the bracket widens.
    // The search gives up after the stalled steps instead of widening to the
    // largest double with a numerical integral at every step (the fuzz corpus
    // keeps the input that took 1.5 s).
    auto falling = make_slot({.dtype = kExpPower, .mean = 0, .scale = -17, .shape_a = 1e-300});
    EXPECT_TRUE(std::isfinite(inverse_bisection(*falling, 0.995)));
}

TEST(InverseWhole, DiscreteQuantilesAreTheFirstWholeNumbersReachingP) {
    struct Case { Params in; double p, expected; };
    const Case cases[] = {
        // scipy.stats ppf (the geometric there counts trials: one less here)
        {{.dtype = kPoisson, .mean = 3}, 0.1, 1},
        {{.dtype = kPoisson, .mean = 3}, 0.5, 3},
        {{.dtype = kPoisson, .mean = 3}, 0.9, 5},
        // masses that underflow to zero below the bulk do not end the search
        {{.dtype = kPoisson, .mean = 1000}, 0.5, 1000},
        {{.dtype = kPoisson, .mean = 1000}, 0.01, 927},
        {{.dtype = kBinomial, .n = 10, .p = 0.3}, 0.1, 1},
        {{.dtype = kBinomial, .n = 10, .p = 0.3}, 0.5, 3},
        {{.dtype = kBinomial, .n = 10, .p = 0.3}, 0.9, 5},
        {{.dtype = kHypergeometric, .pop = 20, .popsuc = 7, .sam = 5}, 0.1, 1},
        {{.dtype = kHypergeometric, .pop = 20, .popsuc = 7, .sam = 5}, 0.9, 3},
        {{.dtype = kGeometric, .p = 0.3}, 0.1, 0},
        {{.dtype = kGeometric, .p = 0.3}, 0.9, 6},
        {{.dtype = kLogSeries, .shape_a = 0.6}, 0.5, 1},
        {{.dtype = kLogSeries, .shape_a = 0.6}, 0.9, 3},
        {{.dtype = kDiscreteUniform, .minimum = 1, .maximum = 6}, 0.5, 3},
        {{.dtype = kDegenerate, .mean = 4}, 0.3, 4},
    };
    for (const auto& c : cases) {
        const auto s = make_slot(c.in);
        EXPECT_EQ(inverse_whole(*s, c.p), c.expected) << "dtype " << c.in.dtype << " p " << c.p;
    }
}

// The defining property, wherever p falls: F(q) reaches p and F(q − 1) does
// not, q a whole number of the support. Exactly at a step's height the step's
// own value answers.
TEST(InverseWhole, AnswerIsTheSmallestWholeNumberWhoseCumulativeReachesP) {
    const Params slots[] = {
        {.dtype = kPoisson, .mean = 250},
        {.dtype = kBinomial, .n = 1000, .p = 0.01},
        {.dtype = kHypergeometric, .pop = 500, .popsuc = 100, .sam = 60},
        {.dtype = kGeometric, .p = 0.001},
        {.dtype = kNormalPoisson, .mean = 40, .stdev = std::sqrt(40.0)},
        {.dtype = kNormalBinomial, .mean = 15, .stdev = std::sqrt(10.5), .n = 50},
    };
    for (const auto& in : slots) {
        const auto s = make_slot(in);
        for (double p : kProbabilities) {
            const double q = inverse_whole(*s, p);
            EXPECT_EQ(q, std::floor(q)) << in.dtype << " p " << p;
            EXPECT_GE(cumulative(*s, q), p) << in.dtype << " p " << p;
            EXPECT_LT(cumulative(*s, q - 1), p) << in.dtype << " p " << p;
            EXPECT_EQ(inverse_whole(*s, cumulative(*s, q)), q) << in.dtype << " at the step's height";
        }
    }
}

TEST(InverseWhole, ContinuousSlotsAndTheEndsAnswerAsTheInverse) {
    auto normal = make_slot({.dtype = kNormal, .mean = 1, .stdev = 2});
    for (double p : kProbabilities) EXPECT_EQ(inverse_whole(*normal, p), inverse(*normal, p));
    auto poisson = make_slot({.dtype = kPoisson, .mean = 3});
    poisson->dminimum = 0;
    poisson->dmaximum = 14;
    for (double p : {0.0, -1.0, kNaN}) EXPECT_EQ(inverse_whole(*poisson, p), 0) << p;
    for (double p : {1.0, kInf}) EXPECT_EQ(inverse_whole(*poisson, p), 14) << p;
}

// The normal approximations' values are made whole one way everywhere (the
// quantile, the draws, the working range): x + 0.5 truncated toward zero,
// never −0.
TEST(MadeWhole, HalfUpTowardZeroWithoutNegativeZero) {
    struct Case { double x, expected; };
    const Case cases[] = {{2.5, 3}, {2.4, 2}, {-0.7, 0}, {-0.5, 0}, {-1.5, -1}, {-1.6, -1}, {1e300, 1e300}};
    for (const auto& c : cases) {
        EXPECT_EQ(made_whole(c.x), c.expected) << c.x;
        EXPECT_FALSE(std::signbit(made_whole(c.x)) && c.expected == 0) << c.x;
    }
}

}  // namespace
}  // namespace kvz
