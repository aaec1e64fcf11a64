#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "sampling_fixtures.h"
#include "special/special.h"

namespace kvz {
namespace {

using testing::chi_square;
using testing::chi_square_critical;
using testing::draws;
using testing::ks_distance;
using testing::prepared;
using testing::SlotSetup;

constexpr double kPi = 3.141592653589793;

// Sets the base generator so that its next plain value is (t + 1) / 16777218:
// the state is the preimage of t under the recurrence (602453 is the inverse
// of the multiplier modulo 2^24).
void next_plain_state(std::uint32_t t) {
    set_rng_type(0, 0);
    generator().rng_state = ((t - 12820163u) * 602453u) & 0xFFFFFFu;
}
constexpr std::uint32_t kStateHalf = 8388608u;    // next value exactly 0.5
constexpr std::uint32_t kStateTop = 16777215u;    // next value 1 - 2/16777218

// The first uniform of a seed's plain stream.
double first_uniform(int seed) {
    set_rng_type(0, seed);
    const double u = rng();
    set_rng_type(0, seed);
    return u;
}

TEST(Dvalue, DirectMethodsTurnOneUniformIntoTheirFormula) {
    struct Case {
        SlotSetup setup;
        std::function<double(double)> variate;  // closed form in u
    };
    const Case cases[] = {
        {{kUniform, {{&DistSlot::minimum, 2.0}, {&DistSlot::maximum, 5.0}}},
         [](double u) { return 2.0 + u * 3.0; }},
        {{kTriangular, {{&DistSlot::minimum, 1.0}, {&DistSlot::mode, 2.0}, {&DistSlot::maximum, 5.0}}},
         [](double u) { return u < 0.25 ? 1.0 + std::sqrt(u * 4.0) : 5.0 - std::sqrt((1 - u) * 12.0); }},
        {{kExponential, {{&DistSlot::mean, 2.0}}}, [](double u) { return -2.0 * std::log(u); }},
        {{kLogistic, {{&DistSlot::mean, 1.0}, {&DistSlot::stdev, 2.0}}},
         [](double u) { return 1.0 + std::sqrt(3.0) * 2.0 / kPi * std::log((1 - u) / u); }},
        {{kRayleigh, {{&DistSlot::scale, 1.5}}}, [](double u) { return std::sqrt(-4.5 * std::log(1 - u)); }},
        {{kDiscreteUniform, {{&DistSlot::minimum, 1.0}, {&DistSlot::maximum, 6.0}}},
         [](double u) { return std::floor(1.0 + u * 6.0); }},
        // inverse transform through the closed-form quantiles
        {{kPareto, {{&DistSlot::mode, 2.0}, {&DistSlot::shape_a, 3.0}}},
         [](double u) { return 2.0 * std::pow(1 - u, -1.0 / 3.0); }},
        {{kGumbel, {{&DistSlot::mode, 1.0}, {&DistSlot::scale, 2.0}}},
         [](double u) { return 1.0 - 2.0 * std::log(std::log(1 / u)); }},
        {{kCauchy, {{&DistSlot::mean, 0.0}, {&DistSlot::scale, 1.0}}},
         [](double u) { return std::tan((u - 0.5) * kPi); }},
    };
    for (int seed : {3, 11, 2024}) {
        for (const auto& c : cases) {
            auto s = prepared(c.setup);
            const double u = first_uniform(seed);
            EXPECT_NEAR(dvalue(*s), c.variate(u), 1e-12) << "dtype " << c.setup.dtype << " seed " << seed;
        }
    }
}

TEST(Dvalue, ExactUniformsHitTheSpecialCases) {
    auto exponential = prepared({kExponential, {{&DistSlot::mean, 2.0}}});
    next_plain_state(kStateHalf);
    EXPECT_EQ(dvalue(*exponential), 2.0 * std::log(2.0));

    auto triangular = prepared(
        {kTriangular, {{&DistSlot::minimum, 0.0}, {&DistSlot::mode, 1.0}, {&DistSlot::maximum, 2.0}}});
    ASSERT_EQ(triangular->sample_c1, 0.5);
    next_plain_state(kStateHalf);
    EXPECT_EQ(dvalue(*triangular), 1.0);  // u equals the mode's probability

    // Discrete uniform on -3..6: -3 + 10u is rounded down, so every value
    // keeps a tenth of the uniforms, the negative ones included.
    auto du = prepared({kDiscreteUniform, {{&DistSlot::minimum, -3.0}, {&DistSlot::maximum, 6.0}}});
    next_plain_state(4194304u);  // u = 0.25000003: -3 + 10u = -0.4999997
    EXPECT_EQ(dvalue(*du), -1.0);
    next_plain_state(0u);  // u = 1 / 16777218
    EXPECT_EQ(dvalue(*du), -3.0);
}

TEST(Dvalue, NormalBasedMethodTakesRadiusFromThePreviousUniform) {
    auto s = prepared({kNormal, {{&DistSlot::mean, 1.0}, {&DistSlot::stdev, 2.0}}});
    auto logn = prepared({kLognormal, {{&DistSlot::lmean, 0.0}, {&DistSlot::lstdev, 1.0}}});
    set_rng_type(0, 17);
    s->sample_c1 = rng();
    logn->sample_c1 = rng();
    double previous_normal = s->sample_c1;
    double previous_log = logn->sample_c1;
    for (int i = 0; i < 5; ++i) {
        // Alternate the slots: both take from the one stream, each keeps its own radius.
        const double a = dvalue(*s);
        const double u = s->sample_c1;
        EXPECT_EQ(a, std::sin(2.0 * kPi * u) * std::sqrt(-2.0 * std::log(previous_normal)) * 2.0 + 1.0);
        previous_normal = u;
        const double b = dvalue(*logn);
        const double v = logn->sample_c1;
        const double z = std::sin(2.0 * kPi * v) * std::sqrt(-2.0 * std::log(previous_log));
        EXPECT_EQ(b, std::exp(0.0 + 1.0 * z));
        previous_log = v;
        EXPECT_NE(u, v);
    }
}

TEST(Dvalue, NormalApproximationsAreMadeWholeAndKeptInRange) {
    auto binomial = prepared({kNormalBinomial, {{&DistSlot::p, 0.5}}, 10});
    binomial->stdev = 20.0;  // wide enough that both clamps are met
    auto poisson = prepared({kNormalPoisson, {{&DistSlot::mean, 0.3}}});
    poisson->stdev = 5.0;
    set_rng_type(0, 8);
    bool low = false, high = false, negative = false;
    for (int i = 0; i < 400; ++i) {
        const double r = std::sqrt(-2.0 * std::log(binomial->sample_c1));
        const double a = dvalue(*binomial);
        const double z = std::sin(2.0 * kPi * binomial->sample_c1) * r;
        const double whole = std::trunc(z * 20.0 + 5.0 + 0.5);
        EXPECT_EQ(a, std::fmin(10.0, std::fmax(0.0, whole)));
        low = low || whole < 0.0;
        high = high || whole > 10.0;

        const double r2 = std::sqrt(-2.0 * std::log(poisson->sample_c1));
        const double b = dvalue(*poisson);
        const double y = std::sin(2.0 * kPi * poisson->sample_c1) * r2 * 5.0 + 0.3;
        EXPECT_EQ(b, y + 0.5 < 1.0 ? 0.0 : std::trunc(y + 0.5)) << y;
        EXPECT_FALSE(std::signbit(b)) << y;  // -1.1 truncates to -1, below 0: 0
        negative = negative || y < -1.0;
    }
    EXPECT_TRUE(low && high && negative);
}

// Methods that draw take exactly one uniform per variate; the degenerate type
// and the types without a method take none.
TEST(Dvalue, EachVariateConsumesOneUniformOrNone) {
    struct Case {
        SlotSetup setup;
        int uniforms;
    };
    const Case cases[] = {
        {{kDegenerate, {{&DistSlot::mean, 4.0}}}, 0},
        {{kDegenerate, {{&DistSlot::mean, 4.0}}, 0, true, 5.0}, 0},
        {{kStudentT, {{&DistSlot::shape_a, 5.0}}}, 0},
        {{kFisherF, {{&DistSlot::shape_a, 3.0}, {&DistSlot::shape_b, 4.0}}}, 0},
        {{kUniform, {{&DistSlot::minimum, 0.0}, {&DistSlot::maximum, 1.0}}}, 1},
        {{kTriangular, {{&DistSlot::minimum, 0.0}, {&DistSlot::mode, 1.0}, {&DistSlot::maximum, 3.0}}}, 1},
        {{kNormal, {{&DistSlot::stdev, 1.0}}}, 1},
        {{kLognormalByMoments, {{&DistSlot::mean, 2.0}, {&DistSlot::stdev, 1.0}}}, 1},
        {{kNormalPoisson, {{&DistSlot::mean, 9.0}}}, 1},
        {{kExponential, {{&DistSlot::mean, 1.0}}}, 1},
        {{kPoisson, {{&DistSlot::mean, 3.0}}}, 1},
        {{kWeibull, {{&DistSlot::scale, 1.0}, {&DistSlot::shape_a, 2.0}}}, 1},
        {{kGamma, {{&DistSlot::scale, 1.0}, {&DistSlot::shape_a, 0.5}}}, 1},  // extends its table
        {{kLogistic, {{&DistSlot::stdev, 1.0}}}, 1},
        {{kRayleigh, {{&DistSlot::scale, 1.0}}}, 1},
        {{kDiscreteUniform, {{&DistSlot::minimum, 0.0}, {&DistSlot::maximum, 9.0}}}, 1},
        {{kStudentT, {{&DistSlot::shape_a, 5.0}}, 0, true, -1.0}, 1},
        {{kBinomial, {{&DistSlot::p, 0.5}}, 5000}, 1},  // draws beyond the table walk the masses
    };
    constexpr int kDraws = 300;
    set_rng_type(0, 77);
    double after[kDraws + 1];
    for (double& v : after) v = rng();
    for (const auto& c : cases) {
        auto s = prepared(c.setup);
        set_rng_type(0, 77);
        for (int i = 0; i < kDraws; ++i) dvalue(*s);
        EXPECT_EQ(rng(), after[kDraws * c.uniforms]) << "dtype " << c.setup.dtype;
    }
}

TEST(Dvalue, DegenerateSlotDrawsItsValueOrTheCutPointThatExcludesIt) {
    auto inside = prepared({kDegenerate, {{&DistSlot::mean, 4.0}}, 0, true, 2.0, true, 9.0});
    auto below = prepared({kDegenerate, {{&DistSlot::mean, 4.0}}, 0, true, 5.0, true, 6.0});
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dvalue(*inside), 4.0);
        EXPECT_EQ(dvalue(*below), 5.0);
    }
}

