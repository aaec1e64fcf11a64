// Density, cumulative distribution and inverse per type (get_pdf_pdf,
// get_pdf_f, get_pdf_g) beside Boost.Math's pdf, cdf and quantile of the same
// distribution, on the same 64 points. Boost.Math computes in double
// (promote_double<false>), as the library does: its default policy promotes
// double arguments to long double, which costs several times more.
#include <boost/math/distributions/beta.hpp>
#include <boost/math/distributions/binomial.hpp>
#include <boost/math/distributions/cauchy.hpp>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/exponential.hpp>
#include <boost/math/distributions/extreme_value.hpp>
#include <boost/math/distributions/gamma.hpp>
#include <boost/math/distributions/geometric.hpp>
#include <boost/math/distributions/hypergeometric.hpp>
#include <boost/math/distributions/inverse_gaussian.hpp>
#include <boost/math/distributions/laplace.hpp>
#include <boost/math/distributions/logistic.hpp>
#include <boost/math/distributions/lognormal.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/pareto.hpp>
#include <boost/math/distributions/poisson.hpp>
#include <boost/math/distributions/rayleigh.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/math/distributions/triangular.hpp>
#include <boost/math/distributions/uniform.hpp>
#include <boost/math/distributions/weibull.hpp>

#include <array>
#include <cmath>

#include "bench/bench_common.h"

