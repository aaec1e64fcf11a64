// Cumulative distribution: references, the exact edge values, agreement with
// the density (derivative for continuous types, sums for discrete ones), the
// truncation transform, and sums that must end promptly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "eval/eval.h"
#include "eval/masses.h"
#include "init/init.h"
#include "special/special.h"
#include "tests/eval/test_slots.h"

namespace kvz {
namespace {

using test::make_slot;
using test::Params;

// Continuous parameter sets shared by the reference and derivative tests.
// References: scipy.stats 1.10 cdf with the matching parameterisation.
struct ContinuousCase { Params in; double x, ref; };
const ContinuousCase kContinuous[] = {
    {{.dtype = kNormal, .mean = 1, .stdev = 2}, 0, 0.3085375387259869},
    {{.dtype = kBeta, .minimum = 1, .maximum = 3, .shape_a = 2, .shape_b = 3}, 2, 0.6875},
    {{.dtype = kLognormal, .lmean = 0.5, .lstdev = 0.8}, 2, 0.595390608679215},
    {{.dtype = kWeibull, .minimum = 1, .scale = 2, .shape_a = 1.5}, 2.5, 0.4777030864174585},
    {{.dtype = kInverseGaussian, .mean = 2, .scale = 3}, 1.5, 0.4956901248416298},
    {{.dtype = kStudentT, .shape_a = 5}, 1.3, 0.8748496829146615},
    {{.dtype = kStudentT, .shape_a = 5}, -1.3, 0.12515031708533858},
    {{.dtype = kGumbel, .mode = 1, .scale = 2}, 0, 0.19229564554796494},
    {{.dtype = kLogistic, .mean = 1, .stdev = 2}, 0, 0.2876346769008822},
    {{.dtype = kCauchy, .mean = 1, .scale = 2}, 0, 0.35241638234956674},
    {{.dtype = kLaplace, .mean = 1, .scale = 2}, 0, 0.3032653298563167},
    {{.dtype = kRayleigh, .scale = 2}, 1.5, 0.24516039801099263},
    {{.dtype = kPareto, .mode = 2, .shape_a = 3}, 2.5, 0.488},
    {{.dtype = kPowerFunction, .minimum = 1, .maximum = 3, .shape_a = 2.5}, 2, 0.1767766952966369},
    {{.dtype = kExponential, .mean = 2}, 1.5, 0.5276334472589853},
    {{.dtype = kGamma, .scale = 2, .shape_a = 0.5}, 1.5, 0.7793286380801531},
    {{.dtype = kChiSquare, .scale = 2, .shape_a = 0.5}, 1.5, 0.7793286380801531},
    {{.dtype = kExpPower, .mean = 1, .scale = 2, .shape_a = 1.5}, 2.2, 0.674637564595278},
    {{.dtype = kExpPower, .mean = 1, .scale = 2, .shape_a = 1.5}, -0.5, 0.2892722300693761},
    {{.dtype = kUniform, .minimum = 1, .maximum = 5}, 2, 0.25},
    {{.dtype = kTriangular, .mode = 1, .minimum = 0, .maximum = 4}, 2, 2.0 / 3},  // 1 − 2² / 4 / 3
};

TEST(Cumulative, MatchesReferenceValues) {
    // The incomplete gamma and beta functions stop at 3e-7 relative.
    for (const auto& c : kContinuous) {
        const auto s = make_slot(c.in);
        EXPECT_NEAR(cumulative(*s, c.x), c.ref, 1e-7) << "dtype " << c.in.dtype << " x " << c.x;
    }
}

// The exponential power cumulative is an integral from the centre: far out
// it stays a probability that never falls, on both sides, for light and
// heavy shapes (integrated over the whole stretch it reached 1.6e6 at 1e10).
TEST(Cumulative, ExponentialPowerStaysAProbabilityFarOut) {
    for (double a : {0.5, 1.5, 3.0}) {
        const auto s = make_slot({.dtype = kExpPower, .mean = 1, .scale = 2, .shape_a = a});
        double upper = cumulative(*s, 1);
        double lower = upper;
        for (double d : {10.0, 100.0, 1e4, 1e10, 1e300}) {
            const double up = cumulative(*s, 1 + d);
            const double down = cumulative(*s, 1 - d);
            EXPECT_GE(up, upper) << a << " at +" << d;
            EXPECT_LE(up, 1.0) << a << " at +" << d;
            EXPECT_LE(down, lower) << a << " at -" << d;
            EXPECT_GE(down, 0.0) << a << " at -" << d;
            upper = up;
            lower = down;
        }
        EXPECT_NEAR(upper, 1.0, 1e-5) << a;
        EXPECT_NEAR(lower, 0.0, 1e-5) << a;
    }
}

TEST(Cumulative, SlopeIsTheDensity) {
    // Central difference with step 1e-4: error about h² f''' / 6 plus the
    // special functions' rounding over 2h.
    constexpr double h = 1e-4;
    for (const auto& c : kContinuous) {
        const auto s = make_slot(c.in);
        const double slope = (cumulative(*s, c.x + h) - cumulative(*s, c.x - h)) / (2 * h);
        EXPECT_NEAR(slope, density(*s, c.x), 2e-4 * density(*s, c.x)) << "dtype " << c.in.dtype;
    }
}

TEST(Cumulative, EdgeValuesAreExact) {
    struct Case { const char* what; Params in; double x, expected; };
    const Case cases[] = {
        {"normal at its mean", {.dtype = kNormal, .mean = 0, .stdev = 1}, 0, 0.5},
        {"triangular at the mode", {.dtype = kTriangular, .mode = 1, .minimum = 0, .maximum = 4}, 1, 0.25},
        {"triangular at minimum", {.dtype = kTriangular, .mode = 1, .minimum = 0, .maximum = 4}, 0, 0},
        {"triangular at maximum", {.dtype = kTriangular, .mode = 1, .minimum = 0, .maximum = 4}, 4, 1},
        {"binomial below 0", {.dtype = kBinomial, .n = 10, .p = 0.3}, -0.5, 0},
        {"log series below 1", {.dtype = kLogSeries, .shape_a = 0.6}, 0.99, 0},
        {"degenerate below its value", {.dtype = kDegenerate, .mean = 3}, -5, 0},
        {"degenerate at its value", {.dtype = kDegenerate, .mean = 3}, 3, 1},
        {"discrete uniform at 3", {.dtype = kDiscreteUniform, .minimum = 1, .maximum = 6}, 3, 0.5},
        {"discrete uniform at 3.5", {.dtype = kDiscreteUniform, .minimum = 1, .maximum = 6}, 3.5, 3.5 / 6},
        {"discrete uniform below its support", {.dtype = kDiscreteUniform, .minimum = 1, .maximum = 6}, -1, 0},
        {"discrete uniform above its support", {.dtype = kDiscreteUniform, .minimum = 1, .maximum = 6}, 7, 1},
        {"exponential below 0", {.dtype = kExponential, .mean = 1}, -1, 0},
        {"Pareto below its bound", {.dtype = kPareto, .mode = 2, .shape_a = 3}, 1, 0},
        {"Laplace at its mean", {.dtype = kLaplace, .mean = 2, .scale = 3}, 2, 0.5},
        {"normal approx to the Poisson at its mean", {.dtype = kNormalPoisson, .mean = 5, .stdev = 2}, 5, 0.5},
        {"exponential power at its centre", {.dtype = kExpPower, .mean = 1, .scale = 2, .shape_a = 1.5}, 1, 0.5},
        {"gamma at 0", {.dtype = kGamma, .scale = 1, .shape_a = 2}, 0, 0},
        {"lognormal below 0", {.dtype = kLognormal, .lmean = 0, .lstdev = 1}, -2, 0},
        {"inverse Gaussian at 0", {.dtype = kInverseGaussian, .mean = 1, .scale = 1}, 0, 0},
        {"F has no cumulative", {.dtype = kFisherF, .shape_a = 4, .shape_b = 7}, 1, 0},
        {"code 5", {.dtype = 5}, 1, 0},
        {"code 32", {.dtype = 32}, 1, 0},
        {"code 33", {.dtype = 33}, 1, 0},
    };
    for (const auto& c : cases) {
        const auto s = make_slot(c.in);
        EXPECT_EQ(cumulative(*s, c.x), c.expected) << c.what;
    }
    const auto exponential = make_slot({.dtype = kExponential, .mean = 2});
    EXPECT_EQ(cumulative(*exponential, 2), 1 - std::exp(-1.0));
    const auto binomial = make_slot({.dtype = kBinomial, .n = 10, .p = 0.3});
    EXPECT_EQ(cumulative(*binomial, 2.7), cumulative(*binomial, 2));
    // The approximation to the binomial centres the step: Φ(0.25).
    const auto normal_binomial = make_slot({.dtype = kNormalBinomial, .mean = 5, .stdev = 2, .n = 10});
    EXPECT_EQ(cumulative(*normal_binomial, 5), normal_integral(0.25));
}

TEST(Cumulative, TruncationTransformIsNotClamped) {
    auto s = make_slot({.dtype = kNormal, .mean = 0, .stdev = 1});
    s->t_pbelow = 0.5;
    s->t_factor = 2;
    EXPECT_EQ(cumulative(*s, 0), 0);
    EXPECT_EQ(cumulative(*s, 1), 2 * (normal_integral(1) - 0.5));
    EXPECT_LT(cumulative(*s, -1), 0);

    auto f = make_slot({.dtype = kFisherF, .shape_a = 4, .shape_b = 7});
    f->t_pbelow = 0.25;
    f->t_factor = 2;
    EXPECT_EQ(cumulative(*f, 1), -0.5);  // (0 − 0.25) × 2
}

TEST(Cumulative, DiscreteValuesAreSumsOfTheMassesOverTheSupport) {
    struct Case { Params in; double x, ref, scaled; };
    const Case cases[] = {
        // scipy.stats cdf
        {{.dtype = kPoisson, .mean = 3.5}, 4, 0.7254449533096043, 4 * 0.7254449533096043},
        {{.dtype = kGeometric, .p = 0.3}, 2, 0.657, 4 * 0.657},
        {{.dtype = kBinomial, .n = 10, .p = 0.3}, 4, 0.8497316674000001, 4 * 0.8497316674000001},
        {{.dtype = kHypergeometric, .pop = 20, .popsuc = 7, .sam = 5}, 2, 0.7932146542827657, 4 * 0.7932146542827657},
        {{.dtype = kLogSeries, .shape_a = 0.6}, 3, 0.9298358810825724, 4 * 0.9298358810825724},
        // past the support's end: exactly the whole mass, no terms beyond n,
        // and above the support nothing to rescale
        {{.dtype = kBinomial, .n = 10, .p = 0.3}, 25, 1.0, 1.0},
        // support starting at 3: nothing below it, all of it at its end
        {{.dtype = kHypergeometric, .pop = 10, .popsuc = 8, .sam = 5}, 2, 0.0, 0.0},
        {{.dtype = kHypergeometric, .pop = 10, .popsuc = 8, .sam = 5}, 5, 1.0, 4 * 1.0},
    };
    for (const auto& c : cases) {
        auto s = make_slot(c.in);
        EXPECT_NEAR(cumulative(*s, c.x), c.ref, 1e-12) << "dtype " << c.in.dtype << " x " << c.x;
        // Truncation: the scaled masses are summed, then unscaled once.
        s->t_factor = 4;
        EXPECT_NEAR(cumulative(*s, c.x), c.scaled, 4e-12) << "dtype " << c.in.dtype;
    }
}

TEST(Cumulative, EndlessSumsStopOnceTheTailCannotChangeThem) {
    // Poisson at x = 1e12: the tail beyond the mode stops adding almost at
    // once, bit for bit the sum that includes every term.
    const auto poisson = make_slot({.dtype = kPoisson, .mean = 4});
    double full = 0;
    for (int i = 0; i <= 200; ++i) full += density(*poisson, i);
    EXPECT_EQ(cumulative(*poisson, 1e12), full);
    EXPECT_EQ(cumulative(*poisson, 1e300), full);
    // Infinity lies beyond every support: the whole mass, exactly.
    EXPECT_EQ(cumulative(*poisson, std::numeric_limits<double>::infinity()), 1.0);
    EXPECT_EQ(density(*poisson, std::numeric_limits<double>::infinity()), 0.0);

    // The large-parameter masses reach 1 through the same sums.
    struct Case { Params in; double x; };
    const Case large[] = {
        {{.dtype = kBinomial, .n = 1000, .p = 0.3}, 1000},
        {{.dtype = kHypergeometric, .pop = 10000, .popsuc = 4000, .sam = 500}, 500},
        {{.dtype = kPoisson, .mean = 1000}, 1e9},
    };
    for (const auto& c : large) {
        const auto s = make_slot(c.in);
        EXPECT_NEAR(cumulative(*s, c.x), 1.0, 1e-9) << "dtype " << c.in.dtype;
    }
}

TEST(Cumulative, FlatMassesBeyondTheTermLimitTakeTheGeometricClosedForm) {
    // Masses of 1e-300 that never fall: the sum reaches its term limit, and a
    // partial sum is no answer; the geometric has 1 - (1 - p)^(x + 1).
    const auto geometric = make_slot({.dtype = kGeometric, .p = 1e-300});
    EXPECT_NEAR(cumulative(*geometric, 1e12), 1e-288, 1e-300);
    EXPECT_GT(cumulative(*geometric, 1e5), 0.0);  // within the limit: summed
    const auto p6 = make_slot({.dtype = kGeometric, .p = 1e-6});
    EXPECT_NEAR(cumulative(*p6, 2e6), 0.86466498743, 1e-10);  // about 1 - e^-2
}

TEST(Cumulative, InverseGaussianWithALargeShapeRatioMatchesReference) {
    // λ/μ of 18 and 100 make exp(2λ/μ) huge and its normal tail tiny.
    // scipy.stats.invgauss(μ/λ, scale=λ).cdf
    struct Case { double lambda, x, ref; };
    const Case cases[] = {
        {18, 0.5, 0.001836458625575756},  {18, 0.8, 0.20079090542783992},
        {18, 1.0, 0.5463882839002694},    {18, 1.3, 0.8925264134555138},
        {18, 2.0, 0.9991366625623157},    {100, 0.5, 1.0293344306128782e-12},
        {100, 0.8, 0.014296891196002014}, {100, 1.0, 0.5198976156483265},
        {100, 1.3, 0.9963645853011376},   {100, 2.0, 0.999999999999492},
    };
    for (const auto& c : cases) {
        for (int code : {kInverseGaussian, kWald}) {
            const auto s = make_slot({.dtype = code, .mean = 1, .scale = c.lambda});
            EXPECT_NEAR(cumulative(*s, c.x), c.ref, 1e-7 * std::fmax(c.ref, 1e-3))
                << "lambda " << c.lambda << " x " << c.x;
        }
    }
}

TEST(Cumulative, InverseGaussianSecondTermKeepsTheLogarithmOfItsTail) {
    // λ/μ of 1e3 to 1e5: the normal tail of the second term (1e-871 at the
    // mean for 1e3) underflows while exp(2λ/μ) times it is of order 1e-3.
    // Points from the 0.005 to the 0.995 quantile; references
    // ndtr(s(x/μ − 1)) + exp(2λ/μ + log_ndtr(−s(x/μ + 1))) (scipy.special),
    // which agree with scipy.stats.invgauss to 1e-14 where that is finite.
    struct Case { double mean, scale, x, ref; };
    const Case cases[] = {
        {0.5, 500, 0.5, 0.5063062555284652},       {0.0001, 1, 1.02e-4, 0.9764455405079229},
        {0.5, 500, 0.460672, 0.004999855814233001}, {0.5, 500, 0.491532, 0.29999443643804224},
        {0.5, 500, 0.49975, 0.4999963208636516},   {0.5, 500, 0.508105, 0.699990032608968},
        {0.5, 500, 0.542144, 0.995000285454776},   {0.0001, 1, 9.74523e-05, 0.005000135078324266},
        {0.0001, 1, 9.9472e-05, 0.29999802550932575}, {0.0001, 1, 9.9995e-05, 0.49999988364320175},
        {0.0001, 1, 0.000100521, 0.7000882900388611}, {0.0001, 1, 0.000102604, 0.9949992278419649},
        {1, 1e5, 0.991883, 0.005001520552592334},  {1, 1e5, 0.998338, 0.29999066422247267},
        {1, 1e5, 0.999995, 0.49999999632039294},   {1, 1e5, 1.00165, 0.6994877051063643},
        {1, 1e5, 1.00817, 0.9949832914860582},
    };
    for (const auto& c : cases) {
        const auto s = make_slot({.dtype = kInverseGaussian, .mean = c.mean, .scale = c.scale});
        EXPECT_NEAR(cumulative(*s, c.x), c.ref, 1e-7) << c.mean << " " << c.scale << " x " << c.x;
    }
}

}  // namespace
}  // namespace kvz