TEST(Dvalue, UBeyondTheDiscreteTableGivesItsLastValue) {
    auto s = prepared({kPoisson, {{&DistSlot::mean, 3.0}}});
    ASSERT_LT(s->table_p[s->table_count - 1], 16777216.0 / 16777218.0);
    next_plain_state(kStateTop);
    EXPECT_EQ(dvalue(*s), s->table_x[s->table_count - 1]);
}

TEST(Dvalue, FullCumulativeTableAnswersWithItsEndAndFlagsIt) {
    auto s = prepared({kGamma, {{&DistSlot::scale, 2.0}, {&DistSlot::shape_a, 3.0}}});
    ASSERT_FALSE(table_extend_up(*s, 1.5));
    ASSERT_EQ(s->table_count, kTableSize);
    s->pmax_extend = 0;
    for (int i = 0; i < kTableSize; ++i) s->table_p[i] *= 0.5;  // now tops out at 0.5
    next_plain_state(kStateTop);
    EXPECT_EQ(dvalue(*s), s->table_x[kTableSize - 1]);
    EXPECT_EQ(s->pmax_extend, 1);
    EXPECT_EQ(s->table_count, kTableSize);
}

// Draws grow a cumulative table past its ends; preparing the slot again (as
// hosts do after a reseed) builds the table afresh and must not start its
// growth from where the last draws left it, or the far tail is interpolated
// across a wide gap and comes out low.
TEST(Dvalue, PreparingAgainDrawsAsTheFirstTime) {
    const SlotSetup cases[] = {
        {kGamma, {{&DistSlot::scale, 2.0}, {&DistSlot::shape_a, 3.0}}},  // grows above
        {kGamma, {{&DistSlot::scale, 1.0}, {&DistSlot::shape_a, 0.5}}},  // grows below
        {kStudentT, {{&DistSlot::shape_a, 5.0}}, 0, true, -1.0},        // cut below, grows above
        {kWeibull, {{&DistSlot::scale, 1.0}, {&DistSlot::shape_a, 2.0}}},
    };
    constexpr int kCount = 1000;
    for (const auto& c : cases) {
        auto s = testing::initialised(c);
        std::vector<double> rounds[2];
        for (auto& out : rounds) {
            precalc(*s);
            set_rng_type(0, 4242);
            out.resize(kCount);
            dvalue_batch(*s, out.data(), kCount);
        }
        for (int i = 0; i < kCount; ++i) {
            ASSERT_EQ(rounds[1][i], rounds[0][i]) << "dtype " << c.dtype << " draw " << i;
        }
    }
    // The gamma's largest draw, for the uniform 0.99969876 (true quantile
    // 25.2936), as the first preparation has always given it.
    auto g = testing::initialised(cases[0]);
    precalc(*g);
    set_rng_type(0, 4242);
    std::vector<double> v(kCount);
    dvalue_batch(*g, v.data(), kCount);
    EXPECT_NEAR(*std::max_element(v.begin(), v.end()), 25.0702, 5e-5);
}

