// The truncation step: cut-off masses, factor, range and the recomputed
// statistics of truncated slots, initialised through dinitialise.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "eval/eval.h"
#include "init/init.h"
#include "special/special.h"

namespace kvz {
namespace {

// The inputs a case sets, and its truncation.
struct Inputs {
    int dtype = 0;
    double mean = 0, stdev = 0, lmean = 0, lstdev = 0, mode = 0, minimum = 0, maximum = 0, scale = 0, shape_a = 0,
           shape_b = 0;
    int n = 0;
    double p = 0;
    Flag lower = 0;
    double t_min = 0;
    Flag upper = 0;
    double t_max = 0;
};

// Marks statistics the truncation step must leave as they were.
constexpr double kSentinel = -12345.0;

class Truncation : public ::testing::Test {
protected:
    // The record is large: keep it off the stack.
    std::unique_ptr<DistSlot> slot_ = std::make_unique<DistSlot>();

    DistSlot& initialise(const Inputs& in) {
        *slot_ = DistSlot{};
        DistSlot& s = *slot_;
        s.dtype = in.dtype;
        s.mean = in.mean;
        s.stdev = in.stdev;
        s.lmean = in.lmean;
        s.lstdev = in.lstdev;
        s.mode = in.mode;
        s.minimum = in.minimum;
        s.maximum = in.maximum;
        s.scale = in.scale;
        s.shape_a = in.shape_a;
        s.shape_b = in.shape_b;
        s.n = in.n;
        s.p = in.p;
        s.t_min_flag = in.lower;
        s.t_min = in.t_min;
        s.t_max_flag = in.upper;
        s.t_max = in.t_max;
        s.dmean = s.dmode = s.dmedian = s.dvariance = s.dstdev = s.dskewness = s.dkurtosis = kSentinel;
        dinitialise(s);
        return s;
    }
};

// |got - want| within tol, relative to |want| where that exceeds 1.
::testing::AssertionResult near(double got, double want, double tol) {
    if (std::fabs(got - want) <= tol * std::fmax(1.0, std::fabs(want))) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << got << " vs " << want << " (tol " << tol << ")";
}

constexpr int kUniform = 2, kNormal = 4, kExponential = 8, kBinomial = 9, kPareto = 10, kBeta = 11, kGamma = 12,
              kCauchy = 13, kExpPower = 14, kGumbel = 15, kWeibull = 16, kLognormal = 23;

TEST_F(Truncation, TruncatedContinuousSlotsMatchTheirReferences) {
    struct Want {
        double t_factor, t_pbelow, dminimum, dmaximum, dmean, dvariance, dskewness, dkurtosis, dmedian;
    };
    struct Case {
        const char* name;
        Inputs in;
        int moment_method;
        Want want;
        double moment_tol;  // on mean and variance; ten times it on skewness and kurtosis
    };
    // References: scipy.stats (truncnorm, truncexpon, gamma, beta, norm) with
    // scipy.integrate.quad for the moments; closed forms for the beta moments
    // (incomplete beta of shifted shapes). A free side is integrated out to
    // infinity.
    // Tolerances, from measured errors: the strip integration stops at 512
    // strips, short of its 1e-6 change on wide windows (errors of order
    // (width / 512)^2, e.g. 3e-6 on the uniform variance, 3e-5 on the Pareto
    // mean); a free side's limit and a range end in a tail come from the
    // bisection, whose 1e-6 in probability is 1e-6 / density in x there.
    const Case cases[] = {
        {"normal both sides", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = -1, .upper = 1, .t_max = 2},
         2, {1.2216058873958862, 0.15865525393145707, -1, 2, 0.22963717909132902, 0.5197625392115339,
             0.3225459128330918, 2.2801724579228972, 0.17116391801782455}, 1e-5},
        {"normal symmetric window", {.dtype = kNormal, .mean = 5, .stdev = 2, .lower = 1, .t_min = 3, .upper = 1, .t_max = 7},
         2, {1.464794773491544, 0.15865525393145707, 3, 7, 5.0, 1.164500379091172, 0.0, 1.9409199199031129, 5.0}, 1e-5},
        // Free upper side, out to infinity: the half-normal, mean sqrt(2 / pi).
        {"normal below 0", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = 0},
         2, {2.0, 0.5, 0, 2.807033768343811, 0.7978845608028654, 0.3633802276324186, 0.9952717464311565,
             3.8691773036059725, 0.6744897501960817}, 1e-9},
        // A cut on a side without a bound of its own applies wherever it lies,
        // also beyond the 0.005 / 0.995 quantiles that stand in for the bounds.
        {"normal above 3", {.dtype = kNormal, .mean = 0, .stdev = 1, .upper = 1, .t_max = 3},
         2, {1.0013517227194684, 0, -2.576296362419808, 3, -0.0044378390421256665, 0.9866667884582592,
             -0.03640581407683775, 2.9167485598449825, -0.0016918470940846828}, 1e-9},
        {"normal below -3", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = -3},
         2, {1.0013517227194684, 0.0013498980316300933, -3, 2.5762963624198045, 0.0044378390421256665,
             0.9866667884582592, 0.03640581407683775, 2.9167485598449825, 0.0016918470940846828}, 1e-9},
        {"exponential both sides", {.dtype = kExponential, .mean = 1, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 2},
         2, {2.122261910714844, 0.3934693402873666, 0.5, 2, 1.0691746248166978, 0.1681514333232133,
             0.5143271011375472, 2.169174831613903, 0.9917339025771928}, 1e-5},
        // One-sided cut of a type bounded on the other side: the range is
        // bounded, so every moment is computed.
        {"exponential above 2", {.dtype = kExponential, .mean = 1, .upper = 1, .t_max = 2},
         2, {1.1565176427496657, 0, 0, 2, 0.6869647145006688, 0.2759383390336896, 0.6799794054179347,
             2.4505214557801036, 0.5662191695169727}, 1e-5},
        // Cut beyond the untruncated 0.9999 quantile: memoryless, 20 plus an exponential.
        {"exponential below 20", {.dtype = kExponential, .mean = 1, .lower = 1, .t_min = 20},
         2, {1 / std::exp(-20.0), 1 - std::exp(-20.0), 20, 20 + std::log(200.0), 21, 1, 2, 9,
             20 + std::log(2.0)}, 1e-9},
        {"gamma by density", {.dtype = kGamma, .scale = 1.5, .shape_a = 2, .lower = 1, .t_min = 1, .upper = 1, .t_max = 4},
         2, {1.6641079788806774, 0.14430480161234657, 1, 4, 2.33622271666372, 0.6911934612338757,
             0.2353235806846805, 1.9372026050019415, 2.2616292456150564}, 1e-5},
        // Quantile strips represent each 1% of mass by its midpoint
        // (measured: 1e-4 on the mean, 9e-4 on the kurtosis).
        {"gamma by quantiles", {.dtype = kGamma, .scale = 2, .shape_a = 0.5, .lower = 1, .t_min = 0.1, .upper = 1, .t_max = 3},
         1, {1.4957406152379022, 0.24817036595415076, 0.1, 3, 0.8977618362903225, 0.5395254459226472,
             1.0178791964402618, 3.0930440274090474, 0.6572087980820348}, 5e-4},
        {"beta by quantiles, lower cut", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 2, .shape_b = 0.5, .lower = 1, .t_min = 0.3},
         1, {1.0393292255081683, 0.03784096948581308, 0.3, 1, 0.823478260869565, 0.0327531190926279,
             -1.057868919254848, 3.1188478808922797, 0.8890897584248838}, 5e-4},
        // Closed forms: uniform on [2, 5].
        {"uniform inside its range", {.dtype = kUniform, .minimum = 0, .maximum = 10, .lower = 1, .t_min = 2, .upper = 1, .t_max = 5},
         2, {10.0 / 3, 0.2, 2, 5, 3.5, 0.75, 0, 1.8, 3.5}, 1e-5},
        // Pareto a = 0.8 has no mean; cut above, its range is bounded.
        {"pareto above 10", {.dtype = kPareto, .mode = 1, .shape_a = 0.8, .upper = 1, .t_max = 10},
         2, {1.1883390465158739, 0, 1, 10, 2.7802056745714605, 4.03416681046166, 1.5942353889976955,
             4.919123133242033, 1.978893636268946}, 1e-4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DistSlot& s = initialise(c.in);
        EXPECT_EQ(s.moment_method, c.moment_method);
        EXPECT_TRUE(near(s.t_factor, c.want.t_factor, 1e-6));
        EXPECT_NEAR(s.t_pbelow, c.want.t_pbelow, 1e-7);
        EXPECT_TRUE(near(s.dminimum, c.want.dminimum, 1e-4));
        EXPECT_TRUE(near(s.dmaximum, c.want.dmaximum, 1e-4));
        if (c.in.lower) { EXPECT_EQ(s.min_exists, 1); }
        if (c.in.upper) { EXPECT_EQ(s.max_exists, 1); }
        ASSERT_EQ(s.avg_exists + s.var_exists + s.skw_exists + s.krt_exists + s.med_exists, 5);
        EXPECT_TRUE(near(s.dmean, c.want.dmean, c.moment_tol));
        EXPECT_TRUE(near(s.dvariance, c.want.dvariance, c.moment_tol));
        EXPECT_DOUBLE_EQ(s.dstdev * s.dstdev, s.dvariance);
        EXPECT_TRUE(near(s.dskewness, c.want.dskewness, 10 * c.moment_tol));
        EXPECT_TRUE(near(s.dkurtosis, c.want.dkurtosis, 10 * c.moment_tol));
        EXPECT_NEAR(s.dmedian, c.want.dmedian, 1e-5);
        // The truncated cumulative distribution runs from 0 at the lower cut
        // to 1 at the upper one.
        if (c.in.lower) { EXPECT_NEAR(cumulative(s, c.in.t_min), 0.0, 1e-12); }
        if (c.in.upper) { EXPECT_NEAR(cumulative(s, c.in.t_max), 1.0, 1e-12); }
        // Quantile strips give no mode.
        if (c.moment_method == 1) { EXPECT_EQ(s.mod_exists, 0); }
    }
}