namespace bench {

namespace {

namespace bm = boost::math;

using Dbl = bm::policies::policy<bm::policies::promote_double<false>>;

constexpr int kPoints = 64;
constexpr double kPi = 3.141592653589793;
using Points = std::array<double, kPoints>;

// Evenly spaced abscissae over [lo, hi], whole numbers for a discrete type.
Points abscissae(double lo, double hi, bool whole) {
    Points x{};
    for (int i = 0; i < kPoints; ++i) {
        x[i] = lo + (hi - lo) * i / (kPoints - 1);
        if (whole) x[i] = std::round(x[i]);
    }
    return x;
}

// Probabilities 0.01 .. 0.99.
Points probabilities() { return abscissae(0.01, 0.99, false); }

// Evaluates `call` on the points in turn, after `set_up()`.
template <class SetUp, class Call>
void add_call(const std::string& section, const std::string& which, const std::string& impl,
              const Points& points, SetUp set_up, Call call) {
    add(name(section, which, impl), 1, [points, set_up, call](benchmark::State& state) {
        set_up();
        int i = 0;
        for (auto _ : state) {
            benchmark::DoNotOptimize(call(points[i]));
            i = (i + 1) & (kPoints - 1);
        }
    });
}

template <class Call>
void add_call(const std::string& section, const std::string& which, const std::string& impl,
              const Points& points, Call call) {
    add_call(section, which, impl, points, [] {}, call);
}

// The library's three evaluations of one slot set-up.
void add_kvz(const std::string& which, const SlotSetup& setup, const Points& x, bool with_g) {
    const auto set_up = [setup] { initialise(kSlot, setup); };
    add_call("pdf", which, "kvz", x, set_up, [](double v) { return get_pdf_pdf(kSlot, v); });
    add_call("cdf", which, "kvz", x, set_up, [](double v) { return get_pdf_f(kSlot, v); });
    if (with_g) {
        add_call("quantile", which, "kvz", probabilities(), set_up,
                 [](double p) { return get_pdf_g(kSlot, p); });
    }
}

// Boost.Math's three functions of the same distribution.
template <class Dist>
void add_boost(const std::string& which, const Dist& d, const Points& x, bool with_g) {
    add_call("pdf", which, "boost_math", x, [d](double v) { return bm::pdf(d, v); });
    add_call("cdf", which, "boost_math", x, [d](double v) { return bm::cdf(d, v); });
    if (with_g) {
        add_call("quantile", which, "boost_math", probabilities(),
                 [d](double p) { return bm::quantile(d, p); });
    }
}

// A distribution cut to [lo, hi] from Boost.Math's untruncated functions.
template <class Dist>
void add_boost_truncated(const std::string& which, const Dist& d, double lo, double hi,
                         const Points& x) {
    const double below = bm::cdf(d, lo);
    const double kept = bm::cdf(d, hi) - below;
    add_call("pdf", which, "boost_math", x, [d, kept](double v) { return bm::pdf(d, v) / kept; });
    add_call("cdf", which, "boost_math", x,
             [d, below, kept](double v) { return (bm::cdf(d, v) - below) / kept; });
    add_call("quantile", which, "boost_math", probabilities(),
             [d, below, kept](double p) { return bm::quantile(d, below + p * kept); });
}

template <class Dist>
void add_case(const std::string& which, const SlotSetup& setup, const Dist& d, double lo, double hi,
              bool discrete = false) {
    const Points x = abscissae(lo, hi, discrete);
    // An untruncated discrete slot other than the discrete uniform has no inverse.
    add_kvz(which, setup, x, !discrete);
    add_boost(which, d, x, !discrete);
}

}  // namespace

void register_evaluation() {
    add_case("uniform", {.dtype = 2, .minimum = 0, .maximum = 1},
             bm::uniform_distribution<double, Dbl>(0, 1), 0.01, 0.99);
    add_case("triangular", {.dtype = 3, .mode = 1, .minimum = 0, .maximum = 3},
             bm::triangular_distribution<double, Dbl>(0, 1, 3), 0.05, 2.95);
    add_case("normal", {.dtype = 4, .mean = 0, .stdev = 1},
             bm::normal_distribution<double, Dbl>(0, 1), -3, 3);
    add_case("poisson", {.dtype = 6, .mean = 4}, bm::poisson_distribution<double, Dbl>(4), 0, 12,
             true);
    add_case("geometric", {.dtype = 7, .p = 0.3}, bm::geometric_distribution<double, Dbl>(0.3), 0,
             15, true);
    add_case("exponential", {.dtype = 8, .mean = 2}, bm::exponential_distribution<double, Dbl>(0.5),
             0.01, 10);
    add_case("binomial", {.dtype = 9, .p = 0.3, .n = 20},
             bm::binomial_distribution<double, Dbl>(20, 0.3), 0, 20, true);
    add_case("pareto", {.dtype = 10, .mode = 1, .shape_a = 3},
             bm::pareto_distribution<double, Dbl>(1, 3), 1.01, 5);
    add_case("beta", {.dtype = 11, .minimum = 0, .maximum = 1, .shape_a = 2, .shape_b = 3},
             bm::beta_distribution<double, Dbl>(2, 3), 0.01, 0.99);
    add_case("gamma", {.dtype = 12, .scale = 2, .shape_a = 3},
             bm::gamma_distribution<double, Dbl>(3, 2), 0.1, 20);
    add_case("cauchy", {.dtype = 13, .mean = 0, .scale = 1},
             bm::cauchy_distribution<double, Dbl>(0, 1), -10, 10);
    add_case("gumbel", {.dtype = 15, .mode = 0, .scale = 1},
             bm::extreme_value_distribution<double, Dbl>(0, 1), -2, 6);
    add_case("weibull", {.dtype = 16, .minimum = 0, .scale = 2, .shape_a = 1.5},
             bm::weibull_distribution<double, Dbl>(1.5, 2), 0.05, 6);
    add_case("hypergeometric", {.dtype = 17, .pop = 50, .popsuc = 20, .sam = 10},
             bm::hypergeometric_distribution<double, Dbl>(20, 10, 50), 0, 10, true);
    add_case("laplace", {.dtype = 19, .mean = 0, .scale = 1},
             bm::laplace_distribution<double, Dbl>(0, 1), -5, 5);
    add_case("logistic", {.dtype = 21, .mean = 0, .stdev = 1},
             bm::logistic_distribution<double, Dbl>(0, std::sqrt(3.0) / kPi), -4, 4);
    add_case("lognormal", {.dtype = 23, .lmean = 0, .lstdev = 0.5},
             bm::lognormal_distribution<double, Dbl>(0, 0.5), 0.2, 4);
    add_case("chi_square", {.dtype = 25, .shape_a = 5},
             bm::chi_squared_distribution<double, Dbl>(5), 0.2, 15);
    add_case("rayleigh", {.dtype = 27, .scale = 1}, bm::rayleigh_distribution<double, Dbl>(1), 0.05,
             4);
    add_case("inverse_gaussian", {.dtype = 29, .mean = 1, .scale = 2},
             bm::inverse_gaussian_distribution<double, Dbl>(1, 2), 0.1, 4);
    add_case("student_t", {.dtype = 35, .shape_a = 5}, bm::students_t_distribution<double, Dbl>(5),
             -4, 4);

    // A large mean: each cumulative value sums masses from where they stop
    // underflowing, some 37 standard deviations below the mean. The same 64
    // points are asked again and again, as a host tabulating a slot does.
    constexpr double kLargeMean = 4e6;
    add_case("poisson_mean4e6", {.dtype = 6, .mean = kLargeMean},
             bm::poisson_distribution<double, Dbl>(kLargeMean), kLargeMean - 10000,
             kLargeMean + 10000, true);

    const Points normal_x = abscissae(-1, 2, false);
    add_kvz("truncated_normal",
            {.dtype = 4, .mean = 0, .stdev = 1, .t_min_flag = true, .t_min = -1, .t_max_flag = true,
             .t_max = 2},
            normal_x, true);
    add_boost_truncated("truncated_normal", bm::normal_distribution<double, Dbl>(0, 1), -1, 2,
                        normal_x);
    const Points gamma_x = abscissae(1, 10, false);
    add_kvz("truncated_gamma",
            {.dtype = 12, .scale = 2, .shape_a = 3, .t_min_flag = true, .t_min = 1,
             .t_max_flag = true, .t_max = 10},
            gamma_x, true);
    add_boost_truncated("truncated_gamma", bm::gamma_distribution<double, Dbl>(3, 2), 1, 10,
                        gamma_x);
}

}  // namespace bench
