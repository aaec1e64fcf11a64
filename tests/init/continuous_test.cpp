// Statistics and working values of the continuous type routines.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "init/init.h"
#include "interface/catalogue.h"
#include "slot_maker.h"

namespace kvz {
namespace {

using testing_init::close;
using testing_init::make_slot;

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();  // the flag must be clear
constexpr double kPi = 3.141592653589793;

struct Moments {
    const char* what;
    int dtype;
    void (*set)(DistSlot&);
    double mean, mode, variance, skewness, kurtosis;
};

// Closed forms of each distribution's moments; the values marked scipy come
// from scipy.stats <dist>.stats('mvsk') (kurtosis = excess + 3).
const Moments kMoments[] = {
    {"normal 10, 2", kNormal, [](DistSlot& s) { s.mean = 10; s.stdev = 2; }, 10, 10, 4, 0, 3},
    {"uniform 2..8", kUniform, [](DistSlot& s) { s.minimum = 2; s.maximum = 8; },
     5, kNone, 3, 0, 1.8},
    {"triangular 0, 0, 1", kTriangular,
     [](DistSlot& s) { s.minimum = 0; s.mode = 0; s.maximum = 1; },
     1.0 / 3, 0, 1.0 / 18, 2 * std::sqrt(2.0) / 5, 2.4},
    {"exponential 2", kExponential, [](DistSlot& s) { s.mean = 2; }, 2, 0, 4, 2, 9},
    // scipy pareto(6): skew 3.810317377662722, kurtosis 38.666666666666664
    {"Pareto 1, 6", kPareto, [](DistSlot& s) { s.mode = 1; s.shape_a = 6; },
     1.2, 1, 0.06, 3.810317377662722, 38.666666666666664},
    {"Pareto 1, 1", kPareto, [](DistSlot& s) { s.mode = 1; s.shape_a = 1; },
     kNone, 1, kNone, kNone, kNone},
    {"Pareto 1, 3.5", kPareto, [](DistSlot& s) { s.mode = 1; s.shape_a = 3.5; },
     1.4, 1, 3.5 / (2.5 * 2.5 * 1.5), 2 * 4.5 * std::sqrt(1.5 / 3.5) / 0.5, kNone},
    // scipy beta(2, 3): kurtosis 2.357142857142857
    {"beta 2, 3 on 0..1", kBeta,
     [](DistSlot& s) { s.minimum = 0; s.maximum = 1; s.shape_a = 2; s.shape_b = 3; },
     0.4, 1.0 / 3, 0.04, 2.0 / 7, 2.357142857142857},
    {"beta 1, 1 on 2..4", kBeta,
     [](DistSlot& s) { s.minimum = 2; s.maximum = 4; s.shape_a = 1; s.shape_b = 1; },
     3, kNone, 4.0 / 12, 0, 1.8},
    {"gamma 3, scale 2", kGamma, [](DistSlot& s) { s.scale = 2; s.shape_a = 3; },
     6, 4, 12, 2 / std::sqrt(3.0), 5},
    {"gamma 0.5", kGamma, [](DistSlot& s) { s.scale = 1; s.shape_a = 0.5; },
     0.5, 0, 0.5, 2 / std::sqrt(0.5), 15},
    {"chi-square 4 (halved to 2)", kChiSquare, [](DistSlot& s) { s.scale = 9; s.shape_a = 2; },
     4, 2, 8, 2 / std::sqrt(2.0), 6},
    {"Erlang 3, scale 0.5", kErlang, [](DistSlot& s) { s.scale = 0.5; s.shape_a = 3; },
     1.5, 1, 0.75, 2 / std::sqrt(3.0), 5},
    {"Cauchy 1, 2", kCauchy, [](DistSlot& s) { s.mean = 1; s.scale = 2; },
     1, 1, kNone, 0, kNone},
    {"exponential power a 1 (normal)", kExpPower,
     [](DistSlot& s) { s.mean = 0; s.scale = 1; s.shape_a = 1; }, 0, 0, 1, 0, 3},
    {"exponential power a 2 (Laplace)", kExpPower,
     [](DistSlot& s) { s.mean = 3; s.scale = 1; s.shape_a = 2; }, 3, 3, 8, 0, 6},
    {"Gumbel 1, 2", kGumbel, [](DistSlot& s) { s.mode = 1; s.scale = 2; },
     1 + 0.57722 * 2, 1, (2 * kPi) * (2 * kPi) / 6, 1.139547, 5.4},
    // scipy weibull_min(2, loc=1, scale=1.5): mean 2.329340388179137,
    // var 0.4828541323557416, skew 0.6311106578189344
    {"Weibull 1, 1.5, 2", kWeibull,
     [](DistSlot& s) { s.minimum = 1; s.scale = 1.5; s.shape_a = 2; },
     2.329340388179137, 1 + 1.5 * std::sqrt(0.5), 0.4828541323557416, 0.6311106578189344, kNone},
    {"Weibull a 1", kWeibull, [](DistSlot& s) { s.minimum = 1; s.scale = 2; s.shape_a = 1; },
     3, 1, 4, 2, kNone},
    {"Laplace 1, 2", kLaplace, [](DistSlot& s) { s.mean = 1; s.scale = 2; }, 1, 1, 8, 0, 6},
    {"logistic 0, 1", kLogistic, [](DistSlot& s) { s.mean = 0; s.stdev = 1; }, 0, 0, 1, 0, 4.2},
    // scipy lognorm(0.5): mean 1.1331484530668263, var 0.3646958540123865,
    // skew 1.7501896550697178, kurtosis 8.898445673784778
    {"lognormal 0, 0.5", kLognormal, [](DistSlot& s) { s.lmean = 0; s.lstdev = 0.5; },
     1.1331484530668263, std::exp(-0.25), 0.3646958540123865, 1.7501896550697178,
     8.898445673784778},
    {"lognormal by median 1", kLognormalByMedian,
     [](DistSlot& s) { s.median = 1; s.lstdev = 0.5; },
     1.1331484530668263, std::exp(-0.25), 0.3646958540123865, 1.7501896550697178,
     8.898445673784778},
    {"power function 2 on 0..1", kPowerFunction,
     [](DistSlot& s) { s.minimum = 0; s.maximum = 1; s.shape_a = 2; },
     2.0 / 3, 1, 1.0 / 18, -0.5656854249492381, 2.4},
    {"power function 1 on 0..1", kPowerFunction,
     [](DistSlot& s) { s.minimum = 0; s.maximum = 1; s.shape_a = 1; },
     0.5, kNone, 1.0 / 12, 0, 1.8},
    {"power function 0.5 on 3..5", kPowerFunction,
     [](DistSlot& s) { s.minimum = 3; s.maximum = 5; s.shape_a = 0.5; },
     3 + 2.0 / 3, 3, 4 * 0.5 / (2.5 * 2.25), 2 * 0.5 * std::sqrt(2.5) / (3.5 * std::sqrt(0.5)),
     3 * 2.5 * (2 * 2.25 + 0.5 * -4.5) / (0.5 * 3.5 * 4.5)},
    {"Rayleigh 2", kRayleigh, [](DistSlot& s) { s.scale = 2; },
     2 * std::sqrt(kPi / 2), 2, 4 * (2 - kPi / 2), 0.631111, 3.245089},
    // scipy invgauss(2/3, scale=3): var 2.666666666666666, skew sqrt(6), kurtosis 13
    {"inverse Gaussian 2, 3", kInverseGaussian, [](DistSlot& s) { s.mean = 2; s.scale = 3; },
     2, 2 * (std::sqrt(2.0) - 1), 8.0 / 3, std::sqrt(6.0), 13},
    {"Wald 4 (mean ignored)", kWald, [](DistSlot& s) { s.mean = 5; s.scale = 4; },
     1, std::sqrt(1.0 + 0.375 * 0.375) - 0.375, 0.25, 1.5, 6.75},
    {"Student t 5", kStudentT, [](DistSlot& s) { s.shape_a = 5; }, 0, 0, 5.0 / 3, 0, 9},
    {"Student t 2", kStudentT, [](DistSlot& s) { s.shape_a = 2; }, 0, 0, kNone, 0, kNone},
    {"Student t 3", kStudentT, [](DistSlot& s) { s.shape_a = 3; }, 0, 0, 3, 0, kNone},
};

void expect_statistic(const char* what, const char* name, Flag exists, double got, double want) {
    if (std::isnan(want)) {
        EXPECT_EQ(exists, 0) << what << ": " << name << " should not exist";
    } else {
        EXPECT_EQ(exists, 1) << what << ": " << name << " should exist";
        EXPECT_TRUE(close(got, want)) << what << ": " << name << " " << got << " want " << want;
    }
}

TEST(ContinuousStatistics, MomentsMatchTheClosedForms) {
    for (const auto& c : kMoments) {
        auto s = make_slot(c.dtype);
        c.set(*s);
        dinitialise(*s);
        expect_statistic(c.what, "mean", s->avg_exists, s->dmean, c.mean);
        expect_statistic(c.what, "mode", s->mod_exists, s->dmode, c.mode);
        expect_statistic(c.what, "variance", s->var_exists, s->dvariance, c.variance);
        expect_statistic(c.what, "skewness", s->skw_exists, s->dskewness, c.skewness);
        expect_statistic(c.what, "kurtosis", s->krt_exists, s->dkurtosis, c.kurtosis);
        if (s->var_exists) {
            EXPECT_TRUE(close(s->dstdev * s->dstdev, s->dvariance)) << c.what;
        }
        EXPECT_EQ(s->dminimum, s->minimum) << c.what;
        EXPECT_EQ(s->dmaximum, s->maximum) << c.what;
    }
}

TEST(ContinuousStatistics, BetaModeFollowsTheShapes) {
    struct Case { double a, b; bool exists; double mode; };
    const Case cases[] = {
        {1, 1, false, 0},    {0.5, 0.5, false, 0}, {0.5, 2, true, 2}, {0.5, 1, true, 2},
        {1, 2, true, 2},     {2, 0.5, true, 6},    {1, 0.5, true, 6}, {2, 1, true, 6},
        {2, 3, true, 2 + 4.0 * 1 / 3},  // (max − min)(a − 1)/(a + b − 2) + min
    };
    for (const auto& c : cases) {
        auto s = make_slot(kBeta);
        s->minimum = 2;
        s->maximum = 6;
        s->shape_a = c.a;
        s->shape_b = c.b;
        dinitialise(*s);
        EXPECT_EQ(s->mod_exists, c.exists ? 1 : 0) << c.a << ", " << c.b;
        if (c.exists) {
            EXPECT_DOUBLE_EQ(s->dmode, c.mode) << c.a << ", " << c.b;
        }
    }
}

TEST(ContinuousStatistics, WorkingCentreAndSpreadStandInWhereMomentsDoNotExist) {
    // Pareto a = 1: mean and stdev both hold the median mode × 2.
    auto pareto = make_slot(kPareto);
    pareto->mode = 3;
    pareto->shape_a = 1;
    dinitialise(*pareto);
    EXPECT_DOUBLE_EQ(pareto->median, 6.0);
    EXPECT_EQ(pareto->mean, pareto->median);
    EXPECT_EQ(pareto->stdev, pareto->median);
    EXPECT_EQ(pareto->minimum, 3.0);
    // Student t: centre 0 and spread 1 whatever the host stored.
    auto t = make_slot(kStudentT);
    t->mean = 7;
    t->stdev = 9;
    t->shape_a = 1;
    dinitialise(*t);
    EXPECT_EQ(t->mean, 0.0);
    EXPECT_EQ(t->stdev, 1.0);
    // Cauchy: the scale is the working spread.
    auto c = make_slot(kCauchy);
    c->scale = 2.5;
    dinitialise(*c);
    EXPECT_EQ(c->stdev, 2.5);
}

TEST(ContinuousStatistics, NormalisersAndRangesAreStored) {
    auto g = make_slot(kGamma);
    g->scale = 1;
    g->shape_a = 5;
    dinitialise(*g);
    EXPECT_TRUE(close(g->gamma_norm, 24));  // Γ(5) = 4!
    auto b = make_slot(kBeta);
    b->minimum = 0;
    b->maximum = 1;
    b->shape_a = 2;
    b->shape_b = 3;
    dinitialise(*b);
    EXPECT_TRUE(close(b->beta_norm, 1.0 / 12));  // B(2, 3) = 1! 2! / 4!
    for (int code : {kUniform, kTriangular, kPowerFunction}) {
        auto s = make_slot(code);
        s->minimum = -1;
        s->mode = 0;
        s->maximum = 3;
        s->shape_a = 2;
        dinitialise(*s);
        EXPECT_EQ(s->range, 4.0) << code;
    }
}

TEST(ContinuousStatistics, LognormalByMomentsKeepsTheGivenMomentsExactly) {
    auto by_moments = make_slot(kLognormalByMoments);
    by_moments->mean = 1;
    by_moments->stdev = 0.5;
    dinitialise(*by_moments);
    EXPECT_EQ(by_moments->dstdev, 0.5);
    EXPECT_EQ(by_moments->dmean, 1.0);
    EXPECT_EQ(by_moments->dvariance, 0.25);
    // The same distribution by its log parameters recomputes the moments.
    auto by_logs = make_slot(kLognormal);
    by_logs->lmean = by_moments->lmean;
    by_logs->lstdev = by_moments->lstdev;
    dinitialise(*by_logs);
    EXPECT_TRUE(close(by_logs->dstdev, 0.5, 1e-12));
    EXPECT_EQ(by_logs->dstdev, std::sqrt(by_logs->variance));
    EXPECT_DOUBLE_EQ(by_logs->dmedian, by_moments->dmedian);
}

struct Quantile {
    const char* what;
    int dtype;
    void (*set)(DistSlot&);
    double DistSlot::*field;
    double want;
    double tolerance;  // closed forms: rounding; bisection: 2e-6 / density there
};

// Medians and working-range ends. References: the closed-form quantile, or
// scipy.stats <dist>.ppf(p); bisection tolerances are 2e-6 / pdf(x).
const Quantile kQuantiles[] = {
    {"gamma 3, 2 median", kGamma, [](DistSlot& s) { s.scale = 2; s.shape_a = 3; },
     &DistSlot::dmedian, 5.348120627447118, 1.7e-5},
    {"gamma 3, 2 maximum", kGamma, [](DistSlot& s) { s.scale = 2; s.shape_a = 3; },
     &DistSlot::dmaximum, 18.547584178511087, 1e-3},
    {"chi-square 4 median", kChiSquare, [](DistSlot& s) { s.shape_a = 2; },
     &DistSlot::dmedian, 3.3566939800333224, 1.3e-5},
    {"normal 10, 2 maximum", kNormal, [](DistSlot& s) { s.mean = 10; s.stdev = 2; },
     &DistSlot::dmaximum, 15.1516586070978, 2.8e-4},
    {"normal 10, 2 minimum", kNormal, [](DistSlot& s) { s.mean = 10; s.stdev = 2; },
     &DistSlot::dminimum, 20 - 15.1516586070978, 2.8e-4},
    {"exponential 2 median", kExponential, [](DistSlot& s) { s.mean = 2; },
     &DistSlot::dmedian, 2 * std::log(2.0), 1e-12},
    {"exponential 2 maximum", kExponential, [](DistSlot& s) { s.mean = 2; },
     &DistSlot::dmaximum, 2 * std::log(200.0), 1e-12},
    {"Weibull 1, 1.5, 2 median", kWeibull,
     [](DistSlot& s) { s.minimum = 1; s.scale = 1.5; s.shape_a = 2; },
     &DistSlot::dmedian, 1 + 1.5 * std::sqrt(std::log(2.0)), 1e-12},
    {"Gumbel 1, 2 minimum", kGumbel, [](DistSlot& s) { s.mode = 1; s.scale = 2; },
     &DistSlot::dminimum, 1 - 2 * std::log(std::log(200.0)), 1e-12},
    {"Gumbel 1, 2 median", kGumbel, [](DistSlot& s) { s.mode = 1; s.scale = 2; },
     &DistSlot::dmedian, 1 - 2 * std::log(std::log(2.0)), 1e-12},
    {"Gumbel 1, 2 maximum", kGumbel, [](DistSlot& s) { s.mode = 1; s.scale = 2; },
     &DistSlot::dmaximum, 11.59162428507005, 1e-12},
    {"lognormal 0, 0.5 maximum", kLognormal, [](DistSlot& s) { s.lstdev = 0.5; },
     &DistSlot::dmaximum, 3.625218824175245, 2.6e-4},
    {"inverse Gaussian 2, 3 median", kInverseGaussian,
     [](DistSlot& s) { s.mean = 2; s.scale = 3; }, &DistSlot::dmedian, 1.512250663605367, 6e-6},
    {"inverse Gaussian 2, 3 maximum", kInverseGaussian,
     [](DistSlot& s) { s.mean = 2; s.scale = 3; }, &DistSlot::dmaximum, 9.565914546443146, 8.1e-4},
    {"Student t 5 minimum", kStudentT, [](DistSlot& s) { s.shape_a = 5; },
     &DistSlot::dminimum, -4.032142983557536, 4.1e-4},
    {"Laplace 1, 2 maximum", kLaplace, [](DistSlot& s) { s.mean = 1; s.scale = 2; },
     &DistSlot::dmaximum, 1 + 2 * std::log(100.0), 1e-12},
    {"logistic 0, 1 minimum", kLogistic, [](DistSlot& s) { s.stdev = 1; },
     &DistSlot::dminimum, -2.9183519021461968, 1e-12},
    {"Cauchy 0, 1 maximum", kCauchy, [](DistSlot& s) { s.scale = 1; },
     &DistSlot::dmaximum, 63.656741162871704, 1e-9},
    {"exponential power a 1 maximum", kExpPower, [](DistSlot& s) { s.scale = 1; s.shape_a = 1; },
     &DistSlot::dmaximum, 2.5758293035489004, 1.4e-4},
    {"exponential power a 2 maximum", kExpPower, [](DistSlot& s) { s.scale = 1; s.shape_a = 2; },
     &DistSlot::dmaximum, 2 * std::log(100.0), 8e-4},
    {"beta 2, 3 median", kBeta,
     [](DistSlot& s) { s.minimum = 0; s.maximum = 1; s.shape_a = 2; s.shape_b = 3; },
     &DistSlot::dmedian, 0.3857275681323895, 1.2e-6},
    {"triangular 0, 0.3, 1 median", kTriangular,
     [](DistSlot& s) { s.minimum = 0; s.mode = 0.3; s.maximum = 1; },
     &DistSlot::dmedian, 1 - std::sqrt(0.35), 1e-12},
    {"power function 2 median", kPowerFunction,
     [](DistSlot& s) { s.minimum = 0; s.maximum = 1; s.shape_a = 2; },
     &DistSlot::dmedian, std::sqrt(0.5), 1e-12},
    {"Pareto 1, 6 median", kPareto, [](DistSlot& s) { s.mode = 1; s.shape_a = 6; },
     &DistSlot::dmedian, std::pow(2.0, 1.0 / 6), 1e-12},
    {"Pareto 1, 6 maximum", kPareto, [](DistSlot& s) { s.mode = 1; s.shape_a = 6; },
     &DistSlot::dmaximum, std::pow(200.0, 1.0 / 6), 1e-12},
    {"Rayleigh 2 median", kRayleigh, [](DistSlot& s) { s.scale = 2; },
     &DistSlot::dmedian, 2 * std::sqrt(2 * std::log(2.0)), 1e-12},
    {"Rayleigh 2 maximum", kRayleigh, [](DistSlot& s) { s.scale = 2; },
     &DistSlot::dmaximum, 2 * std::sqrt(2 * std::log(200.0)), 1e-12},
};

TEST(ContinuousStatistics, QuantilesMatchTheReferenceValues) {
    for (const auto& c : kQuantiles) {
        auto s = make_slot(c.dtype);
        c.set(*s);
        dinitialise(*s);
        EXPECT_NEAR(s.get()->*c.field, c.want, c.tolerance) << c.what;
        EXPECT_EQ(s->med_exists, 1) << c.what;
    }
}

TEST(ContinuousStatistics, SymmetricTypesMirrorTheUpperQuantile) {
    for (int code : {kNormal, kCauchy, kExpPower, kLaplace, kLogistic, kStudentT}) {
        auto s = make_slot(code);
        s->mean = 3;
        s->stdev = 2;
        s->scale = 1.5;
        s->shape_a = 4;
        dinitialise(*s);
        EXPECT_EQ(s->minimum, 2 * s->mean - s->maximum) << code;
        EXPECT_GT(s->maximum, s->mean) << code;
        EXPECT_EQ(s->dminimum, s->minimum) << code;
    }
}

// With a cut the statistics are the truncation step's; the working values
// still describe the whole distribution, taken before any cut is applied.
TEST(ContinuousStatistics, TruncatedSlotKeepsTheWorkingValuesOfTheWholeDistribution) {
    struct Case { int dtype; void (*set)(DistSlot&); };
    const Case cases[] = {
        {kGamma, [](DistSlot& s) { s.scale = 2; s.shape_a = 3; }},
        {kNormal, [](DistSlot& s) { s.mean = 10; s.stdev = 2; }},
        {kGumbel, [](DistSlot& s) { s.mode = 1; s.scale = 2; }},
        {kLognormalByMoments, [](DistSlot& s) { s.mean = 2; s.stdev = 1; }},
        {kStudentT, [](DistSlot& s) { s.shape_a = 5; }},
    };
    for (const auto& c : cases) {
        auto plain = make_slot(c.dtype);
        c.set(*plain);
        dinitialise(*plain);
        auto cut = make_slot(c.dtype);
        c.set(*cut);
        cut->t_min_flag = 1;
        cut->t_min = plain->minimum + 0.25 * (plain->maximum - plain->minimum);
        dinitialise(*cut);
        EXPECT_EQ(cut->mean, plain->mean) << c.dtype;
        EXPECT_EQ(cut->stdev, plain->stdev) << c.dtype;
        EXPECT_EQ(cut->gamma_norm, plain->gamma_norm) << c.dtype;
        // The same quantile, by bisection instead of the closed form where there is one.
        EXPECT_NEAR(cut->maximum, plain->maximum, 1e-3 * std::fabs(plain->maximum)) << c.dtype;
    }
}

// A truncated Student t decides its variance and kurtosis flags from the
// degrees of freedom, not from what the slot held before. A cut on one side
// leaves the other tail as heavy as it was, so the flags are those of the
// whole distribution.
TEST(ContinuousStatistics, TruncatedStudentTFlagsDoNotDependOnTheSlotsEarlierUse) {
    struct Prior { int dtype; void (*set)(DistSlot&); };
    const Prior priors[] = {
        {kNormal, [](DistSlot& s) { s.mean = 0; s.stdev = 1; }},  // leaves both flags set
        {kCauchy, [](DistSlot& s) { s.mean = 0; s.scale = 1; }},  // leaves both flags clear
    };
    for (double a : {1.5, 3.0, 5.0}) {
        for (bool two_sided : {false, true}) {
            Flag var[2], krt[2];
            for (int i = 0; i < 2; ++i) {
                auto s = make_slot(priors[i].dtype);
                priors[i].set(*s);
                dinitialise(*s);
                s->dtype = kStudentT;
                s->shape_a = a;
                s->t_min_flag = 1;
                s->t_min = -10;
                s->t_max_flag = two_sided ? 1 : 0;
                s->t_max = 10;
                dinitialise(*s);
                var[i] = s->var_exists;
                krt[i] = s->krt_exists;
            }
            EXPECT_EQ(var[0], var[1]) << a << (two_sided ? " two-sided" : " one-sided");
            EXPECT_EQ(krt[0], krt[1]) << a << (two_sided ? " two-sided" : " one-sided");
            if (!two_sided) {
                EXPECT_EQ(var[0], a > 2 ? 1 : 0) << a;
                EXPECT_EQ(krt[0], a > 4 ? 1 : 0) << a;
            }
        }
    }
}

// The truncated Pareto takes its median from the closed form: a stale
// `minimum` from an earlier use of the slot cannot leak into it.
TEST(ContinuousStatistics, TruncatedParetoMedianIgnoresAStaleMinimum) {
    auto plain = make_slot(kPareto);
    plain->mode = 2;
    plain->shape_a = 3;
    dinitialise(*plain);
    for (double stale : {1000.0, -5.0, 0.0}) {
        auto s = make_slot(kPareto);
        s->mode = 2;
        s->shape_a = 3;
        s->minimum = stale;
        s->t_max_flag = 1;
        s->t_max = 10;
        dinitialise(*s);
        EXPECT_DOUBLE_EQ(s->median, 2 * std::pow(2.0, 1.0 / 3)) << stale;
        EXPECT_EQ(s->median, plain->dmedian) << stale;  // the untruncated inverse's value
        EXPECT_EQ(s->minimum, 2.0) << stale;
        EXPECT_EQ(s->mean, 3.0) << stale;  // a × mode / (a − 1)
        EXPECT_EQ(s->avg_exists, 1) << stale;
        EXPECT_EQ(s->var_exists, 1) << stale;
    }
}

}  // namespace
}  // namespace kvz
