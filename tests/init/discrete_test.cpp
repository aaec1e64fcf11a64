// Statistics, working ranges and the two mass searches of the discrete type routines.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "init/init.h"
#include "eval/eval.h"
#include "init/routines.h"
#include "interface/catalogue.h"
#include "slot_maker.h"

namespace kvz {
namespace {

using testing_init::close;
using testing_init::make_slot;

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();  // the flag must be clear
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Case {
    const char* what;
    int dtype;
    void (*set)(DistSlot&);
    double minimum, maximum, mean, mode, variance, skewness, kurtosis;
};

// Closed-form moments; values marked scipy come from scipy.stats
// <dist>.stats('mvsk') (kurtosis = excess + 3). The upper ends of the
// unbounded types are one above the smallest k with scipy cdf(k) >= 0.999999.
const Case kCases[] = {
    {"degenerate 4", kDegenerate, [](DistSlot& s) { s.mean = 4; }, 4, 4, 4, 4, 0, kNone, kNone},
    {"Poisson 3", kPoisson, [](DistSlot& s) { s.mean = 3; },
     0, 15, 3, 2, 3, 1 / std::sqrt(3.0), 3 + 1.0 / 3},
    {"Poisson 2.5", kPoisson, [](DistSlot& s) { s.mean = 2.5; },
     0, 14, 2.5, 2, 2.5, 1 / std::sqrt(2.5), 3.4},
    {"Poisson 0.4", kPoisson, [](DistSlot& s) { s.mean = 0.4; },
     0, 7, 0.4, 0, 0.4, 1 / std::sqrt(0.4), 5.5},
    {"Poisson 1000", kPoisson, [](DistSlot& s) { s.mean = 1000; },
     0, 1155, 1000, 999, 1000, 1 / std::sqrt(1000.0), 3.001},
    {"Poisson 1e5", kPoisson, [](DistSlot& s) { s.mean = 1e5; },
     0, 101508, 1e5, 99999, 1e5, 1 / std::sqrt(1e5), 3.00001},
    // scipy nbinom(1, 0.5): skew 2.1213203435596424, kurtosis 9.5
    {"geometric 0.5", kGeometric, [](DistSlot& s) { s.p = 0.5; },
     0, 20, 1, 0, 2, 2.1213203435596424, 9.5},
    {"geometric 1", kGeometric, [](DistSlot& s) { s.p = 1; }, 0, 1, 0, 0, 0, kInf, kInf},
    // scipy binom(10, 0.3): skew 0.27602622373694174, kurtosis 2.876190476190476
    {"binomial 10, 0.3", kBinomial, [](DistSlot& s) { s.n = 10; s.p = 0.3; },
     0, 10, 3, 3, 2.1, 0.27602622373694174, 2.876190476190476},
    {"binomial 9, 0.5", kBinomial, [](DistSlot& s) { s.n = 9; s.p = 0.5; },
     0, 9, 4.5, 4, 2.25, 0, 3 - 6.0 / 9 + 1 / 2.25},
    // scipy hypergeom(50, 20, 10): var 1.9591836734693877,
    // skew 0.08930431353897003, kurtosis 2.8683787677304964
    {"hypergeometric 50, 20, 10", kHypergeometric,
     [](DistSlot& s) { s.pop = 50; s.popsuc = 20; s.sam = 10; },
     0, 10, 4, 4, 1.9591836734693877, 0.08930431353897003, 2.8683787677304964},
    // mass 3: C(8,3) C(2,2) = 56, mass 4: C(8,4) C(2,1) = 140, mass 5: C(8,5) = 56
    {"hypergeometric 10, 8, 5", kHypergeometric,
     [](DistSlot& s) { s.pop = 10; s.popsuc = 8; s.sam = 5; }, 3, 5, 4, 4, kNone, kNone, kNone},
    // scipy logser(0.6): var 1.4127039072996714, skew 3.0047928675442495,
    // kurtosis 16.656082798308166; upper end from scipy cdf as above
    {"log series 0.6", kLogSeries, [](DistSlot& s) { s.shape_a = 0.6; },
     1, 23, 1.5 / std::log(2.5), 1, 1.4127039072996714, 3.0047928675442495, 16.656082798308166},
    {"log series 0.99", kLogSeries, [](DistSlot& s) { s.shape_a = 0.99; },
     1, 987, kNone, 1, kNone, kNone, kNone},
    // ln(1 − θ) formed without rounding 1 − θ to 1: the mass lies at 1.
    {"log series 1e-20", kLogSeries, [](DistSlot& s) { s.shape_a = 1e-20; },
     1, 2, 1, 1, kNone, kNone, kNone},
    // scipy randint(2, 10): kurtosis 1.7619047619047619
    {"discrete uniform 2..9", kDiscreteUniform, [](DistSlot& s) { s.minimum = 2; s.maximum = 9; },
     2, 9, 5.5, kNone, 5.25, 0, 1.7619047619047619},
    {"normal approximation to binomial 20, 0.5", kNormalBinomial,
     [](DistSlot& s) { s.n = 20; s.p = 0.5; }, 0, 20, 10, 10, 5, 0, 3},
    // scipy norm(9, 3).ppf(0.995) = 16.727..., made whole: 17
    {"normal approximation to Poisson 9", kNormalPoisson, [](DistSlot& s) { s.mean = 9; },
     0, 17, 9, 9, 9, 0, 3},
};

void expect_statistic(const char* what, const char* name, Flag exists, double got, double want) {
    if (std::isnan(want)) return;  // not checked
    EXPECT_EQ(exists, 1) << what << ": " << name << " should exist";
    if (std::isinf(want)) {
        EXPECT_EQ(got, want) << what << ": " << name;
    } else {
        EXPECT_TRUE(close(got, want, 1e-12)) << what << ": " << name << " " << got << " want " << want;
    }
}

TEST(DiscreteStatistics, RangesAndMomentsMatchTheClosedForms) {
    for (const auto& c : kCases) {
        auto s = make_slot(c.dtype);
        c.set(*s);
        dinitialise(*s);
        EXPECT_EQ(s->dminimum, c.minimum) << c.what;
        EXPECT_EQ(s->dmaximum, c.maximum) << c.what;
        expect_statistic(c.what, "mean", s->avg_exists, s->dmean, c.mean);
        expect_statistic(c.what, "mode", s->mod_exists, s->dmode, c.mode);
        expect_statistic(c.what, "variance", s->var_exists, s->dvariance, c.variance);
        expect_statistic(c.what, "skewness", s->skw_exists, s->dskewness, c.skewness);
        expect_statistic(c.what, "kurtosis", s->krt_exists, s->dkurtosis, c.kurtosis);
        if (s->var_exists) {
            EXPECT_TRUE(close(s->dstdev * s->dstdev, s->dvariance, 1e-12)) << c.what;
        }
    }
}

TEST(DiscreteStatistics, DegenerateReportsItsValueEverywhereAndNoShape) {
    auto s = make_slot(kDegenerate);
    s->mean = 4;
    s->minimum = -3;
    s->maximum = 11;
    dinitialise(*s);
    for (double v : {s->dminimum, s->dmaximum, s->dmean, s->dmode, s->dmedian}) EXPECT_EQ(v, 4.0);
    EXPECT_EQ(s->dvariance, 0.0);
    EXPECT_EQ(s->dstdev, 0.0);
    EXPECT_EQ(s->skw_exists, 0);
    EXPECT_EQ(s->krt_exists, 0);
    EXPECT_EQ(s->med_exists, 1);
}

TEST(DiscreteStatistics, NormalApproximationsOverwriteTheirWorkingMoments) {
    auto binomial = make_slot(kNormalBinomial);
    binomial->n = 20;
    binomial->p = 0.5;
    binomial->mean = -1;
    binomial->stdev = -1;
    dinitialise(*binomial);
    EXPECT_EQ(binomial->mean, 10.0);
    EXPECT_EQ(binomial->stdev, std::sqrt(5.0));
    EXPECT_EQ(binomial->dmedian, 10.0);  // stored though its flag is clear
    EXPECT_EQ(binomial->med_exists, 0);
    auto poisson = make_slot(kNormalPoisson);
    poisson->mean = 16;
    poisson->stdev = -1;
    dinitialise(*poisson);
    EXPECT_EQ(poisson->stdev, 4.0);
    EXPECT_EQ(poisson->maximum, std::trunc(poisson->maximum));
}

TEST(DiscreteStatistics, HypergeometricModeTiesKeepTheLowerValue) {
    // N 10, K 5, n 3: masses at 1 and 2 are both C(5,1) C(5,2) / C(10,3) = 50 / 120.
    auto s = make_slot(kHypergeometric);
    s->pop = 10;
    s->popsuc = 5;
    s->sam = 3;
    dinitialise(*s);
    EXPECT_EQ(s->dmode, 1.0);
    EXPECT_EQ(s->dminimum, 0.0);
    EXPECT_EQ(s->dmaximum, 3.0);
}

TEST(DiscreteStatistics, BinomialKurtosisDividesInDoubles) {
    // 3 − 6/n + 1/(npq) with 6/n = 0.6, not the whole-number quotient 0.
    auto s = make_slot(kBinomial);
    s->n = 10;
    s->p = 0.5;
    dinitialise(*s);
    EXPECT_TRUE(close(s->dkurtosis, 3 - 0.6 + 0.4, 1e-12));
}

// The upper-bound search runs in both branches: a truncated slot has the same
// working range as an untruncated one.
TEST(DiscreteStatistics, UpperBoundSearchRunsBeforeTheTruncationTest) {
    for (int code : {kPoisson, kGeometric, kLogSeries}) {
        auto plain = make_slot(code);
        plain->mean = 3;
        plain->p = 0.5;
        plain->shape_a = 0.6;
        dinitialise(*plain);
        auto cut = make_slot(code);
        cut->mean = 3;
        cut->p = 0.5;
        cut->shape_a = 0.6;
        cut->t_max_flag = 1;
        cut->t_max = 4;
        dinitialise(*cut);
        EXPECT_EQ(cut->minimum, plain->minimum) << code;
        EXPECT_EQ(cut->maximum, plain->maximum) << code;
    }
}

// Parameters outside a type's domain never start the search: the range stays
// [start, start] and the statistics are whatever the formulas give.
TEST(DiscreteStatistics, UpperBoundSearchRefusesParametersOutsideTheDomain) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Refused { int dtype; double value; double start; };
    const Refused cases[] = {
        {kPoisson, nan, 0},  {kPoisson, kInf, 0},      {kPoisson, -kInf, 0}, {kPoisson, 1e300, 0},
        {kPoisson, -2, 0},   {kGeometric, 0, 0},
        {kGeometric, -0.5, 0}, {kGeometric, 1.5, 0},   {kGeometric, nan, 0},
        {kLogSeries, 0, 1},  {kLogSeries, 1, 1},       {kLogSeries, 1.5, 1},
        {kLogSeries, -0.3, 1}, {kLogSeries, nan, 1},
    };
    for (const auto& c : cases) {
        auto s = make_slot(c.dtype);
        s->mean = c.value;
        s->p = c.value;
        s->shape_a = c.value;
        s->t_max_flag = 0;
        dinitialise(*s);
        EXPECT_EQ(s->minimum, c.start) << c.dtype << " " << c.value;
        EXPECT_EQ(s->maximum, c.start) << c.dtype << " " << c.value;
        EXPECT_EQ(s->dmaximum, c.start) << c.dtype << " " << c.value;
    }
}

// A legitimate parameter whose mass spreads too far stops after the step
// limit with the range it reached.
TEST(DiscreteStatistics, PoissonWithMeanZeroPutsAllItsMassAtZero) {
    auto s = make_slot(kPoisson);
    s->mean = 0;
    dinitialise(*s);
    EXPECT_EQ(s->minimum, 0.0);
    EXPECT_EQ(s->maximum, 1.0);  // one above the value where the mass reaches 1
}

TEST(DiscreteStatistics, UpperBoundSearchStopsAtTheStepLimit) {
    auto s = make_slot(kGeometric);
    s->p = 1e-9;  // would need about 1.4e10 values to gather 0.999999
    dinitialise(*s);
    EXPECT_EQ(s->minimum, 0.0);
    EXPECT_EQ(s->maximum, kMaxMassTerms);
    EXPECT_TRUE(close(s->dmean, (1 - 1e-9) / 1e-9, 1e-12));
}

TEST(DiscreteStatistics, ModeSearchIsBoundedByItsRangeAndTheStepLimit) {
    auto s = make_slot(kBinomial);  // a mass the search can read directly
    s->n = 40;
    s->p = 0.25;
    s->t_factor = 1;
    s->minimum = 0;
    s->maximum = 40;
    mode_search(*s);
    EXPECT_EQ(s->dmode, 10.0);
    s->minimum = 12;  // a window above the peak: its first value wins
    s->maximum = 20;
    mode_search(*s);
    EXPECT_EQ(s->dmode, 12.0);
    s->maximum = kInf;  // an endless range ends at the step limit
    mode_search(*s);
    EXPECT_EQ(s->dmode, 12.0);
    s->minimum = std::numeric_limits<double>::quiet_NaN();
    s->maximum = 20;
    mode_search(*s);
    EXPECT_TRUE(std::isnan(s->dmode));
}

// A population of two billion: the search passes over the zero masses and
// stops once they have fallen, at the closed-form mode
// floor((n + 1)(K + 1) / (N + 2)) within the rounding of the log-gamma masses
// there: within 100 of the mode they differ by less than their rounding
// (about 1e-6 of themselves); the standard deviation is about 9700.
TEST(DiscreteStatistics, HypergeometricModeOfAHugePopulation) {
    auto s = make_slot(kHypergeometric);
    s->pop = 2e9;
    s->popsuc = 1e9;
    s->sam = 3e8;
    dinitialise(*s);
    EXPECT_NEAR(s->dmode, std::floor((3e8 + 1) * (1e9 + 1) / (2e9 + 2)), 300);
}

}  // namespace
}  // namespace kvz
