// Random variates: dvalue per method beside the standard library's and
// Boost.Random's sampler of the same family, each with two engines; and the
// batch draw beside the loop of single draws.
#include <boost/random/beta_distribution.hpp>
#include <boost/random/binomial_distribution.hpp>
#include <boost/random/discrete_distribution.hpp>
#include <boost/random/exponential_distribution.hpp>
#include <boost/random/gamma_distribution.hpp>
#include <boost/random/linear_congruential.hpp>
#include <boost/random/lognormal_distribution.hpp>
#include <boost/random/mersenne_twister.hpp>
#include <boost/random/normal_distribution.hpp>
#include <boost/random/poisson_distribution.hpp>
#include <boost/random/triangle_distribution.hpp>
#include <boost/random/uniform_01.hpp>
#include <boost/random/uniform_real_distribution.hpp>
#include <boost/random/weibull_distribution.hpp>
#include <boost/math/distributions/hypergeometric.hpp>

#include <cmath>
#include <random>
#include <vector>

#include "bench/bench_common.h"
#include "include/kvz_comp_batch.h"

namespace bench {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kSeed = 12345;

// Hypergeometric case: population 50 with 20 successes, samples of 10.
constexpr int kPop = 50, kPopSuc = 20, kSam = 10;
// Truncated normal case: the standard normal cut to [-1, 2].
constexpr double kCutLow = -1.0, kCutHigh = 2.0;

void add_kvz(const std::string& which, const SlotSetup& setup) {
    add(name("dvalue", which, "kvz"), 1, [setup](benchmark::State& state) {
        set_rng_type(0, kSeed);
        prepare(kSlot, setup);
        for (auto _ : state) benchmark::DoNotOptimize(dvalue(kSlot));
    });
}

// A peer: `make()` gives a sampler callable with an engine.
template <class Engine, class Make>
void add_peer(const std::string& which, const std::string& impl, Make make) {
    add(name("dvalue", which, impl), 1, [make](benchmark::State& state) {
        Engine engine(kSeed);
        auto sample = make();
        for (auto _ : state) benchmark::DoNotOptimize(sample(engine));
    });
}

template <class MakeStd, class MakeBoost>
void add_peers(const std::string& which, MakeStd make_std, MakeBoost make_boost) {
    add_peer<std::mt19937>(which, "std+mt19937", make_std);
    add_peer<std::minstd_rand>(which, "std+minstd_rand", make_std);
    add_peer<boost::random::mt19937>(which, "boost+mt19937", make_boost);
    add_peer<boost::random::minstd_rand>(which, "boost+minstd_rand", make_boost);
}

// Wraps a distribution object into a sampler.
template <class Dist>
auto sampler(Dist d) {
    return [d](auto& engine) mutable { return d(engine); };
}

std::vector<double> hypergeometric_masses() {
    boost::math::hypergeometric_distribution<double> h(kPopSuc, kSam, kPop);
    std::vector<double> w;
    for (int k = 0; k <= kSam; ++k) w.push_back(boost::math::pdf(h, static_cast<unsigned>(k)));
    return w;
}

void register_dvalue() {
    add_kvz("normal", {.dtype = 4, .mean = 0, .stdev = 1});
    add_peers("normal", [] { return sampler(std::normal_distribution<double>(0, 1)); },
              [] { return sampler(boost::random::normal_distribution<double>(0, 1)); });

    add_kvz("lognormal", {.dtype = 23, .lmean = 0, .lstdev = 0.5});
    add_peers("lognormal", [] { return sampler(std::lognormal_distribution<double>(0, 0.5)); },
              [] { return sampler(boost::random::lognormal_distribution<double>(0, 0.5)); });

    add_kvz("exponential", {.dtype = 8, .mean = 2});
    add_peers("exponential", [] { return sampler(std::exponential_distribution<double>(0.5)); },
              [] { return sampler(boost::random::exponential_distribution<double>(0.5)); });

    // The standard library has no triangular sampler; its piecewise linear
    // density through (0, 0), (1, 1), (3, 0) is the same distribution.
    add_kvz("triangular", {.dtype = 3, .mode = 1, .minimum = 0, .maximum = 3});
    add_peers("triangular",
              [] {
                  const double xs[] = {0, 1, 3}, ws[] = {0, 1, 0};
                  return sampler(std::piecewise_linear_distribution<double>(xs, xs + 3, ws));
              },
              [] { return sampler(boost::random::triangle_distribution<double>(0, 1, 3)); });

    add_kvz("uniform", {.dtype = 2, .minimum = 0, .maximum = 1});
    add_peers("uniform", [] { return sampler(std::uniform_real_distribution<double>(0, 1)); },
              [] { return sampler(boost::random::uniform_real_distribution<double>(0, 1)); });

    add_kvz("weibull", {.dtype = 16, .minimum = 0, .scale = 2, .shape_a = 1.5});
    add_peers("weibull", [] { return sampler(std::weibull_distribution<double>(1.5, 2)); },
              [] { return sampler(boost::random::weibull_distribution<double>(1.5, 2)); });

    // Neither peer has a logistic sampler: its closed-form inverse on one
    // uniform of each library stands in.
    add_kvz("logistic", {.dtype = 21, .mean = 0, .stdev = 1});
    const double logistic_s = std::sqrt(3.0) / kPi;
    add_peers("logistic",
              [logistic_s] {
                  return [logistic_s, d = std::uniform_real_distribution<double>(0, 1)](
                             auto& e) mutable {
                      const double u = d(e);
                      return logistic_s * std::log(u / (1 - u));
                  };
              },
              [logistic_s] {
                  return [logistic_s, d = boost::random::uniform_01<double>()](auto& e) mutable {
                      const double u = d(e);
                      return logistic_s * std::log(u / (1 - u));
                  };
              });

    // Rayleigh with scale 1 is the Weibull with shape 2 and scale sqrt(2).
    add_kvz("rayleigh", {.dtype = 27, .scale = 1});
    add_peers("rayleigh",
              [] { return sampler(std::weibull_distribution<double>(2, std::sqrt(2.0))); },
              [] { return sampler(boost::random::weibull_distribution<double>(2, std::sqrt(2.0))); });

    add_kvz("gamma", {.dtype = 12, .scale = 2, .shape_a = 3});
    add_peers("gamma", [] { return sampler(std::gamma_distribution<double>(3, 2)); },
              [] { return sampler(boost::random::gamma_distribution<double>(3, 2)); });

    // The standard library has no beta sampler: X / (X + Y) of two gammas.
    add_kvz("beta", {.dtype = 11, .minimum = 0, .maximum = 1, .shape_a = 2, .shape_b = 3});
    add_peers("beta",
              [] {
                  return [x = std::gamma_distribution<double>(2, 1),
                          y = std::gamma_distribution<double>(3, 1)](auto& e) mutable {
                      const double a = x(e);
                      return a / (a + y(e));
                  };
              },
              [] { return sampler(boost::random::beta_distribution<double>(2, 3)); });

    // The large means and n draw mostly beyond the table's window of 2000
    // whole numbers around the median.
    for (double mean : {4.0, 400.0, 1e6, 1e7, 1e8}) {
        const std::string which = "poisson_mean" + std::to_string(static_cast<long long>(mean));
        add_kvz(which, {.dtype = 6, .mean = mean});
        add_peers(which, [mean] { return sampler(std::poisson_distribution<int>(mean)); },
                  [mean] { return sampler(boost::random::poisson_distribution<int>(mean)); });
    }

    for (int n : {10, 1000, 10000, 100000, 1000000, 10000000, 100000000}) {
        const std::string which = "binomial_n" + std::to_string(n);
        add_kvz(which, {.dtype = 9, .p = 0.3, .n = n});
        add_peers(which, [n] { return sampler(std::binomial_distribution<int>(n, 0.3)); },
                  [n] { return sampler(boost::random::binomial_distribution<int>(n, 0.3)); });
    }

    // No hypergeometric sampler in either peer: their general discrete
    // samplers over the same masses stand in.
    add_kvz("hypergeometric", {.dtype = 17, .pop = kPop, .popsuc = kPopSuc, .sam = kSam});
    const std::vector<double> masses = hypergeometric_masses();
    add_peers("hypergeometric",
              [masses] {
                  return sampler(std::discrete_distribution<int>(masses.begin(), masses.end()));
              },
              [masses] {
                  return sampler(
                      boost::random::discrete_distribution<int, double>(masses.begin(), masses.end()));
              });

    // Truncated normal: the peers reject normal draws outside the cut.
    add_kvz("truncated_normal", {.dtype = 4, .mean = 0, .stdev = 1, .t_min_flag = true,
                                 .t_min = kCutLow, .t_max_flag = true, .t_max = kCutHigh});
    auto rejecting = [](auto normal) {
        return [normal](auto& e) mutable {
            for (;;) {
                const double x = normal(e);
                if (x >= kCutLow && x <= kCutHigh) return x;
            }
        };
    };
    add_peers("truncated_normal",
              [rejecting] { return rejecting(std::normal_distribution<double>(0, 1)); },
              [rejecting] { return rejecting(boost::random::normal_distribution<double>(0, 1)); });
}

// dvalue_batch of 1000 values beside 1000 single dvalue calls.
constexpr int kBatch = 1000;

void register_batch() {
    const std::pair<const char*, SlotSetup> cases[] = {
        {"exponential", {.dtype = 8, .mean = 2}},
        {"normal", {.dtype = 4, .mean = 0, .stdev = 1}},
        {"lognormal", {.dtype = 23, .lmean = 0, .lstdev = 0.5}},
        {"gamma", {.dtype = 12, .scale = 2, .shape_a = 3}},
        {"beta", {.dtype = 11, .minimum = 0, .maximum = 1, .shape_a = 2, .shape_b = 3}},
        {"truncated_normal", {.dtype = 4, .mean = 0, .stdev = 1, .t_min_flag = true,
                              .t_min = kCutLow, .t_max_flag = true, .t_max = kCutHigh}},
        {"binomial_n1000", {.dtype = 9, .p = 0.3, .n = 1000}},
    };
    for (const auto& [which, setup] : cases) {
        add(name("batch", which, "kvz"), kBatch, [setup](benchmark::State& state) {
            set_rng_type(0, kSeed);
            prepare(kSlot, setup);
            std::vector<double> out(kBatch);
            for (auto _ : state) {
                dvalue_batch(kSlot, out.data(), kBatch);
                benchmark::DoNotOptimize(out.data());
            }
        });
        add(name("batch", which, "single_calls"), kBatch, [setup](benchmark::State& state) {
            set_rng_type(0, kSeed);
            prepare(kSlot, setup);
            std::vector<double> out(kBatch);
            for (auto _ : state) {
                for (int i = 0; i < kBatch; ++i) out[i] = dvalue(kSlot);
                benchmark::DoNotOptimize(out.data());
            }
        });
    }
}

}  // namespace

void register_sampling() {
    register_dvalue();
    register_batch();
}

}  // namespace bench
