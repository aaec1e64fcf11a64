// Special functions against reference values computed with scipy.special /
// scipy.stats (SciPy 1.10, double precision), and their exact edge behaviour.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "special/special.h"

namespace kvz {
namespace {

TEST(LogGamma, MatchesReferenceToTheSeriesAccuracy) {
    struct Case { double x, ref; };
    const Case cases[] = {  // scipy.special.gammaln
        {0.1, 2.252712651734206},  {0.5, 0.5723649429247},   {1, 0.0},
        {2, 0.0},                  {3.7, 1.428072326665388}, {10, 12.801827480081469},
        {100, 359.1342053695754},  {1e5, 1051287.7089736569},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(log_gamma(c.x), c.ref, 2e-10 * std::fmax(1.0, std::fabs(c.ref))) << c.x;
}

TEST(IncompleteGamma, MatchesReferenceWithinItsTolerance) {
    struct Case { double a, x, ref; };
    const Case cases[] = {  // scipy.special.gammainc
        {0.5, 0.1, 0.34527915398142317}, {1, 2, 0.8646647167633873},
        {3, 4, 0.7618966944464556},      {3, 2, 0.32332358381693654},
        {10, 5, 0.03182805730620481},    {10, 11, 0.6594893575343392},
        {10, 30, 0.9999928782491372},    {100, 90, 0.15822098918643007},
        {0.5, 8, 0.9999366575163338},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(incomplete_gamma(c.a, c.x), c.ref, 1e-6 * c.ref) << c.a << " " << c.x;
}

TEST(IncompleteGamma, IsExactlyZeroAtZeroAndSwitchesBranchStrictlyAtAPlusOne) {
    for (double a : {0.3, 1.0, 7.5}) EXPECT_EQ(incomplete_gamma(a, 0.0), 0.0);
    double g;
    EXPECT_EQ(incomplete_gamma(3, 4), 1 - incomplete_gamma_fraction(3, 4, g));
    const double below = std::nextafter(4.0, 0.0);
    EXPECT_EQ(incomplete_gamma(3, below), incomplete_gamma_series(3, below, g));
    EXPECT_NEAR(g, log_gamma(3), 0.0);
}

TEST(IncompleteGamma, SeriesWithoutConvergenceStillReturnsItsPartialSum) {
    // a = 1e4, x just below a + 1 needs far more than 100 terms: the partial sum
    // is carried through, a finite value below the true P (about 0.5).
    double g;
    const double v = incomplete_gamma_series(1e4, 1e4, g);
    EXPECT_TRUE(std::isfinite(v));
    EXPECT_GT(v, 0.0);
    EXPECT_LT(v, 0.5);
}

TEST(IncompleteGamma, LargeShapesWhereTheSeriesCannotStopAreRight) {
    struct Case { double a, x, ref; };
    const Case cases[] = {  // scipy.special.gammainc
        {5000, 5000, 0.50188063403381733},      {5000, 4900, 0.077944956226513928},
        {5000, 5100, 0.92067111892238107},      {5000, 4700, 7.5970648619412848e-06},
        {1e6, 1e6, 0.50013298076087254},        {1e6, 999000, 0.15865521357430365},
        {1e6, 1001500, 0.93313889576410225},    {400, 390, 0.31294286318558778},
        {2000, 2100, 0.98635253231662967},      {1e8, 1e8 + 2e4, 0.97724446922514474},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(incomplete_gamma(c.a, c.x), c.ref, 1e-6 * c.ref) << c.a << " " << c.x;
    // Where the series does stop, its value is kept bit for bit.
    double g;
    for (double x : {150.0, 190.0, 4000.0})
        EXPECT_EQ(incomplete_gamma(x < 1000 ? 200 : 5000, x),
                  incomplete_gamma_series(x < 1000 ? 200 : 5000, x, g)) << x;
}

TEST(NormalIntegral, MatchesReferenceAndIsSymmetric) {
    struct Case { double z, ref; };
    const Case cases[] = {  // scipy.stats.norm.cdf
        {-3, 0.0013498980316300933}, {-1, 0.15865525393145707}, {0.5, 0.6914624612740131},
        {2, 0.9772498680518208},     {5, 0.9999997133484281},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(normal_integral(c.z), c.ref, 3e-7 * std::fmin(c.ref, 1 - c.ref) + 1e-15) << c.z;
        EXPECT_NEAR(normal_integral(-c.z), 1 - normal_integral(c.z), 1e-15) << c.z;
    }
    EXPECT_EQ(normal_integral(0.0), 0.5);
}

TEST(LogNormalTail, MatchesReferenceWhereTheTailUnderflowsToo) {
    struct Case { double z, ref; };
    const Case cases[] = {  // scipy.special.log_ndtr(-z)
        {-40, -0.0},                        {-10, -7.619853024160473e-24},
        {-3, -0.001350809964748193},        {-1, -0.17275377902344985},
        {0, -0.6931471805599453},           {0.5, -1.175911761593619},
        {1, -1.841021645009264},            {2, -3.7831843336820317},
        {3, -6.60772622151035},             {5, -15.064998393988727},
        {7.999, -35.00531628463933},        {8, -35.01343715991456},
        {10, -53.23128515051248},           {20, -203.9171553710973},
        {30, -454.32124395634327},          {37, -689.0305855768908},
        {38, -726.5572160188201},           {40, -804.6084420137539},
        {100, -5005.524208694205},          {1000, -500007.8266948122},
        {1e5, -5000000012.431865},          {1e10, -5.000000000000001e+19},
    };
    // A few units in the last place of the tail: its logarithm to 1e-14
    // absolute, relative where the logarithm is large.
    for (const auto& c : cases)
        EXPECT_NEAR(log_normal_tail(c.z), c.ref, 1e-14 * std::fmax(1.0, std::fabs(c.ref))) << c.z;
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(log_normal_tail(inf), -inf);
    EXPECT_EQ(log_normal_tail(-inf), 0.0);
    EXPECT_EQ(log_normal_tail(1e200), -inf);  // z² overflows: no representable logarithm
    EXPECT_TRUE(std::isnan(log_normal_tail(std::nan(""))));
}

TEST(Factorial, RunsTheProductUpTo32AndUsesLogGammaAbove) {
    EXPECT_EQ(factorial(5), 120.0);
    EXPECT_EQ(factorial(2.7), 2.0);     // whole part
    EXPECT_EQ(factorial(1.9), 1.0);
    EXPECT_EQ(factorial(-3.0), 1.0);    // below 2 the product is empty
    EXPECT_NEAR(factorial(32), std::tgamma(33.0), 1e-14 * std::tgamma(33.0));
    EXPECT_EQ(factorial(33), std::exp(log_gamma(34)));
    EXPECT_EQ(factorial(32.5), std::exp(log_gamma(33.5)));
    EXPECT_NEAR(factorial(33) / std::tgamma(34.0), 1.0, 1e-8);
}

TEST(BinomialAndBetaFunctions, GiveClosedFormValues) {
    EXPECT_EQ(binomial_coefficient(5, 2), 10.0);
    EXPECT_EQ(binomial_coefficient(10, 0), 1.0);
    EXPECT_NEAR(beta_function(1, 1), 1.0, 1e-9);
    EXPECT_NEAR(beta_function(2, 3), 1.0 / 12, 1e-10);
    EXPECT_NEAR(beta_function(2.5, 3.5), 0.036815538909255395, 1e-11);  // scipy.special.beta
}

TEST(Betai, MatchesReferenceWithinItsTolerance) {
    struct Case { double a, b, x, ref; };
    const Case cases[] = {  // scipy.special.betainc
        {2, 3, 0.5, 0.6875},       {0.5, 0.5, 0.3, 0.3690101195655454},
        {5, 2, 0.9, 0.885735},     {10, 20, 0.3, 0.3640040810719437},
        {1, 1, 0.25, 0.25},        {50, 60, 0.45, 0.4642352914306064},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(betai(c.a, c.b, c.x), c.ref, 1e-6 * c.ref) << c.a << " " << c.b << " " << c.x;
}

TEST(Betai, IsExactAtTheEndsAndContinuousAcrossTheSideSwitch) {
    for (double a : {0.5, 2.0, 30.0}) {
        for (double b : {0.5, 3.0}) {
            EXPECT_EQ(betai(a, b, 0.0), 0.0);
            EXPECT_EQ(betai(a, b, 1.0), 1.0);
            const double sw = (a + 1) / (a + b + 2);
            EXPECT_NEAR(betai(a, b, std::nextafter(sw, 0.0)), betai(a, b, sw), 1e-6);
            EXPECT_NEAR(betai(a, b, 0.37), 1 - betai(b, a, 1 - 0.37), 1e-6);
        }
    }
    // At the switch point itself the mirrored fraction is used.
    const double sw = 3.0 / 7.0;
    const double bt = std::exp(log_gamma(5) - log_gamma(2) - log_gamma(3) + 2 * std::log(sw) +
                               3 * std::log(1 - sw));
    EXPECT_EQ(betai(2, 3, sw), 1 - bt * beta_fraction(3, 2, 1 - sw) / 3);
}

TEST(Betai, GivesTheStudentTTwoSidedTail) {
    // 2 * scipy.stats.t.sf(2, 5)
    EXPECT_NEAR(betai(2.5, 0.5, 5.0 / (5.0 + 4.0)), 0.10193947882985828, 1e-7);
}

}  // namespace
}  // namespace kvz