namespace kvz {
namespace {

// Masses that underflowed to zero below the peak are passed over by halving:
// the first one kept is positive and the one before it is zero.
TEST(MassSums, SkipOnlyTheMassesThatUnderflowedToZero) {
    struct Case { Params in; };
    const Case cases[] = {
        {{.dtype = kPoisson, .mean = 1e6}},
        {{.dtype = kBinomial, .n = 2000000, .p = 0.5}},
        {{.dtype = kHypergeometric, .pop = 2e6, .popsuc = 1e6, .sam = 1e6}},
    };
    for (const auto& c : cases) {
        auto s = make_slot(c.in);
        const double first = skip_zero_masses(*s, 0, 1e7);
        EXPECT_GT(first, 0) << c.in.dtype;
        EXPECT_GT(density(*s, first), 0.0) << c.in.dtype;
        EXPECT_EQ(density(*s, first - 1), 0.0) << c.in.dtype;
    }
    auto small = make_slot({.dtype = kPoisson, .mean = 4});
    EXPECT_EQ(skip_zero_masses(*small, 0, 1e7), 0.0);  // nothing to skip
}

// Distributions spread over millions of whole numbers still sum to the right
// value (scipy.stats poisson.cdf / hypergeom.cdf).
TEST(MassSums, WideDistributionsSumFromWhereTheirMassIs) {
    auto poisson = make_slot({.dtype = kPoisson, .mean = 1e6});
    EXPECT_NEAR(cumulative(*poisson, 1e6), 0.5002659614862837, 1e-9);
    auto hyper = make_slot({.dtype = kHypergeometric, .pop = 2e9, .popsuc = 1e9, .sam = 1e9});
    EXPECT_NEAR(cumulative(*hyper, 5e8), 0.5000179290324498, 1e-6);
}

// A binomial n of 1e9 spreads its mass over some 1.2 million whole numbers:
// summed to the true value (0.5 plus half the mass at the mean), as far as
// masses formed from log_gamma of arguments near 1e9 (good to about 1e-6) allow.
TEST(Cumulative, HugeBinomialIsSummedToItsTrueValue) {
    const auto s = make_slot({.dtype = kBinomial, .n = 1000000000, .p = 0.5});
    EXPECT_NEAR(cumulative(*s, 5e8), 0.5 + 0.5 / std::sqrt(2 * 3.141592653589793 * 2.5e8), 1e-6);
}

// A sum continued from a lower point takes the very same additions: every
// value equals the fresh one to the bit, whatever the type's stop rule.
TEST(Cumulative, ContinuedSumsEqualFreshOnes) {
    const test::Params cases[] = {
        {.dtype = kPoisson, .mean = 300},
        {.dtype = kGeometric, .p = 0.01},
        {.dtype = kBinomial, .n = 5000, .p = 0.3},
        {.dtype = kLogSeries, .shape_a = 0.99},
        {.dtype = kHypergeometric, .pop = 1000, .popsuc = 300, .sam = 200},
    };
    for (const auto& in : cases) {
        const auto s = make_slot(in);
        MassCursor cursor;
        for (double x = -3; x < 4000; x = x * 1.5 + 7.25) {
            EXPECT_EQ(cumulative_continued(*s, x, cursor), cumulative(*s, x)) << in.dtype << " " << x;
            cursor.lower = cursor.reached;
        }
    }
}

// The cumulative value the host asks for continues the slot's recorded
// checkpoints of its sum: to the bit what the sum from the start gives, at
// points asked in any order (so that the checkpoints are recorded, thinned
// and taken up everywhere), below the first mass that has not underflowed,
// past the end of the sum, off the whole numbers and at no number at all.
TEST(Cumulative, SumsFromCheckpointsEqualSumsFromTheStart) {
    struct Case {
        Params in;
        double t_min = 0, t_max = 0;  // a cut where t_max > t_min
    };
    const Case cases[] = {
        {{.dtype = kPoisson, .mean = 4e6}},  // some 90,000 masses: the checkpoints thin out
        {{.dtype = kPoisson, .mean = 40}},
        {{.dtype = kBinomial, .n = 1000000, .p = 0.3}, 299000, 301500},
        {{.dtype = kGeometric, .p = 1e-3}},
        {{.dtype = kLogSeries, .shape_a = 0.9999}},
        {{.dtype = kHypergeometric, .pop = 200000, .popsuc = 80000, .sam = 50000}},
        {{.dtype = kBinomial, .n = 5000, .p = 1.5}},  // masses that are no number
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "dtype " << c.in.dtype);
        const auto s = make_slot(c.in);
        if (c.t_max > c.t_min) {
            s->t_min_flag = s->t_max_flag = 1;
            s->t_min = c.t_min;
            s->t_max = c.t_max;
            dinitialise(*s);
        }
        double centre = c.in.mean;
        if (c.in.dtype == kBinomial) centre = c.in.n * std::fmin(c.in.p, 1.0);
        if (c.in.dtype == kHypergeometric) centre = c.in.sam * c.in.popsuc / c.in.pop;
        const double spread = 40 * std::sqrt(std::fmax(centre, 1.0)) + 50;
        // Points from below the start to past the end, in a scrambled order
        // (fewer where each sum from the start takes milliseconds).
        const int points = spread > 10000 ? 300 : 3000;
        std::vector<double> x;
        for (int i = 0; i < points; ++i) {
            const double k = static_cast<double>((i * 1237) % points) / points;
            x.push_back(std::floor(centre - spread + 2 * spread * k));
        }
        const double odd[] = {-1,  0,  0.5, 1, 2.75, 1e300, -std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                              centre + 0.25, centre - spread - 1e6};
        x.insert(x.begin() + points / 2, std::begin(odd), std::end(odd));
        std::vector<double> fresh;
        for (double v : x) fresh.push_back(cumulative(*s, v));
        for (int pass = 0; pass < 2; ++pass) {
            for (size_t i = 0; i < x.size(); ++i) {
                const double kept = cumulative_kept(*s, x[i]);
                ASSERT_TRUE(std::memcmp(&kept, &fresh[i], sizeof(double)) == 0)
                    << x[i] << ": " << kept << " " << fresh[i];
            }
        }
        EXPECT_EQ(s->sum_checkpoints.ready, 1);
    }
}

// Checkpoints recorded for other inputs are passed over: a slot whose
// parameters, cut or type changed since gives its own sums.
TEST(Cumulative, CheckpointsOfOtherInputsArePassedOver) {
    const auto s = make_slot({.dtype = kPoisson, .mean = 1e5});
    const auto expect_fresh = [&s](const char* what) {
        for (double x : {99000.0, 100000.0, 100300.0, 101500.0}) {
            const double kept = cumulative_kept(*s, x);
            const double fresh = cumulative(*s, x);
            EXPECT_TRUE(std::memcmp(&kept, &fresh, sizeof(double)) == 0) << what << " " << x;
        }
    };
    expect_fresh("first");
    s->mean = 1e5 + 0.5;
    expect_fresh("mean");
    s->t_factor = 2;
    expect_fresh("factor");
    s->dtype = kGeometric;
    s->p = 1e-5;
    expect_fresh("type");
}

// The whole numbers of a window or a table range: both ends rounded down
// (a cut at -3.7 takes away the mass at and below -4.7, so -4 stays), both
// inside the support.
TEST(MassRange, WindowsTakeTheWholeNumbersNotAboveTheirUpperEnd) {
    const auto s = make_slot({.dtype = kDiscreteUniform, .minimum = -5, .maximum = 5});
    struct Case { double lo, hi, first, last; };
    const Case cases[] = {{-3.7, -1.5, -4, -2}, {-9, 2.5, -5, 2}, {0.5, 9, 0, 5}, {2, 1, 2, 1}};
    for (const auto& c : cases) {
        const WholeRange r = whole_range(*s, c.lo, c.hi);
        EXPECT_EQ(r.first, c.first) << c.lo << " " << c.hi;
        EXPECT_EQ(r.last, c.last) << c.lo << " " << c.hi;
        s->t_min_flag = s->t_max_flag = 1;
        s->t_min = c.lo;
        s->t_max = c.hi;
        const DiscreteRange d = discrete_range(*s);
        EXPECT_EQ(d.first, c.first) << c.lo << " " << c.hi;
        EXPECT_EQ(d.last, c.last) << c.lo << " " << c.hi;
    }
}

}  // namespace
}  // namespace kvz