// A cut far beyond the mass (1e200) leaves the truncated distribution the
// same, to rounding, as a cut where the mass ends: its quantiles and its
// statistics follow. The far cut used to give quantiles of 2.5e199 for
// every p (the cumulative flat a rounding short of 1 ended the bisection),
// and a mean of infinity or twice the true one from strips wider than the
// whole distribution.
TEST_F(Truncation, CutFarBeyondTheMassMeasuresTheMass) {
    struct Case { const char* what; Inputs far, near; };
    const Case cases[] = {
        {"normal above", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = -1, .upper = 1, .t_max = 1e200},
         {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = -1, .upper = 1, .t_max = 9}},
        {"normal below", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = -1e200, .upper = 1, .t_max = 1},
         {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = -9, .upper = 1, .t_max = 1}},
        {"gamma", {.dtype = kGamma, .scale = 1, .shape_a = 3, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 1e200},
         {.dtype = kGamma, .scale = 1, .shape_a = 3, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 40}},
        {"gumbel", {.dtype = kGumbel, .mode = 0, .scale = 1, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 1e200},
         {.dtype = kGumbel, .mode = 0, .scale = 1, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 40}},
        {"weibull", {.dtype = kWeibull, .minimum = 0, .scale = 1, .shape_a = 2, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 1e200},
         {.dtype = kWeibull, .minimum = 0, .scale = 1, .shape_a = 2, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 8}},
        {"exponential power", {.dtype = kExpPower, .mean = 0, .scale = 1, .shape_a = 1.5, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 1e200},
         {.dtype = kExpPower, .mean = 0, .scale = 1, .shape_a = 1.5, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 20}},
    };
    auto near_slot = std::make_unique<DistSlot>();
    for (const auto& c : cases) {
        *near_slot = initialise(c.near);
        const DistSlot& want = *near_slot;
        const DistSlot& got = initialise(c.far);
        // The bisection stops within 1e-6 of p.
        for (double p : {0.0001, 0.5, 0.9999}) {
            EXPECT_NEAR(cumulative_across_cut(want, inverse(got, p)), p, 2e-6) << c.what << " p " << p;
        }
        // Both windows are integrated to the strips' own accuracy.
        EXPECT_TRUE(near(got.dmean, want.dmean, 1e-3)) << c.what;
        EXPECT_TRUE(near(got.dvariance, want.dvariance, 3e-3)) << c.what;
        EXPECT_TRUE(near(got.dmode, want.dmode, 0.05)) << c.what;
    }
    // The normal's own values: mean φ(1) / Φ(1), variance 1 − mean − mean².
    const DistSlot& s = initialise(cases[0].far);
    EXPECT_TRUE(near(s.dmean, 0.28759997093917, 1e-4));
    EXPECT_TRUE(near(s.dvariance, 0.62969429, 1e-4));
}