struct Continuous {
    std::string name;
    SlotSetup setup;
};

// Every continuous type with a method, and truncated slots (which all use the
// cumulative table), against the slot's own cumulative distribution.
TEST(DvalueDistribution, ContinuousDrawsFollowTheSlotsCumulative) {
    using D = DistSlot;
    const Continuous cases[] = {
        {"uniform", {kUniform, {{&D::minimum, -1.0}, {&D::maximum, 3.0}}}},
        {"triangular", {kTriangular, {{&D::minimum, 0.0}, {&D::mode, 1.0}, {&D::maximum, 4.0}}}},
        {"normal", {kNormal, {{&D::mean, 3.0}, {&D::stdev, 2.0}}}},
        {"exponential", {kExponential, {{&D::mean, 2.0}}}},
        {"pareto", {kPareto, {{&D::mode, 1.0}, {&D::shape_a, 2.5}}}},
        {"beta", {kBeta, {{&D::minimum, 0.0}, {&D::maximum, 2.0}, {&D::shape_a, 0.7}, {&D::shape_b, 2.0}}}},
        {"gamma", {kGamma, {{&D::scale, 2.0}, {&D::shape_a, 3.0}}}},
        {"gamma small shape", {kGamma, {{&D::scale, 1.0}, {&D::shape_a, 0.5}}}},
        {"cauchy", {kCauchy, {{&D::mean, 1.0}, {&D::scale, 0.5}}}},
        {"exponential power", {kExpPower, {{&D::mean, 0.0}, {&D::scale, 1.0}, {&D::shape_a, 1.5}}}},
        {"gumbel", {kGumbel, {{&D::mode, 1.0}, {&D::scale, 2.0}}}},
        {"weibull", {kWeibull, {{&D::minimum, 1.0}, {&D::scale, 2.0}, {&D::shape_a, 1.5}}}},
        {"wald", {kWald, {{&D::scale, 2.0}}}},
        {"laplace", {kLaplace, {{&D::mean, -1.0}, {&D::scale, 0.5}}}},
        {"logistic", {kLogistic, {{&D::mean, 0.0}, {&D::stdev, 1.0}}}},
        {"lognormal by moments", {kLognormalByMoments, {{&D::mean, 2.0}, {&D::stdev, 1.0}}}},
        {"lognormal", {kLognormal, {{&D::lmean, 0.0}, {&D::lstdev, 1.0}}}},
        {"erlang", {kErlang, {{&D::scale, 1.0}, {&D::shape_a, 4.0}}}},
        {"chi-square", {kChiSquare, {{&D::shape_a, 2.5}}}},
        {"power function", {kPowerFunction, {{&D::minimum, 0.0}, {&D::maximum, 2.0}, {&D::shape_a, 0.5}}}},
        {"rayleigh", {kRayleigh, {{&D::scale, 1.5}}}},
        {"inverse gaussian", {kInverseGaussian, {{&D::mean, 1.0}, {&D::scale, 3.0}}}},
        {"lognormal by median", {kLognormalByMedian, {{&D::median, 2.0}, {&D::lstdev, 0.5}}}},
        {"truncated normal", {kNormal, {{&D::stdev, 1.0}}, 0, true, -0.5, true, 2.0}},
        {"normal cut above", {kNormal, {{&D::stdev, 1.0}}, 0, false, 0.0, true, -1.0}},
        {"student t cut below", {kStudentT, {{&D::shape_a, 4.0}}, 0, true, -1.0}},
        {"gamma cut above", {kGamma, {{&D::scale, 2.0}, {&D::shape_a, 3.0}}, 0, false, 0.0, true, 4.0}},
        {"exponential cut both", {kExponential, {{&D::mean, 1.0}}, 0, true, 0.5, true, 3.0}},
        {"cauchy cut both", {kCauchy, {{&D::mean, 0.0}, {&D::scale, 1.0}}, 0, true, -5.0, true, 5.0}},
        {"lognormal cut below", {kLognormal, {{&D::lmean, 0.0}, {&D::lstdev, 1.0}}, 0, true, 1.0}},
    };
    constexpr int kDraws = 4000;
    int seed = 500;
    for (const auto& c : cases) {
        auto s = prepared(c.setup);
        set_rng_type(0, ++seed);
        const auto v = draws(*s, kDraws);
        const double d = ks_distance(v, [&](double x) { return cumulative(*s, x); });
        EXPECT_LT(d * std::sqrt(double{kDraws}), testing::kKsCritical) << c.name;
    }
}