// A window far wider than the core of the distribution: equal strips over
// [−1, 1e6] on a Cauchy gave a mean of 202172 for 5.72, a Pareto of shape
// 0.5 cut at 1e6 478771 for 1000, and a lognormal of lstdev 3 cut at 1e6
// (pulled in to where a light tail would have ended) 66.4 for 85.1. Such
// windows are stripped in asinh of x, against the closed forms here: Cauchy
// (ln(1 + b²) − ln(1 + a²)) / (2π) over the mass between the cuts, Pareto
// (mode 1) a/(1 − a) (T^(1−a) − 1) and a/(2 − a) (T^(2−a) − 1) over 1 − T^−a,
// lognormal (lmean 0) E[X^k; X < T] = e^(k²σ²/2) Φ((ln T − kσ²)/σ).
TEST_F(Truncation, WideCutBeyondTheCoreMeasuresItsMoments) {
    const double pi = 3.14159265358979323846;
    const auto cauchy_mean = [&](double a, double b) {
        return (std::log1p(b * b) - std::log1p(a * a)) / (2 * pi) / ((std::atan(b) - std::atan(a)) / pi);
    };
    const auto pareto = [](double a, double t, double power) {
        return a / (power - a) * (std::pow(t, power - a) - 1) / (1 - std::pow(t, -a));
    };
    const auto phi = [](double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); };
    const auto lognormal = [&](double sigma, double t, double k) {
        return std::exp(k * k * sigma * sigma / 2) * phi((std::log(t) - k * sigma * sigma) / sigma) /
               phi(std::log(t) / sigma);
    };
    struct Case {
        const char* what;
        Inputs in;
        double mean, variance, mode;
        double mode_tol = 0.02;
    };
    const double ln2_mean = lognormal(2, 1e4, 1), ln3_mean = lognormal(3, 1e6, 1);
    const double pareto_mean_half = pareto(0.5, 1e6, 1), pareto_mean_3_2 = pareto(1.5, 1e6, 1);
    const Case cases[] = {
        {"cauchy [-1, 1e3]", {.dtype = kCauchy, .mean = 0, .scale = 1, .lower = 1, .t_min = -1, .upper = 1, .t_max = 1e3},
         cauchy_mean(-1, 1e3), NAN, 0},
        {"cauchy [-1, 1e6]", {.dtype = kCauchy, .mean = 0, .scale = 1, .lower = 1, .t_min = -1, .upper = 1, .t_max = 1e6},
         cauchy_mean(-1, 1e6), NAN, 0},
        {"pareto 0.5 below 1e6", {.dtype = kPareto, .mode = 1, .shape_a = 0.5, .upper = 1, .t_max = 1e6},
         pareto_mean_half, pareto(0.5, 1e6, 2) - pareto_mean_half * pareto_mean_half, 1},
        {"pareto 1.5 below 1e6", {.dtype = kPareto, .mode = 1, .shape_a = 1.5, .upper = 1, .t_max = 1e6},
         pareto_mean_3_2, pareto(1.5, 1e6, 2) - pareto_mean_3_2 * pareto_mean_3_2, 1},
        // The lognormal's peak lies within one of the strips nearest 0.
        {"lognormal 2 below 1e4", {.dtype = kLognormal, .lmean = 0, .lstdev = 2, .upper = 1, .t_max = 1e4},
         ln2_mean, lognormal(2, 1e4, 2) - ln2_mean * ln2_mean, std::exp(-4.0), 0.1},
        {"lognormal 3 below 1e6", {.dtype = kLognormal, .lmean = 0, .lstdev = 3, .upper = 1, .t_max = 1e6},
         ln3_mean, lognormal(3, 1e6, 2) - ln3_mean * ln3_mean, std::exp(-9.0), 0.2},
    };
    for (const auto& c : cases) {
        const DistSlot& s = initialise(c.in);
        EXPECT_EQ(s.avg_exists, 1) << c.what;
        EXPECT_TRUE(near(s.dmean, c.mean, 1e-3)) << c.what;
        if (!std::isnan(c.variance)) {
            EXPECT_EQ(s.var_exists, 1) << c.what;
            EXPECT_TRUE(near(s.dvariance, c.variance, 2e-3)) << c.what;
        }
        EXPECT_NEAR(s.dmode, c.mode, c.mode_tol) << c.what;
    }
}

// Cuts with a free side, far in a tail and just inside a bounded end: the
// moments are those of the whole truncated distribution (they used to stop
// at the 0.9999 quantile, a mean of 1.79 for an exponential cut at 9; and a
// strip end an ulp past t_max lost its last half strip). References:
// closed forms and scipy's expect on the truncated density.
TEST_F(Truncation, MomentsOfTheWholeTruncatedDistribution) {
    constexpr int kPower = 26, kStudentT = 35;
    struct Case { const char* name; Inputs in; double mean, variance, skewness, kurtosis; };
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"normal below 0.5", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = 0.5}, 1.1410777703680646, 0.2684804071558792, kNone, kNone},
        {"exponential below 1", {.dtype = kExponential, .mean = 1, .lower = 1, .t_min = 1}, 2, 1, 2, 9},
        {"exponential below 9", {.dtype = kExponential, .mean = 1, .lower = 1, .t_min = 9}, 10, 1, 2, 9},
        {"normal below 3.5", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = 3.5}, 3.751391264838875, 0.0569330049214367, 1.7299636997800056, kNone},
        {"student t 3 below 0", {.dtype = kStudentT, .shape_a = 3, .lower = 1, .t_min = 0}, 1.1026577908435842, 1.7841457962919465, kNone, kNone},
        {"lognormal below 1", {.dtype = kLognormal, .lmean = 0, .lstdev = 2, .lower = 1, .t_min = 1}, 14.441908195154655, 5753.158440937915, kNone, kNone},
        {"pareto below 1.5", {.dtype = kPareto, .mode = 1, .shape_a = 1.5, .lower = 1, .t_min = 1.5}, 4.5, kNone, kNone, kNone},
        // 3 (z^2 + 2z + 2) / (z + 1) at z = 22 / 3.
        {"gamma below 22", {.dtype = kGamma, .scale = 3, .shape_a = 2, .lower = 1, .t_min = 22}, 25.36, kNone, kNone, kNone},
        {"beta above 0.6", {.dtype = kBeta, .minimum = 0, .maximum = 1, .shape_a = 2, .shape_b = 3, .upper = 1, .t_max = 0.6}, 0.33263157894736844, kNone, kNone, kNone},
        {"power above 0.8", {.dtype = kPower, .minimum = 0, .maximum = 1, .shape_a = 2, .upper = 1, .t_max = 0.8}, 0.5333333333333333, kNone, kNone, kNone},
        {"weibull both sides", {.dtype = kWeibull, .minimum = 0, .scale = 1, .shape_a = 2, .lower = 1, .t_min = 0.3, .upper = 1, .t_max = 1.5}, 0.842305638863, kNone, kNone, kNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DistSlot& s = initialise(c.in);
        EXPECT_TRUE(near(s.dmean, c.mean, 1e-6));
        if (!std::isnan(c.variance)) { EXPECT_TRUE(near(s.dvariance, c.variance, 1e-6)); }
        if (!std::isnan(c.skewness)) { EXPECT_TRUE(near(s.dskewness, c.skewness, 1e-5)); }
        if (!std::isnan(c.kurtosis)) { EXPECT_TRUE(near(s.dkurtosis, c.kurtosis, 1e-5)); }
    }
}

// A Cauchy cut on both sides has a mean: ln((1 + b^2) / (1 + a^2)) / 2pi over
// the kept mass.
TEST_F(Truncation, CauchyCutOnBothSidesHasItsExactMean) {
    const DistSlot& s = initialise({.dtype = kCauchy, .mean = 0, .scale = 1, .lower = 1, .t_min = -1, .upper = 1, .t_max = 10});
    EXPECT_EQ(s.avg_exists, 1);
    EXPECT_TRUE(near(s.dmean, 0.8690291222804681, 1e-9));
}

// A window beyond the strips' reach (the Cauchy's density is no longer a
// normal number long before 1e200, while its tail still holds most of the
// mean) has its moments withdrawn, flags cleared, rather than given from
// part of the tail; its quantiles are still there.
TEST_F(Truncation, CutBeyondTheReachOfTheStripsWithdrawsTheMoments) {
    const DistSlot& s = initialise({.dtype = kCauchy, .mean = 0, .scale = 1, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 1e200});
    EXPECT_EQ(s.avg_exists, 0);
    EXPECT_EQ(s.var_exists, 0);
    EXPECT_TRUE(std::isnan(s.dmean));
    EXPECT_EQ(s.med_exists, 1);
    EXPECT_NEAR(cumulative_across_cut(s, inverse(s, 0.5)), 0.5, 1e-6);
}

TEST_F(Truncation, QuantileMethodSlotWithAFreeSideHasExactMoments) {
    // Gamma a = 0.5 cut below only: the moments come from the density out to
    // infinity, not from the quantile strips (which gave 1.30871, 2.05573).
    // Reference: the incomplete gamma of shifted shapes.
    const DistSlot& s = initialise({.dtype = kGamma, .scale = 2, .shape_a = 0.5, .lower = 1, .t_min = 0.1});
    EXPECT_EQ(s.moment_method, 1);
    EXPECT_EQ(s.max_exists, 0);
    EXPECT_NEAR(s.t_factor, 1.3300885662336321, 1e-6);
    EXPECT_TRUE(near(s.dmean, 1.319231616868391, 1e-9));
    EXPECT_TRUE(near(s.dvariance, 2.249245953346823, 1e-9));
}

TEST_F(Truncation, DensityMomentsLeaveTheHighestGridPointAsTheMode) {
    struct Case {
        const char* name;
        Inputs in;
        double mode;
        double tol;  // the grid spacing of the level where the search stopped
    };
    const Case cases[] = {
        {"normal peak inside", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = -1, .upper = 1, .t_max = 2}, 0.0, 3.0 / 32},
        {"gamma peak inside", {.dtype = kGamma, .scale = 1.5, .shape_a = 2, .lower = 1, .t_min = 1, .upper = 1, .t_max = 4}, 1.5, 3.0 / 32},
        // A decreasing density peaks at the first point, which is exact.
        {"exponential at the cut", {.dtype = kExponential, .mean = 1, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 2}, 0.5, 0},
        // Equal densities: ties keep the earliest abscissa.
        {"uniform ties", {.dtype = kUniform, .minimum = 0, .maximum = 10, .lower = 1, .t_min = 2, .upper = 1, .t_max = 5}, 2.0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DistSlot& s = initialise(c.in);
        EXPECT_NEAR(s.dmode, c.mode, c.tol);
    }
}

TEST_F(Truncation, PoissonCutBelowKeepsTheMassOfTheCutPoint) {
    const DistSlot& s = initialise({.dtype = 6, .mean = 2, .lower = 1, .t_min = 3});
    // Mass of 0, 1 and 2: 5 e^-2.
    EXPECT_NEAR(s.t_pbelow, 5 * std::exp(-2.0), 1e-12);
    EXPECT_NEAR(s.t_factor, 1 / (1 - 5 * std::exp(-2.0)), 1e-10);
    EXPECT_NEAR(cumulative(s, 2.0), 0.0, 1e-12);
    EXPECT_EQ(s.dminimum, 3.0);
    EXPECT_EQ(s.dmaximum, s.maximum);
    // scipy.stats.poisson(2) restricted to 3, 4, ... and renormalised; the sum
    // stops at the working maximum (mass beyond it about 1e-6 of the kept mass).
    EXPECT_NEAR(s.dmean, 3.6743014120892408, 1e-5);
    EXPECT_NEAR(s.dvariance, 0.8710161935652155, 1e-4);
    EXPECT_NEAR(s.dskewness, 1.6028110107453875, 1e-3);
    EXPECT_NEAR(s.dkurtosis, 5.972652647282426, 1e-2);
    EXPECT_EQ(s.dmode, 3.0);
    // No median for the discrete types: the field is left alone.
    EXPECT_EQ(s.med_exists, 0);
    EXPECT_EQ(s.dmedian, kSentinel);
}

// The normal approximation to the binomial has zero masses (equal rounded
// normal probabilities) far below its peak and between tiny positive ones far
// above it: its moment sums run through them over the whole window.
TEST_F(Truncation, NormalApproximationMomentsSumThroughItsZeroMasses) {
    const DistSlot& s = initialise({.dtype = 30, .n = 1000, .p = 0.5, .lower = 1, .t_min = 0, .upper = 1, .t_max = 1000});
    EXPECT_NEAR(s.dmean, 500.0, 1e-6);
    EXPECT_NEAR(s.dvariance, 250.0 + 1.0 / 12, 1e-3);  // the normal's 250, plus the unit steps'
    // Bit for bit the sum over every whole number of the window.
    double variance = 0.0;
    for (double i = 0; i <= 1000; i += 1) variance = variance + (i - s.dmean) * (i - s.dmean) * density(s, i);
    EXPECT_EQ(s.dvariance, variance);
}

// The central moments of a discrete slot are summed in one pass over its
// masses; each is the same to the last bit as its own density_moment call.
TEST_F(Truncation, DiscreteCentralMomentsInOnePassEqualTheirOwnSums) {
    DistSlot& s = initialise({.dtype = kBinomial, .n = 40, .p = 0.3, .lower = 1, .t_min = 5, .upper = 1, .t_max = 20});
    const double variance = s.dvariance, skewness = s.dskewness, kurtosis = s.dkurtosis;
    const double v = density_moment(s, 3, 5, 20);
    EXPECT_EQ(variance, v);
    EXPECT_EQ(skewness, density_moment(s, 4, 5, 20) / std::sqrt(v * v * v));
    EXPECT_EQ(kurtosis, density_moment(s, 5, 5, 20) / v / v);
}

TEST_F(Truncation, MomentFlagsFollowTheBoundsOfTheTruncatedRange) {
    // Pareto a = 0.8 cut above: bounded on both sides, every moment exists.
    const DistSlot& above = initialise({.dtype = kPareto, .mode = 1, .shape_a = 0.8, .upper = 1, .t_max = 10});
    EXPECT_EQ(above.avg_exists + above.var_exists + above.skw_exists + above.krt_exists, 4);

    // Cut below only, it stays unbounded above: no mean, and the statistics
    // keep what they held.
    const DistSlot& below = initialise({.dtype = kPareto, .mode = 1, .shape_a = 0.8, .lower = 1, .t_min = 2});
    EXPECT_EQ(below.avg_exists, 0);
    EXPECT_EQ(below.dmean, kSentinel);
    EXPECT_EQ(below.dvariance, kSentinel);
    EXPECT_NEAR(below.t_pbelow, 1 - std::pow(0.5, 0.8), 1e-12);

    // Cauchy cut on both sides: the step grants nothing, so variance and
    // kurtosis stay undefined and untouched; the mean is the centre.
    const DistSlot& cauchy = initialise({.dtype = 13, .mean = 1, .scale = 1, .lower = 1, .t_min = -2, .upper = 1, .t_max = 4});
    EXPECT_EQ(cauchy.var_exists, 0);
    EXPECT_EQ(cauchy.krt_exists, 0);
    EXPECT_EQ(cauchy.dvariance, kSentinel);
    EXPECT_EQ(cauchy.dkurtosis, kSentinel);
    EXPECT_NEAR(cauchy.dmean, 1.0, 1e-6);
    // Kept mass (atan(3) - atan(-3)) / pi.
    EXPECT_NEAR(cauchy.t_factor, 3.141592653589793 / (2 * std::atan(3.0)), 1e-12);
}