// The stratified kind feeds the table methods as well as the plain one.
TEST(DvalueDistribution, StratifiedUniformsGiveTheSameDistribution) {
    auto s = prepared({kGamma, {{&DistSlot::scale, 1.0}, {&DistSlot::shape_a, 2.0}}});
    set_rng_type(kRngStratified, 5);
    const auto v = draws(*s, 3000);
    const double d = ks_distance(v, [&](double x) { return cumulative(*s, x); });
    EXPECT_LT(d * std::sqrt(3000.0), testing::kKsCritical);
}

struct Discrete {
    std::string name;
    SlotSetup setup;
};

TEST(DvalueDistribution, DiscreteDrawsFollowTheSlotsMasses) {
    using D = DistSlot;
    const Discrete cases[] = {
        {"poisson", {kPoisson, {{&D::mean, 4.5}}}},
        {"geometric", {kGeometric, {{&D::p, 0.3}}}},
        {"binomial", {kBinomial, {{&D::p, 0.35}}, 20}},
        {"hypergeometric", {kHypergeometric, {{&D::pop, 50.0}, {&D::popsuc, 20.0}, {&D::sam, 10.0}}}},
        {"log series", {kLogSeries, {{&D::shape_a, 0.8}}}},
        {"discrete uniform", {kDiscreteUniform, {{&D::minimum, -3.0}, {&D::maximum, 6.0}}}},
        {"normal binomial", {kNormalBinomial, {{&D::p, 0.4}}, 30}},
        {"poisson cut", {kPoisson, {{&D::mean, 4.5}}, 0, true, 2.0, true, 9.0}},
        {"binomial cut", {kBinomial, {{&D::p, 0.35}}, 20, true, 5.0}},
        {"discrete uniform cut",
         {kDiscreteUniform, {{&D::minimum, 1.0}, {&D::maximum, 20.0}}, 0, false, 0.0, true, 7.0}},
        {"normal poisson cut", {kNormalPoisson, {{&D::mean, 6.0}}, 0, true, 3.0}},
        {"normal binomial cut", {kNormalBinomial, {{&D::p, 0.4}}, 30, false, 0.0, true, 12.0}},
        // Ranges wider than the table: mass beyond its entries is walked.
        {"wide binomial", {kBinomial, {{&D::p, 0.5}}, 5000}},
        {"wide geometric", {kGeometric, {{&D::p, 0.001}}}},
        {"wide uniform cut", {kDiscreteUniform, {{&D::minimum, 0.0}, {&D::maximum, 9999.0}}, 0, true, 0.0}},
    };
    constexpr int kDraws = 20000;
    int seed = 900;
    for (const auto& c : cases) {
        auto s = prepared(c.setup);
        set_rng_type(0, ++seed);
        const auto v = draws(*s, kDraws);
        const double first = s->dminimum;
        const double last = s->dmaximum;
        const auto r = chi_square(v, first, last, [&](double k) { return density(*s, k); });
        EXPECT_FALSE(r.outside_range) << c.name;
        EXPECT_LT(r.statistic, chi_square_critical(r.cells - 1)) << c.name << " cells " << r.cells;
    }
}

// The normal approximation to the Poisson is drawn by rounding the normal to
// the nearest whole number (negative results to 0), so its draws follow the
// masses Phi((k + 0.5 - m) / s) - Phi((k - 0.5 - m) / s), with all of the mass
// below 0.5 at 0 (closed form).
TEST(DvalueDistribution, NormalPoissonDrawsAreTheRoundedNormal) {
    auto s = prepared({kNormalPoisson, {{&DistSlot::mean, 6.0}}});
    set_rng_type(0, 31);
    const auto v = draws(*s, 20000);
    const double sd = std::sqrt(6.0);
    const auto r = chi_square(v, 0.0, 30.0, [&](double k) {
        const double upper = normal_integral((k + 0.5 - 6.0) / sd);
        return k == 0.0 ? upper : upper - normal_integral((k - 0.5 - 6.0) / sd);
    });
    EXPECT_FALSE(r.outside_range);
    EXPECT_LT(r.statistic, chi_square_critical(r.cells - 1));
}

}  // namespace
}  // namespace kvz