TEST_F(Truncation, CutBeyondABoundOfItsOwnCutsNothingAndMomentsStartAtTheBound) {
    struct Case {
        const char* name;
        Inputs in;
        double dminimum, dmaximum, dmean, dvariance;
    };
    const Case cases[] = {
        // The exponential itself, from its bound out to infinity.
        {"exponential below its bound", {.dtype = kExponential, .mean = 1, .lower = 1, .t_min = -1},
         -1, 5.298317366548036, 1, 1},
        // Closed form: the uniform on [0, 1] itself.
        {"uniform above its bound", {.dtype = kUniform, .minimum = 0, .maximum = 1, .upper = 1, .t_max = 2},
         0, 2, 0.5, 1.0 / 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DistSlot& s = initialise(c.in);
        EXPECT_EQ(s.t_factor, 1.0);
        EXPECT_EQ(s.t_pbelow, 0.0);
        EXPECT_TRUE(near(s.dminimum, c.dminimum, 1e-4));
        EXPECT_TRUE(near(s.dmaximum, c.dmaximum, 1e-4));
        EXPECT_TRUE(near(s.dmean, c.dmean, 1e-9));
        EXPECT_TRUE(near(s.dvariance, c.dvariance, 1e-9));
    }
}

TEST_F(Truncation, TruncationWithoutMassReportsThePointAtTheNearestCut) {
    struct Case {
        const char* name;
        Inputs in;
        double point;
    };
    const Case cases[] = {
        // Windows whose tails have no logarithm either (z² overflows); the
        // window reports the cut nearer the median.
        {"normal window far above", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = 1e160, .upper = 1, .t_max = 1e170}, 1e160},
        {"normal window far below", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = -1e170, .upper = 1, .t_max = -1e160}, -1e160},
        {"normal cut below far above", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = 1e160}, 1e160},
        {"normal inverted window", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = 1.5, .upper = 1, .t_max = -1}, 1.5},
        {"normal zero-width window", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 0.5}, 0.5},
        {"uniform window beyond its range", {.dtype = kUniform, .minimum = 0, .maximum = 1, .lower = 1, .t_min = 2, .upper = 1, .t_max = 3}, 2},
        {"exponential cut above at its bound", {.dtype = kExponential, .mean = 1, .upper = 1, .t_max = 0}, 0},
        // The cumulative value at -1 is not a number: nothing is cut there,
        // and no mass lies between the bound 0 and -1.
        {"lognormal cut above below its support", {.dtype = 22, .mean = 1, .stdev = 0.5, .upper = 1, .t_max = -1}, -1},
        {"binomial window beyond n", {.dtype = kBinomial, .n = 5, .p = 0.5, .lower = 1, .t_min = 7, .upper = 1, .t_max = 9}, 7},
        {"poisson cut beyond its working range", {.dtype = 6, .mean = 2, .lower = 1, .t_min = 30}, 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DistSlot& s = initialise(c.in);
        EXPECT_EQ(s.t_factor, 1.0);
        EXPECT_EQ(s.t_pbelow, 0.0);
        for (double v : {s.dminimum, s.dmaximum, s.dmean, s.dmode, s.dmedian}) EXPECT_EQ(v, c.point);
        EXPECT_EQ(s.dvariance, 0.0);
        EXPECT_EQ(s.dstdev, 0.0);
        EXPECT_EQ(s.min_exists + s.max_exists + s.avg_exists + s.var_exists + s.mod_exists + s.med_exists, 6);
        EXPECT_EQ(s.skw_exists + s.krt_exists, 0);
        // The queries still answer: the ends give the point, the inside a number.
        EXPECT_EQ(inverse(s, 0.0), c.point);
        EXPECT_EQ(inverse(s, 1.0), c.point);
        EXPECT_TRUE(std::isfinite(inverse(s, 0.5)));
    }
}

// Cuts with both ends beyond the median on one side: the kept mass, the
// density, the cumulative distribution and the quantiles come from that tail,
// out to and beyond the point where the tail itself underflows (39 sd).
TEST_F(Truncation, CutsInATailAnswerFromThatTail) {
    struct Point { double x, density, cumulative; };
    struct Quantile { double p, x, density; };
    struct Case {
        const char* name;
        Inputs in;
        Point points[4];
        Quantile quantiles[3];
    };
    // References: scipy.stats.truncnorm (of ln x for the lognormal, with its
    // Jacobian for the density); a point with x 0 ends the list.
    const Case cases[] = {
        {"normal cut below at 8", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = 8},
         {{8.1, 3.6309656301249498, 0.558274102593887}, {8.3, 0.7043348664884073, 0.9163220907327536}, {9, 0.0016524415239317497, 0.999818582935468}},
         {{0.001, 8.00012319264935, 8.113368050649841}, {0.5, 8.084911007391545, 4.10253726730919}, {0.999, 8.810652760920766, 0.00892139985710214}}},
        {"normal [13, 15]", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = 13, .upper = 1, .t_max = 15},
         {{13.05, 6.817763174765852, 0.48058120770441376}, {14, 1.7926713878580074e-05, 0.9999987259565644}},
         {{0.001, 13.000076513801833, 13.063038522361117}, {0.5, 13.052902552727302, 6.564319931204159}, {0.999, 13.51807012915613, 0.013591256864659352}}},
        {"normal [39, 40]", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = 39, .upper = 1, .t_max = 40},
         {{39, 39.025607419932626, 0.0}, {39.02, 17.885995479292554, 0.5419202656105151}, {39.5, 1.1703626781863861e-07, 0.9999999970389519}, {40, 2.733490924042672e-16, 1.0}},
         {{0.001, 39.00002563701302, 38.986607407105154}, {0.5, 39.01775730523236, 19.521676550737162}, {0.999, 39.17660636216287, 0.03920209864497028}}},
        {"normal [-40, -39]", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = -40, .upper = 1, .t_max = -39},
         {{-39.5, 1.1703626781863861e-07, 2.961048103554529e-09}, {-39.02, 17.885995479292554, 0.45807973438948574}, {-39, 39.025607419932626, 1.0}},
         {{0.001, -39.17660636216287, 0.03920209864497028}, {0.5, -39.01775730523236, 19.521676550737162}, {0.999, -39.00002563701302, 38.986607407105154}}},
        {"normal [36, 37] sd", {.dtype = kNormal, .mean = 1.5, .stdev = 2, .lower = 1, .t_min = 73.5, .upper = 1, .t_max = 75.5},
         {{73.52, 12.567220545257658, 0.3025519946436014}, {73.9, 0.013182591837437516, 0.9992722345242365}},
         {{0.001, 73.50005554054098, 17.995867530701272}, {0.5, 73.53846827146613, 9.011738611495382}, {0.999, 73.88245453534093, 0.018109408121153293}}},
        {"normal cut above at -37 sd", {.dtype = kNormal, .mean = 1.5, .stdev = 2, .upper = 1, .t_max = -72.5},
         {{-72.7, 0.45543597277383474, 0.024534005633964268}, {-72.52, 12.787266398146176, 0.6905134411476889}},
         {{0.001, -72.87218542537951, 0.01860647286601517}, {0.5, -72.53743065366439, 9.261422352142157}, {0.999, -72.50005404166157, 18.494993836311785}}},
        {"lognormal [30, 31] sd", {.dtype = kLognormal, .lmean = 0.3, .lstdev = 0.8, .lower = 1, .t_min = 35756574811.92565, .upper = 1, .t_max = 79577720706.64345},
         {{36043774678.15508, 7.715643601174234e-10, 0.2594651188321463}, {41960729251.2267, 2.173785440446107e-12, 0.997586385723383}},
         {{0.001, 35757527753.35964, 1.048844171279534e-09}, {0.5, 36422639198.66298, 5.157558827326791e-10}, {0.999, 42950079860.57401, 8.807358215375437e-13}}},
        {"lognormal cut below at 37 sd", {.dtype = kLognormal, .lmean = 0.3, .lstdev = 0.8, .lower = 1, .t_min = 9669522068253.527},
         {{9747188496291.19, 3.2797319973374213e-12, 0.30948655885230675}, {10474868207136.682, 1.0869730381513046e-13, 0.9754659943660358}},
         {{0.001, 9669731093328.402, 4.781672224854407e-12}, {0.5, 9815385911879.768, 2.3589042843778722e-12}, {0.999, 11221740964379.543, 4.145184095114232e-15}}},
        {"lognormal [-37, -36] sd", {.dtype = kLognormal, .lmean = 0.3, .lstdev = 0.8, .lower = 1, .t_min = 1.8843938588989806e-13, .upper = 1, .t_max = 4.1937956583795446e-13},
         {{2.8111852987890343e-13, 2153128.829818299, 1.3256571875919447e-08}, {4.1272288821405436e-13, 53101835578269.73, 0.4863851165720634}},
         {{0.001, 3.598886149916689e-13, 125798701089.58926}, {0.5, 4.129758374658434e-13, 54553667514753.375}, {0.999, 4.193702489142625e-13, 107279114203332.58}}},
        {"lognormal cut above at -20 sd", {.dtype = kLognormal, .lmean = 0.3, .lstdev = 0.8, .upper = 1, .t_max = 1.519065967568964e-07},
         {{1.194939612887766e-07, 497007.49686817883, 0.002334830096909694}, {1.5069619205712475e-07, 136155801.76412418, 0.8182826963179889}},
         {{0.001, 1.155801240485641e-07, 220523.9973223966}, {0.5, 1.4776637743620407e-07, 84949170.07205074}, {0.999, 1.5190053266711076e-07, 164826224.53568208}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DistSlot& s = initialise(c.in);
        for (const Point& pt : c.points) {
            if (pt.x == 0) break;
            EXPECT_NEAR(density(s, pt.x), pt.density, 1e-6 * pt.density) << pt.x;
            EXPECT_NEAR(cumulative(s, pt.x), pt.cumulative, 1e-6 * pt.cumulative) << pt.x;
        }
        // Within the bisection's 1e-6 in probability: the distance to the
        // reference quantile times the density there.
        for (const Quantile& q : c.quantiles)
            EXPECT_NEAR((inverse(s, q.p) - q.x) * q.density, 0.0, 1.01e-6) << q.p;
        EXPECT_NEAR(s.dmedian, c.quantiles[1].x, 1.01e-6 / c.quantiles[1].density);
        // The cuts map to 0 and 1 (to rounding at the far end).
        if (c.in.lower) { EXPECT_NEAR(cumulative(s, c.in.t_min), 0.0, 1e-12); }
        if (c.in.upper) { EXPECT_NEAR(cumulative(s, c.in.t_max), 1.0, 1e-12); }
    }
}

// The rule that decides: a lower cut above the median (or an upper cut below
// it) is measured from the tail; every other truncation keeps the masses of
// the cumulative distribution and the transform (F − t_pbelow) × t_factor bit
// for bit, the median itself included.
TEST_F(Truncation, CutsOutsideATailKeepTheMassesOfTheCumulativeDistribution) {
    struct Case {
        const char* name;
        Inputs in;
        int tail;  // kNoTail, kLowerTail or kUpperTail
    };
    const Case cases[] = {
        {"normal both sides of the median", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = -1, .upper = 1, .t_max = 2}, kNoTail},
        {"normal cut below at the median", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = 0}, kNoTail},
        {"normal cut above at the median", {.dtype = kNormal, .mean = 0, .stdev = 1, .upper = 1, .t_max = 0}, kNoTail},
        {"normal cut below the median", {.dtype = kNormal, .mean = 2, .stdev = 3, .lower = 1, .t_min = -4}, kNoTail},
        {"lognormal around its median", {.dtype = kLognormal, .lmean = 0, .lstdev = 1, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 3}, kNoTail},
        {"lognormal cut below its bound", {.dtype = kLognormal, .lmean = 0, .lstdev = 1, .lower = 1, .t_min = -1, .upper = 1, .t_max = 2}, kNoTail},
        {"exponential far in its tail (no tail formula)", {.dtype = kExponential, .mean = 1, .lower = 1, .t_min = 5, .upper = 1, .t_max = 6}, kNoTail},
        {"normal just above the median", {.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = 1e-9}, kUpperTail},
        {"normal just below the median", {.dtype = kNormal, .mean = 0, .stdev = 1, .upper = 1, .t_max = -1e-9}, kLowerTail},
        {"lognormal below its median, cut below its bound", {.dtype = kLognormal, .lmean = 0, .lstdev = 1, .lower = 1, .t_min = -1, .upper = 1, .t_max = 0.5}, kLowerTail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DistSlot& s = initialise(c.in);
        EXPECT_EQ(s.t_tail, c.tail);
        if (c.tail != kNoTail) continue;
        // The untruncated cumulative distribution, as the slot evaluates it.
        DistSlot plain = s;
        plain.t_factor = 1;
        plain.t_pbelow = 0;
        const bool cuts_below = c.in.lower && !(s.min_exists && c.in.t_min <= s.minimum);
        const double below = cuts_below ? cumulative(plain, c.in.t_min) : 0.0;
        const double above = c.in.upper ? 1.0 - cumulative(plain, c.in.t_max) : 0.0;
        EXPECT_EQ(s.t_pbelow, below);
        EXPECT_EQ(s.t_factor, 1.0 / (1.0 - below - above));
        plain.cut_in_force = 0;
        // The transform itself, also where the cut answers 0 or 1.
        for (double x : {0.1, 0.7, 1.3, 2.5, 5.5})
            EXPECT_EQ(cumulative_across_cut(s, x), (cumulative(plain, x) - s.t_pbelow) * s.t_factor) << x;
    }
}

// A cut where the untruncated cumulative distribution is not a number cuts
// nothing: the normal's Φ at 1e200 (z² overflows) leaves the lower cut alone.
TEST_F(Truncation, CutWhereTheCumulativeIsNotANumberCutsNothing) {
    // Φ at 1e200 is 1 (z² is infinite there, and the incomplete gamma
    // function's limit is 1): the upper cut takes nothing away.
    const DistSlot& above = initialise({.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = -1, .upper = 1, .t_max = 1e200});
    EXPECT_EQ(normal_integral(1e200), 1.0);
    EXPECT_EQ(above.t_pbelow, normal_integral(-1));
    EXPECT_EQ(above.t_factor, 1.0 / (1.0 - normal_integral(-1)));
    EXPECT_EQ(above.dminimum, -1.0);
    EXPECT_EQ(above.dmaximum, 1e200);
    EXPECT_EQ(cumulative(above, 1), (normal_integral(1) - normal_integral(-1)) * above.t_factor);
    EXPECT_NEAR(normal_integral(above.dmedian), (1 + normal_integral(-1)) / 2, 1e-6);

    const DistSlot& below = initialise({.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = -1e200, .upper = 1, .t_max = 1});
    EXPECT_EQ(below.t_pbelow, 0.0);
    EXPECT_EQ(below.t_factor, 1.0 / normal_integral(1));
    EXPECT_EQ(below.dminimum, -1e200);
    EXPECT_EQ(below.dmaximum, 1.0);
}

TEST_F(Truncation, DiscreteWindowOfOneValueHasNoShape) {
    const DistSlot& s = initialise({.dtype = 6, .mean = 2, .lower = 1, .t_min = 3, .upper = 1, .t_max = 3});
    // Poisson(2) mass at 3: (8 / 6) e^-2.
    EXPECT_NEAR(s.t_factor, 1 / (8.0 / 6 * std::exp(-2.0)), 1e-10);
    EXPECT_NEAR(cumulative(s, 2.0), 0.0, 1e-12);
    EXPECT_NEAR(cumulative(s, 3.0), 1.0, 1e-12);
    EXPECT_EQ(s.dmean, 3.0);
    EXPECT_EQ(s.dvariance, 0.0);
    EXPECT_EQ(s.dstdev, 0.0);
    EXPECT_EQ(s.dmode, 3.0);
    EXPECT_EQ(s.skw_exists + s.krt_exists, 0);
}

TEST_F(Truncation, MomentToolsMeasureTheWindowTheyAreGiven) {
    DistSlot& s = initialise({.dtype = kUniform, .minimum = 0, .maximum = 10, .lower = 1, .t_min = 2, .upper = 1, .t_max = 5});
    // Kind 0 integrates the density alone: the kept mass, 1.
    EXPECT_NEAR(density_moment(s, 0, 2, 5), 1.0, 1e-12);
    EXPECT_NEAR(quantile_moment(s, 0), 1.0, 1e-12);
    // Strip midpoints of a uniform average to the centre, up to the bisection
    // tolerance (1e-6 in probability, 3e-6 in x).
    EXPECT_NEAR(quantile_moment(s, 1), 3.5, 3e-6);
    // Kind 2 is centred on the stored mean.
    EXPECT_NEAR(density_moment(s, 2, 2, 5), 0.0, 1e-12);
    EXPECT_EQ(density_moment(s, 1, 4, 4), 0.0);

    // A discrete window reaching below the support sums the support only.
    DistSlot& p = initialise({.dtype = 6, .mean = 2, .upper = 1, .t_max = 8});
    EXPECT_EQ(density_moment(p, 0, -5, 8), density_moment(p, 0, 0, 8));
    EXPECT_NEAR(density_moment(p, 0, 0, 8), 1.0, 1e-12);
    EXPECT_NEAR(density_moment(p, 0, 0, 3.9), (1 + 2 + 2 + 8.0 / 6) * std::exp(-2.0) * p.t_factor, 1e-12);
}

TEST_F(Truncation, DegenerateAndUnsupportedTypesAreNeverTruncated) {
    const DistSlot& point = initialise({.dtype = 1, .mean = 4, .lower = 1, .t_min = 1, .upper = 1, .t_max = 6});
    EXPECT_EQ(point.t_factor, 1.0);
    EXPECT_EQ(point.t_pbelow, 0.0);
    for (double v : {point.dminimum, point.dmaximum, point.dmean, point.dmedian}) EXPECT_EQ(v, 4.0);

    const DistSlot& f = initialise({.dtype = 36, .shape_a = 3, .shape_b = 5, .lower = 1, .t_min = 0.5, .upper = 1, .t_max = 2});
    EXPECT_EQ(f.t_factor, 1.0);
    EXPECT_EQ(f.t_pbelow, 0.0);
    EXPECT_EQ(f.dclass, 0);
    EXPECT_EQ(f.dmean, kSentinel);
    EXPECT_EQ(f.dvariance, kSentinel);
}

// Outside the cut the truncated distribution has no mass: density 0,
// cumulative 0 below and 1 above; inside, the transform's own values.
TEST_F(Truncation, ValuesOutsideTheCutHaveNoMass) {
    const DistSlot& normal = initialise({.dtype = kNormal, .mean = 0, .stdev = 1, .lower = 1, .t_min = -1, .upper = 1, .t_max = 2});
    EXPECT_EQ(cumulative(normal, -2), 0.0);
    EXPECT_EQ(cumulative(normal, 3), 1.0);
    EXPECT_EQ(density(normal, -2), 0.0);
    EXPECT_EQ(density(normal, 3), 0.0);
    // scipy.stats.truncnorm(-1, 2).cdf(0)
    EXPECT_NEAR(cumulative(normal, 0), 0.41698875142898584, 1e-8);
    EXPECT_EQ(cumulative(normal, 0), (normal_integral(0) - normal.t_pbelow) * normal.t_factor);
    EXPECT_GT(density(normal, 2), 0.0);

    // Poisson(3) on 2..6 keeps the mass of both cut points.
    const DistSlot& poisson = initialise({.dtype = 6, .mean = 3, .lower = 1, .t_min = 2, .upper = 1, .t_max = 6});
    for (double x : {1.0, 1.5, 7.0, 2.5}) EXPECT_EQ(density(poisson, x), 0.0) << x;
    EXPECT_EQ(cumulative(poisson, 1), 0.0);
    EXPECT_EQ(cumulative(poisson, 7), 1.0);
    // scipy: cumulative masses of Poisson(3) on 2..6, renormalised
    EXPECT_NEAR(cumulative(poisson, 2), 0.2919708, 1e-7);
    EXPECT_NEAR(cumulative(poisson, 6), 1.0, 1e-12);
    EXPECT_EQ(inverse_whole(poisson, 0.5), 3);
    EXPECT_EQ(inverse_whole(poisson, 0.1), 2);
}

// The Poisson, geometric and logarithmic series have no upper bound: their
// working maximum is only where the upper-bound search stopped. Truncated,
// their sums run to the cut, or to where the masses end, and a cut below
// beyond the search end still finds the mass there.
TEST_F(Truncation, SearchEndTypesHaveAFreeUpperSide) {
    struct Case {
        const char* what;
        Inputs in;
        double mean, variance, tol;
    };
    const Case cases[] = {
        // scipy.stats.poisson(3) on 0..20, renormalised.
        {"Poisson 3 cut above at 20", {.dtype = 6, .mean = 3, .upper = 1, .t_max = 20}, 2.99999999978594,
         2.9999999961469, 1e-12},
        // failures before the first success, p = 0.5, on 1..40: 1 + a
        // geometric on 0..39, mean and variance 2 less about 1e-9.
        {"geometric 0.5 cut to 1..40", {.dtype = 7, .p = 0.5, .lower = 1, .t_min = 1, .upper = 1, .t_max = 40},
         2.0, 2.0, 2e-9},
        // Memoryless: the geometric shifted to 30.
        {"geometric 0.5 cut below at 30", {.dtype = 7, .p = 0.5, .lower = 1, .t_min = 30}, 31.0, 2.0, 1e-12},
        // theta 0.5 cut below at 3: theta^k / k over k = 3..400, renormalised.
        {"log series 0.5 cut below at 3", {.dtype = 20, .shape_a = 0.5, .lower = 1, .t_min = 3}, 3.6685303477828946,
         1.2160064785274858, 1e-12},
    };
    for (const auto& c : cases) {
        const DistSlot& s = initialise(c.in);
        EXPECT_TRUE(near(s.dmean, c.mean, c.tol)) << c.what;
        EXPECT_TRUE(near(s.dvariance, c.variance, c.tol)) << c.what;
        EXPECT_GT(s.dmaximum, s.dminimum) << c.what;
    }
    const DistSlot& shifted = initialise({.dtype = 7, .p = 0.5, .lower = 1, .t_min = 30});
    EXPECT_EQ(shifted.dminimum, 30.0);
    EXPECT_EQ(shifted.dmode, 30.0);
    EXPECT_EQ(std::floor(inverse(shifted, 0.5)), 30.0);  // the median: on the step of 30
    EXPECT_GE(cumulative(shifted, shifted.dmaximum), 0.999999);
}

// The moment sums stop once no later mass can change them; each statistic
// keeps the bits of the sum over every whole number of the window, out to
// where the masses have underflowed.
TEST_F(Truncation, DiscreteMomentSumsStopOnlyWhereNoLaterMassCounts) {
    struct Case {
        Inputs in;
        double first, last;  // the window, and far enough for its masses to end
    };
    const Case cases[] = {
        {{.dtype = 6, .mean = 50, .lower = 1, .t_min = 10}, 10, 3000},
        {{.dtype = 6, .mean = 3, .upper = 1, .t_max = 1e6}, 0, 3000},
        {{.dtype = kBinomial, .n = 1000, .p = 0.3, .lower = 1, .t_min = 100}, 100, 1000},
        {{.dtype = 7, .p = 0.2, .lower = 1, .t_min = 3}, 3, 5000},
        {{.dtype = 7, .p = 0.5, .lower = 1, .t_min = 30}, 30, 3000},
        {{.dtype = 20, .shape_a = 0.9, .lower = 1, .t_min = 2}, 2, 20000},
    };
    for (const auto& c : cases) {
        const DistSlot& s = initialise(c.in);
        double mean = 0, m2 = 0, m3 = 0, m4 = 0;
        for (double i = c.first; i <= c.last; i += 1) mean = mean + i * density(s, i);
        for (double i = c.first; i <= c.last; i += 1) {
            const double d = i - mean, p = density(s, i);
            m2 = m2 + d * d * p;
            m3 = m3 + d * d * d * p;
            m4 = m4 + d * d * d * d * p;
        }
        EXPECT_EQ(s.dmean, mean) << c.in.dtype << " " << c.first;
        EXPECT_EQ(s.dvariance, m2) << c.in.dtype << " " << c.first;
        EXPECT_EQ(s.dskewness, m3 / std::sqrt(m2 * m2 * m2)) << c.in.dtype << " " << c.first;
        EXPECT_EQ(s.dkurtosis, m4 / m2 / m2) << c.in.dtype << " " << c.first;
    }
}

// The normal approximations' masses are zero wherever their cumulative
// distribution stands still, as it does far from the peak: the sums pass over
// those runs and keep the bits of the sum over the whole window.
TEST_F(Truncation, NormalApproximationSumsPassOverTheirStillRuns) {
    const Inputs cases[] = {
        {.dtype = 31, .mean = 1e5, .lower = 1, .t_min = 1, .upper = 1, .t_max = 2e5},
        {.dtype = 30, .n = 100000, .p = 0.3, .lower = 1, .t_min = 1, .upper = 1, .t_max = 1e5},
    };
    for (const auto& in : cases) {
        const DistSlot& s = initialise(in);
        double mean = 0, m2 = 0;
        for (double i = 1; i <= in.t_max; i += 1) mean = mean + i * density(s, i);
        for (double i = 1; i <= in.t_max; i += 1) m2 = m2 + (i - mean) * (i - mean) * density(s, i);
        EXPECT_EQ(s.dmean, mean) << in.dtype;
        EXPECT_EQ(s.dvariance, m2) << in.dtype;
    }
}

// Masses spread over up to about 1.5 million whole numbers are summed to
// their true value; beyond that reach a sum is not a number and the
// statistics it measures are withdrawn.
TEST_F(Truncation, HugeDiscreteParametersAreSummedOrNotANumber) {
    struct Reach {
        const char* what;
        Inputs in;
        double mean;
    };
    // The masses keep their digits (saddle point), so the sums over about a
    // million and a half of them reach the moments to many digits.
    const Reach within[] = {
        {"Poisson 1e9 cut below at 0", {.dtype = 6, .mean = 1e9, .lower = 1, .t_min = 0}, 1e9},
        {"binomial 1e9, 0.5 cut below at 0", {.dtype = kBinomial, .n = 1000000000, .p = 0.5, .lower = 1}, 5e8},
    };
    for (const auto& c : within) {
        const DistSlot& s = initialise(c.in);
        EXPECT_EQ(s.avg_exists, 1) << c.what;
        EXPECT_TRUE(near(s.dmean, c.mean, 1e-11)) << c.what;
        EXPECT_TRUE(near(s.dvariance, c.mean * (c.in.dtype == 6 ? 1 : 0.5), 1e-9)) << c.what;
        // Poisson 1/sqrt(1e9); binomial with p 0.5: 0.
        const double skewness = c.in.dtype == 6 ? 1 / std::sqrt(1e9) : 0.0;
        EXPECT_NEAR(s.dskewness, skewness, 1e-7) << c.what;
    }
    // Flat masses of about 1e-9 to the end of the reach and beyond.
    const DistSlot& beyond = initialise({.dtype = 7, .p = 1e-9, .lower = 1, .t_min = 5});
    EXPECT_EQ(beyond.avg_exists, 0);
    EXPECT_EQ(beyond.var_exists, 0);
    EXPECT_EQ(beyond.skw_exists, 0);
    EXPECT_EQ(beyond.krt_exists, 0);
    EXPECT_EQ(beyond.mod_exists, 0);
    EXPECT_TRUE(std::isnan(beyond.dmean));
    EXPECT_TRUE(std::isnan(beyond.dvariance));
}

// Masses that are not numbers (parameters outside the domain) end the sums at
// once: the statistics are withdrawn.
TEST_F(Truncation, MassesThatAreNotNumbersEndTheSums) {
    const Inputs cases[] = {
        {.dtype = 30, .n = 2147483647, .p = -1, .lower = 1, .t_min = 1},
        {.dtype = 31, .mean = std::numeric_limits<double>::infinity(), .lower = 1, .t_min = 1},
    };
    for (const auto& in : cases) {
        const DistSlot& s = initialise(in);
        EXPECT_EQ(s.avg_exists, 0) << in.dtype;
        EXPECT_EQ(s.var_exists, 0) << in.dtype;
        EXPECT_TRUE(std::isnan(s.dmean)) << in.dtype;
    }
}

}  // namespace
}  // namespace kvz
