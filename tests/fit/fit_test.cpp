// The fit through its exports: closed-form estimates against their formulas,
// the reported measures against the library's own density and cumulative
// distribution, truncated fits that recover what an untruncated fit misses,
// and every refusal in the header's order, leaving the slot as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <vector>

#include "include/kvz_comp.h"
#include "include/kvz_comp_batch.h"
#include "include/kvz_comp_fit.h"
#include "fit/measures.h"
#include "interface/slot.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kSlot = 5;

// A fit with its workspace, the host's ends (NaN: estimated) and n.
struct Fit {
    int code;
    kvz_fit_result r;
};

Fit fit(int slot, int dtype, const std::vector<double>& x, double minimum = kNaN, double maximum = kNaN,
        int n = 0) {
    kvz_fit_result r{};
    r.minimum = minimum;
    r.maximum = maximum;
    r.fixed = (std::isnan(minimum) ? 0 : KVZ_FIT_FIX_MINIMUM) | (std::isnan(maximum) ? 0 : KVZ_FIT_FIX_MAXIMUM);
    r.n = n;
    std::vector<unsigned char> work(fit_pdf_work_size(dtype, static_cast<int>(x.size())) + 1);
    // Any alignment: the workspace starts one byte in.
    const int code = fit_pdf(slot, dtype, x.data(), static_cast<int>(x.size()), work.data() + 1, work.size() - 1, &r);
    return {code, r};
}

void uncut(int slot, int dtype) {
    set_pdf_dtype(slot, dtype);
    set_pdf_t_min(slot, 0, 0.0);
    set_pdf_t_max(slot, 0, 0.0);
}

double mean_of(const std::vector<double>& x) { return std::accumulate(x.begin(), x.end(), 0.0) / x.size(); }

double sum_of(const std::vector<double>& x, double (*f)(double, double), double c) {
    double s = 0;
    for (double v : x) s += f(v, c);
    return s;
}

// Closed-form maximum-likelihood estimates, worked out here from their
// textbook formulas, against the fitted inputs.
TEST(Fit, ClosedFormsGiveTheTextbookEstimates) {
    const std::vector<double> pos{0.4, 1.1, 1.3, 2.0, 2.2, 2.9, 3.5, 4.8, 6.1, 9.0};
    const std::vector<double> counts{0, 1, 1, 2, 2, 2, 3, 4, 5, 7};
    const double m = mean_of(pos), mc = mean_of(counts), n = static_cast<double>(pos.size());
    auto sq = [](double v, double c) { return (v - c) * (v - c); };
    auto lg = [](double v, double c) { return std::log(v) - c; };
    auto lg2 = [](double v, double c) { return (std::log(v) - c) * (std::log(v) - c); };
    auto ab = [](double v, double c) { return std::fabs(v - c); };
    auto inv = [](double v, double c) { return 1 / v - c; };
    auto pw = [](double v, double c) { return v * v + c; };
    const double ml = sum_of(pos, lg, 0) / n;
    const double widen = (9.0 - 0.4) / 9;
    struct Case {
        const char* name;
        int dtype;
        const std::vector<double>& x;
        double kvz_fit_inputs::*field;
        double want;
        int parameters;
    };
    const Case cases[] = {
        {"normal mean", 4, pos, &kvz_fit_inputs::mean, m, 2},
        {"normal stdev", 4, pos, &kvz_fit_inputs::stdev, std::sqrt(sum_of(pos, sq, m) / n), 2},
        {"exponential", 8, pos, &kvz_fit_inputs::mean, m, 1},
        {"lognormal lmean", 23, pos, &kvz_fit_inputs::lmean, ml, 2},
        {"lognormal lstdev", 23, pos, &kvz_fit_inputs::lstdev, std::sqrt(sum_of(pos, lg2, ml) / n), 2},
        {"lognormal by median", 34, pos, &kvz_fit_inputs::median, std::exp(ml), 2},
        {"lognormal by moments", 22, pos, &kvz_fit_inputs::mean,
         std::exp(ml + sum_of(pos, lg2, ml) / n / 2), 2},
        {"laplace location", 19, pos, &kvz_fit_inputs::mean, (2.2 + 2.9) / 2, 2},
        {"laplace scale", 19, pos, &kvz_fit_inputs::scale, sum_of(pos, ab, 2.55) / n, 2},
        {"rayleigh", 27, pos, &kvz_fit_inputs::scale, std::sqrt(sum_of(pos, pw, 0) / (2 * n)), 1},
        {"inverse gaussian shape", 29, pos, &kvz_fit_inputs::scale, n / sum_of(pos, inv, 1 / m), 2},
        {"wald", 18, pos, &kvz_fit_inputs::scale, n / sum_of(pos, [](double v, double) { return (v - 1) * (v - 1) / v; }, 0), 1},
        {"pareto bound", 10, pos, &kvz_fit_inputs::mode, 0.4, 2},
        {"pareto index", 10, pos, &kvz_fit_inputs::shape_a, n / sum_of(pos, lg, std::log(0.4)), 2},
        {"uniform low end", 2, pos, &kvz_fit_inputs::minimum, 0.4 - widen, 2},
        {"uniform high end", 2, pos, &kvz_fit_inputs::maximum, 9.0 + widen, 2},
        {"poisson", 6, counts, &kvz_fit_inputs::mean, mc, 1},
        {"geometric", 7, counts, &kvz_fit_inputs::p, 1 / (1 + mc), 1},
        {"binomial, n the largest value", 9, counts, &kvz_fit_inputs::p, mc / 7, 1},
        {"discrete uniform low end", 28, counts, &kvz_fit_inputs::minimum, 0, 2},
        {"discrete uniform high end", 28, counts, &kvz_fit_inputs::maximum, 7, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uncut(kSlot, c.dtype);
        const Fit f = fit(kSlot, c.dtype, c.x);
        ASSERT_EQ(f.code, KVZ_FIT_OK);
        EXPECT_NEAR(f.r.fitted.*(c.field), c.want, 1e-12 * std::fabs(c.want) + 1e-15);
        EXPECT_EQ(f.r.parameters, c.parameters);
        EXPECT_EQ(get_pdf_dclass(kSlot), &c.x == &counts ? 2 : 1);
    }
}

// What the host gives is kept: ends, the binomial's n; fewer parameters are counted.
TEST(Fit, TheHostsEndsAndTrialsAreKept) {
    const std::vector<double> x{0.2, 0.3, 0.45, 0.5, 0.61, 0.7, 0.72, 0.9};
    uncut(kSlot, 2);
    Fit f = fit(kSlot, 2, x, 0.0, 1.0);
    ASSERT_EQ(f.code, KVZ_FIT_OK);
    EXPECT_EQ(f.r.fitted.minimum, 0.0);
    EXPECT_EQ(f.r.fitted.maximum, 1.0);
    EXPECT_EQ(f.r.parameters, 0);
    EXPECT_NEAR(f.r.loglik, 0.0, 1e-12);

    uncut(kSlot, 11);
    f = fit(kSlot, 11, x, 0.0, kNaN);
    ASSERT_EQ(f.code, KVZ_FIT_OK);
    EXPECT_EQ(f.r.fitted.minimum, 0.0);
    EXPECT_GT(f.r.fitted.maximum, 0.9);
    EXPECT_EQ(f.r.parameters, 3);

    const std::vector<double> counts{0, 1, 1, 2, 3, 3, 4};
    uncut(kSlot, 9);
    f = fit(kSlot, 9, counts, kNaN, kNaN, 20);
    ASSERT_EQ(f.code, KVZ_FIT_OK);
    EXPECT_EQ(f.r.fitted.n, 20);
    EXPECT_NEAR(f.r.fitted.p, mean_of(counts) / 20, 1e-15);
}

// A zeroed result (the C idiom) estimates every end and n: the same fit as
// one that fixes nothing. Flags set on a type without that end change nothing.
TEST(Fit, AZeroedResultEstimatesEverything) {
    const std::vector<double> pos{0.4, 1.1, 1.3, 2.0, 2.2, 2.9, 3.5, 4.8, 6.1, 9.0};
    const std::vector<double> counts{0, 1, 1, 2, 2, 2, 3, 4, 5, 7};
    struct Case {
        const char* name;
        int dtype;
        const std::vector<double>& x;
    };
    const Case cases[] = {
        {"gamma", 12, pos},   {"uniform", 2, pos},      {"Weibull", 11, pos},
        {"Pareto", 10, pos},  {"binomial", 9, counts},  {"discrete uniform", 28, counts},
    };
    std::vector<unsigned char> work(fit_pdf_work_size(28, 10) + fit_pdf_work_size(12, 10));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uncut(kSlot, c.dtype);
        const Fit estimated = fit(kSlot, c.dtype, c.x);
        ASSERT_EQ(estimated.code, KVZ_FIT_OK);
        kvz_fit_result r = {};
        ASSERT_EQ(fit_pdf(kSlot, c.dtype, c.x.data(), 10, work.data(), work.size(), &r), KVZ_FIT_OK);
        EXPECT_EQ(r.loglik, estimated.r.loglik);
        EXPECT_EQ(r.parameters, estimated.r.parameters);
    }
    // The gamma has neither end: fixed ends the wrong way round are ignored.
    uncut(kSlot, 12);
    const Fit gamma = fit(kSlot, 12, pos);
    const Fit flagged = fit(kSlot, 12, pos, 5.0, 1.0);
    ASSERT_EQ(flagged.code, KVZ_FIT_OK);
    EXPECT_EQ(flagged.r.loglik, gamma.r.loglik);
    // A flagged end that is not finite is refused.
    uncut(kSlot, 2);
    EXPECT_EQ(fit(kSlot, 2, pos, -std::numeric_limits<double>::infinity(), kNaN).code, KVZ_FIT_OUTSIDE_SUPPORT);
}

// Types whose fit searches: the log-likelihood is at a maximum (no small step
// of any parameter raises it), and the Erlang's shape is whole.
TEST(Fit, SearchedFitsSitAtAMaximum) {
    const std::vector<double> x{0.35, 0.8, 1.05, 1.3, 1.6, 1.75, 2.1, 2.4, 2.9, 3.3, 3.8, 4.6, 5.9, 7.7};
    struct Case {
        int dtype;
        double kvz_fit_inputs::*field[2];
        void (*set[2])(int, double);
    };
    const Case cases[] = {
        {12, {&kvz_fit_inputs::shape_a, &kvz_fit_inputs::scale}, {set_pdf_shape_a, set_pdf_scale}},
        {16, {&kvz_fit_inputs::shape_a, &kvz_fit_inputs::scale}, {set_pdf_shape_a, set_pdf_scale}},
        {15, {&kvz_fit_inputs::mode, &kvz_fit_inputs::scale}, {set_pdf_mode, set_pdf_scale}},
        {13, {&kvz_fit_inputs::mean, &kvz_fit_inputs::scale}, {set_pdf_mean, set_pdf_scale}},
        {21, {&kvz_fit_inputs::mean, &kvz_fit_inputs::stdev}, {set_pdf_mean, set_pdf_stdev}},
        {35, {&kvz_fit_inputs::shape_a, nullptr}, {set_pdf_shape_a, nullptr}},
        {25, {&kvz_fit_inputs::shape_a, nullptr}, {set_pdf_shape_a, nullptr}},
    };
    constexpr int kProbe = 6;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dtype);
        uncut(kSlot, c.dtype);
        const Fit f = fit(kSlot, c.dtype, x);
        ASSERT_EQ(f.code, KVZ_FIT_OK);
        for (int k = 0; k < 2 && c.field[k]; ++k) {
            for (double step : {0.999, 1.001}) {
                // The probe slot: the fit, with one input moved.
                std::memcpy(kvz::slot_at(kProbe), kvz::slot_at(kSlot), sizeof(kvz::DistSlot));
                c.set[k](kProbe, f.r.fitted.*(c.field[k]) * step);
                dinitialise(kProbe);
                double ll = 0;
                for (double v : x) ll += std::log(get_pdf_pdf(kProbe, v));
                EXPECT_LE(ll, f.r.loglik + 1e-9) << k << " " << step;
            }
        }
    }
    uncut(kSlot, 24);
    const Fit erlang = fit(kSlot, 24, x);
    ASSERT_EQ(erlang.code, KVZ_FIT_OK);
    EXPECT_EQ(erlang.r.fitted.shape_a, std::floor(erlang.r.fitted.shape_a));
}

// The measures of a fit are those of the fitted slot: log-likelihood from its
// density, the criteria from it, KS and AD from its cumulative distribution
// (continuous), KS over the step functions and chi-square over pooled cells
// (discrete).
TEST(Fit, MeasuresComeFromTheFittedSlot) {
    const std::vector<double> x{0.3, 0.9, 1.2, 1.4, 2.2, 2.3, 3.1, 4.0, 5.5, 8.1};
    uncut(kSlot, 12);
    set_pdf_t_max(kSlot, 1, 9.0);
    const Fit f = fit(kSlot, 12, x);
    ASSERT_EQ(f.code, KVZ_FIT_OK);
    const int n = static_cast<int>(x.size());
    double ll = 0, ks = 0, ad = 0;
    for (int i = 0; i < n; ++i) {
        ll += std::log(get_pdf_pdf(kSlot, x[i]));
        const double F = get_pdf_f(kSlot, x[i]);
        ks = std::max({ks, (i + 1.0) / n - F, F - static_cast<double>(i) / n});
        ad += (2.0 * i + 1) * (std::log(F) + std::log1p(-get_pdf_f(kSlot, x[n - 1 - i])));
    }
    EXPECT_NEAR(f.r.loglik, ll, 1e-12 * std::fabs(ll));
    EXPECT_NEAR(f.r.aic, 2 * 2 - 2 * ll, 1e-9);
    EXPECT_NEAR(f.r.bic, 2 * std::log(10.0) - 2 * ll, 1e-9);
    EXPECT_NEAR(f.r.ks, ks, 1e-14);
    EXPECT_NEAR(f.r.ad, -n - ad / n, 1e-12);
    EXPECT_TRUE(std::isnan(f.r.chi2));

    // Counts 0, 1 and 3 (none at 2): the steps are compared at each value
    // and at the whole number below it, where the type's step at 2 shows; the
    // cell of 3 expects too little and joins the one before.
    std::vector<double> counts(16, 0.0);
    counts.insert(counts.end(), 9, 1.0);
    counts.insert(counts.end(), 5, 3.0);
    uncut(kSlot, 6);
    const Fit p = fit(kSlot, 6, counts);
    ASSERT_EQ(p.code, KVZ_FIT_OK);
    const double lam = 0.8, e0 = std::exp(-lam);
    const double mass[] = {e0, lam * e0, lam * lam / 2 * e0, lam * lam * lam / 6 * e0};
    const double F0 = mass[0], F1 = F0 + mass[1], F2 = F1 + mass[2], F3 = F2 + mass[3];
    const double want_ks = std::max({std::fabs(16 / 30.0 - F0), std::fabs(25 / 30.0 - F1),
                                     std::fabs(25 / 30.0 - F2), std::fabs(1.0 - F3)});
    EXPECT_NEAR(p.r.ks, want_ks, 1e-12);
    EXPECT_NEAR(p.r.ks, F2 - 25 / 30.0, 1e-12);  // the step the data lack
    const double e_first = 30 * mass[0], e_rest = 30 * (mass[1] + mass[3]);
    EXPECT_NEAR(p.r.chi2, (16 - e_first) * (16 - e_first) / e_first + (14 - e_rest) * (14 - e_rest) / e_rest, 1e-9);
    EXPECT_TRUE(std::isnan(p.r.ad));
}

// n values drawn from a slot set up by `setup`, with its cut.
std::vector<double> draws(void (*setup)(int), double t_min, double t_max, int n) {
    constexpr int kSource = 9;
    setup(kSource);
    set_pdf_t_min(kSource, 1, t_min);
    set_pdf_t_max(kSource, 1, t_max);
    dinitialise(kSource);
    set_rng_type(0, 2024);
    precalc(kSource);
    std::vector<double> x(n);
    dvalue_batch(kSource, x.data(), n);
    return x;
}

// Truncated fits: data drawn from a truncated gamma, normal and Poisson,
// fitted with the cut given, recover the parameters within 5 %; fitted
// without it, they do not.
TEST(Fit, TruncatedFitsRecoverWhatTheCutHides) {
    struct Case {
        const char* name;
        int dtype;
        void (*setup)(int);
        double t_min, t_max;
        double kvz_fit_inputs::*field[2];
        double truth[2];
    };
    const Case cases[] = {
        {"gamma", 12, [](int s) { set_pdf_dtype(s, 12); set_pdf_scale(s, 2); set_pdf_shape_a(s, 3); }, 3.0, 14.0,
         {&kvz_fit_inputs::shape_a, &kvz_fit_inputs::scale}, {3, 2}},
        {"normal", 4, [](int s) { set_pdf_dtype(s, 4); set_pdf_mean(s, 10); set_pdf_stdev(s, 2); }, 8.5, 15.0,
         {&kvz_fit_inputs::mean, &kvz_fit_inputs::stdev}, {10, 2}},
        {"poisson", 6, [](int s) { set_pdf_dtype(s, 6); set_pdf_mean(s, 4); }, 3.0, 20.0,
         {&kvz_fit_inputs::mean, nullptr}, {4, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<double> x = draws(c.setup, c.t_min, c.t_max, 20000);
        uncut(kSlot, c.dtype);
        const Fit plain = fit(kSlot, c.dtype, x);
        set_pdf_t_min(kSlot, 1, c.t_min);
        set_pdf_t_max(kSlot, 1, c.t_max);
        const Fit cut = fit(kSlot, c.dtype, x);
        ASSERT_EQ(plain.code, KVZ_FIT_OK);
        ASSERT_EQ(cut.code, KVZ_FIT_OK);
        bool plain_misses = false;
        for (int k = 0; k < 2 && c.field[k]; ++k) {
            EXPECT_NEAR(cut.r.fitted.*(c.field[k]), c.truth[k], 0.05 * c.truth[k]) << k;
            plain_misses |= std::fabs(plain.r.fitted.*(c.field[k]) - c.truth[k]) > 0.05 * c.truth[k];
        }
        EXPECT_TRUE(plain_misses);
        EXPECT_GT(cut.r.loglik, plain.r.loglik);
        // The slot keeps its cut, initialised: its draws stay inside.
        precalc(kSlot);
        for (int i = 0; i < 100; ++i) {
            const double v = dvalue(kSlot);
            EXPECT_TRUE(v >= std::floor(c.t_min) && v <= c.t_max) << v;
        }
    }
}

// Gamma values cut to [1, 10], fitted by a Student t under the same cut: the
// search runs the degrees of freedom towards 0, where the cut density holds
// several times the kept mass. Such a fit is refused; it must not come out
// as the best of all (KS near 0.6).
TEST(Fit, ACutFitThatIsNoDistributionIsRefused) {
    const std::vector<double> x =
        draws([](int s) { set_pdf_dtype(s, 12); set_pdf_scale(s, 2); set_pdf_shape_a(s, 2); }, 1.0, 10.0, 10000);
    set_pdf_dtype(kSlot, 35);
    set_pdf_t_min(kSlot, 1, 1.0);
    set_pdf_t_max(kSlot, 1, 10.0);
    const Fit f = fit(kSlot, 35, x);
    EXPECT_TRUE(f.code == KVZ_FIT_NO_CONVERGENCE || (f.code == KVZ_FIT_OK && f.r.ks < 0.1))
        << f.code << ", shape " << f.r.fitted.shape_a << ", KS " << f.r.ks;
}

// Values rounded to one decimal, with ties: the exponential power's
// likelihood runs off to a spike at a tied value (shape about 30, scale
// 4e-23), which is refused; smooth data keep a finite fit.
TEST(Fit, AnExponentialPowerSpikeIsRefused) {
    const std::vector<double> rounded{59.3, 0.0, 2.3, 0.3, 0.4, 0.6, 0.0, 0.6,  0.2, 769.7, 1.6,  0.5, 0.6,
                                      0.3,  0.1, 0.5, 2.6, 0.6, 6.8, 0.7, 1.0,  22.0, 3.0,  0.4, 0.7, 2.9,
                                      48.0, 0.6, 0.6, 7.4, 0.2, 0.6, 5.8, 3.2,  1.2, 3.8,   0.0,  7.7, 0.1,
                                      0.0,  1.7, 4.1, 0.4, 0.1, 1.1, 0.9, 16.6, 4.5, 1.5,  9.2};
    uncut(kSlot, 14);
    EXPECT_EQ(fit(kSlot, 14, rounded).code, KVZ_FIT_NO_CONVERGENCE);
    std::vector<double> smooth(200);
    for (int i = 0; i < 200; ++i) smooth[i] = std::sin(i * 1.3) + 0.01 * i;
    const Fit f = fit(kSlot, 14, smooth);
    ASSERT_EQ(f.code, KVZ_FIT_OK);
    EXPECT_LT(f.r.fitted.shape_a, 10);
}

// Degrees of freedom that run off to infinity: a Student t fitted to evenly
// spread values (lighter tails than any t), an F fitted to a chi-square over
// its degrees of freedom. One rule for both: past 1e6 the fit is refused.
// Heavy-tailed quantiles (a Cauchy's, its square: t with 1, F with 1 and 1
// degrees of freedom) keep their fit.
TEST(Fit, DegreesOfFreedomRunningOffAreRefused) {
    const int n = 2000;
    const double pi = 3.141592653589793;
    std::vector<double> even(n), cauchy(n), squared(n);
    for (int i = 0; i < n; ++i) {
        const double u = (i + 0.5) / n;
        even[i] = -1 + 2 * u;
        cauchy[i] = std::tan(pi * (u - 0.5));
        squared[i] = std::pow(std::tan(pi / 2 * u), 2);
    }
    constexpr int kSource = 9;
    set_pdf_dtype(kSource, 12);
    set_pdf_scale(kSource, 0.4);
    set_pdf_shape_a(kSource, 2.5);
    set_pdf_t_min(kSource, 0, 0.0);
    set_pdf_t_max(kSource, 0, 0.0);
    dinitialise(kSource);
    set_rng_type(0, 2024);
    precalc(kSource);
    std::vector<double> chi_square(20000);
    dvalue_batch(kSource, chi_square.data(), 20000);
    struct Case {
        const char* name;
        int dtype;
        const std::vector<double>& x;
        int want;
    };
    const Case cases[] = {
        {"t of evenly spread values", 35, even, KVZ_FIT_NO_CONVERGENCE},
        {"F of chi-square / 5", 36, chi_square, KVZ_FIT_NO_CONVERGENCE},
        {"t of Cauchy quantiles", 35, cauchy, KVZ_FIT_OK},
        {"F of squared Cauchy quantiles", 36, squared, KVZ_FIT_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uncut(kSlot, c.dtype);
        const Fit f = fit(kSlot, c.dtype, c.x);
        EXPECT_EQ(f.code, c.want) << f.r.fitted.shape_a << ", " << f.r.fitted.shape_b;
    }
}

// Every refusal, each in a call where all the earlier checks pass, with its
// code in the result and the slot's record untouched.
TEST(Fit, RefusalsComeInTheHeadersOrderAndLeaveTheSlot) {
    const std::vector<double> good{1.5, 2.5, 3.0, 4.5};
    std::vector<unsigned char> work(fit_pdf_work_size(12, 4));
    struct Case {
        const char* name;
        int slot, dtype;
        std::vector<double> x;
        double minimum, maximum;
        bool cut, null_result, small_work;
        int want;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"null data", kSlot, 12, {}, kNaN, kNaN, false, false, false, KVZ_FIT_NULL_ARRAY},
        {"slot outside 0..20", 21, 12, good, kNaN, kNaN, false, false, false, KVZ_FIT_BAD_SLOT},
        {"degenerate", kSlot, 1, good, kNaN, kNaN, false, false, false, KVZ_FIT_NO_DENSITY},
        {"hypergeometric", kSlot, 17, good, kNaN, kNaN, false, false, false, KVZ_FIT_NO_DENSITY},
        {"unassigned code", kSlot, 5, good, kNaN, kNaN, false, false, false, KVZ_FIT_NO_DENSITY},
        {"F with a cut", kSlot, 36, good, kNaN, kNaN, true, false, false, KVZ_FIT_NO_DENSITY},
        {"one value", kSlot, 12, {2.0}, kNaN, kNaN, false, false, false, KVZ_FIT_TOO_FEW},
        {"no more values than parameters", kSlot, 11, good, kNaN, kNaN, false, false, false, KVZ_FIT_TOO_FEW},
        {"NaN", kSlot, 12, {1.0, kNaN, 2.0}, kNaN, kNaN, false, false, false, KVZ_FIT_NOT_FINITE},
        {"infinity", kSlot, 4, {1.0, -inf, 2.0}, kNaN, kNaN, false, false, false, KVZ_FIT_NOT_FINITE},
        {"zero for a gamma", kSlot, 12, {0.0, 1.0, 2.0}, kNaN, kNaN, false, false, false, KVZ_FIT_OUTSIDE_SUPPORT},
        {"negative for a Pareto", kSlot, 10, {-1.0, 1.0, 2.0}, kNaN, kNaN, false, false, false,
         KVZ_FIT_OUTSIDE_SUPPORT},
        {"fraction for a Poisson", kSlot, 6, {1.0, 2.5, 3.0}, kNaN, kNaN, false, false, false,
         KVZ_FIT_OUTSIDE_SUPPORT},
        {"outside the cut", kSlot, 12, {1.0, 2.0, 9.0}, kNaN, kNaN, true, false, false, KVZ_FIT_OUTSIDE_SUPPORT},
        {"outside the host's end", kSlot, 2, good, 2.0, kNaN, false, false, false, KVZ_FIT_OUTSIDE_SUPPORT},
        {"ends the wrong way", kSlot, 2, good, 5.0, 1.0, false, false, false, KVZ_FIT_OUTSIDE_SUPPORT},
        {"a discrete uniform's end not whole", kSlot, 28, {1.0, 2.0, 4.0}, 0.5, kNaN, false, false, false,
         KVZ_FIT_OUTSIDE_SUPPORT},
        {"no workspace", kSlot, 12, good, kNaN, kNaN, false, false, true, KVZ_FIT_SMALL_WORKSPACE},
        {"all values equal", kSlot, 4, {2.0, 2.0, 2.0}, kNaN, kNaN, false, false, false, KVZ_FIT_NO_CONVERGENCE},
        {"a uniform of equal values", kSlot, 2, {2.0, 2.0, 2.0}, kNaN, kNaN, false, false, false,
         KVZ_FIT_NO_CONVERGENCE},
        {"a binomial of zeros", kSlot, 9, {0.0, 0.0, 0.0}, kNaN, kNaN, false, false, false, KVZ_FIT_NO_CONVERGENCE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A slot holding a fitted normal with a cut that admits the data.
        set_pdf_dtype(kSlot, 4);
        set_pdf_mean(kSlot, 2);
        set_pdf_stdev(kSlot, 1);
        set_pdf_t_min(kSlot, c.cut, 0.5);
        set_pdf_t_max(kSlot, c.cut, 5.0);
        dinitialise(kSlot);
        kvz::DistSlot before;
        std::memcpy(&before, kvz::slot_at(kSlot), sizeof before);
        kvz_fit_result r{};
        r.minimum = c.minimum;
        r.maximum = c.maximum;
        r.fixed = (std::isnan(c.minimum) ? 0 : KVZ_FIT_FIX_MINIMUM) | (std::isnan(c.maximum) ? 0 : KVZ_FIT_FIX_MAXIMUM);
        r.status = 99;
        const int code = fit_pdf(c.slot, c.dtype, c.x.empty() ? nullptr : c.x.data(), static_cast<int>(c.x.size()),
                                 c.small_work ? nullptr : work.data(), work.size(), &r);
        EXPECT_EQ(code, c.want);
        EXPECT_EQ(r.status, c.want);
        EXPECT_EQ(std::memcmp(&before, kvz::slot_at(kSlot), sizeof before), 0);
    }
    EXPECT_EQ(fit_pdf(kSlot, 12, good.data(), 4, work.data(), work.size(), nullptr), KVZ_FIT_NULL_ARRAY);
    kvz_fit_result r{};
    r.minimum = r.maximum = kNaN;
    EXPECT_EQ(fit_pdf(kSlot, 12, good.data(), 4, work.data(), work.size() - 1, &r), KVZ_FIT_SMALL_WORKSPACE);
}

// A far outlier among many values (about 55 standard deviations out), where
// the normal density underflows to 0: the fit stands, its log-likelihood from
// the logarithm of the density.
TEST(Fit, AFarOutlierKeepsAFiniteLogLikelihood) {
    std::vector<double> x(3000);
    for (int i = 0; i < 2999; ++i) x[i] = (i % 7) * 0.25;
    x[2999] = 1e6;
    uncut(kSlot, 4);
    const Fit f = fit(kSlot, 4, x);
    ASSERT_EQ(f.code, KVZ_FIT_OK);
    const double m = f.r.fitted.mean, sd = f.r.fitted.stdev;
    double ll = 0;
    for (double v : x) ll += -((v - m) * (v - m)) / (2 * sd * sd) - std::log(sd) - 0.5 * std::log(2 * 3.141592653589793);
    EXPECT_EQ(get_pdf_pdf(kSlot, 1e6), 0.0);
    EXPECT_NEAR(f.r.loglik, ll, 1e-9 * std::fabs(ll));
}

// A far value whose mass or density underflows in double, for the types
// whose log-likelihood then comes from a formula of its logarithm: the fit
// stands and reports the sum of the log densities, worked out here.
TEST(Fit, AnUnderflowingDensityKeepsTheFitThroughItsLogarithm) {
    using Inputs = const kvz_fit_inputs&;
    struct Case {
        const char* name;
        int dtype;
        double step, far;
        int n;
        double (*log_density)(Inputs, double);
    };
    const Case cases[] = {
        {"poisson", 6, 1, 400, 0,
         [](Inputs in, double x) { return x * std::log(in.mean) - in.mean - std::lgamma(x + 1); }},
        {"binomial", 9, 1, 400, 1000,
         [](Inputs in, double x) {
             return std::lgamma(in.n + 1.0) - std::lgamma(x + 1) - std::lgamma(in.n - x + 1) + x * std::log(in.p) +
                    (in.n - x) * std::log1p(-in.p);
         }},
        {"geometric", 7, 1, 1e5, 0, [](Inputs in, double x) { return std::log(in.p) + x * std::log1p(-in.p); }},
        {"exponential", 8, 0.25, 1e4, 0, [](Inputs in, double x) { return -std::log(in.mean) - x / in.mean; }},
        {"gamma", 12, 0.25, 1e5, 0,
         [](Inputs in, double x) {
             return (in.shape_a - 1) * std::log(x / in.scale) - x / in.scale - std::log(in.scale) -
                    std::lgamma(in.shape_a);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> x(20000);
        for (int i = 0; i < 19999; ++i) x[i] = (1 + i % 4) * c.step;
        x[19999] = c.far;
        uncut(kSlot, c.dtype);
        const Fit f = fit(kSlot, c.dtype, x, kNaN, kNaN, c.n);
        ASSERT_EQ(f.code, KVZ_FIT_OK);
        EXPECT_EQ(get_pdf_pdf(kSlot, c.far), 0.0);
        double ll = 0;
        for (double v : x) ll += c.log_density(f.r.fitted, v);
        EXPECT_NEAR(f.r.loglik, ll, 1e-9 * std::fabs(ll));
    }
}

// The F's cumulative far in its upper tail, where d1 x / (d1 x + d2) rounds
// to 1 (reference values 1 - survival, from an independent implementation).
TEST(Fit, TheFCumulativeHoldsWhereItsBetaArgumentRoundsToOne) {
    struct Case {
        double d1, d2, x, want;
    };
    const Case cases[] = {
        {5, 0.01, 1e20, 0.2250401639826941},
        {2, 1e-3, 1e300, 0.2947396229307631},
    };
    for (const Case& c : cases) {
        kvz::DistSlot s{};
        s.dtype = 36;
        s.shape_a = c.d1;
        s.shape_b = c.d2;
        EXPECT_NEAR(kvz::closed_cumulative(s, 36, c.x), c.want, 1e-12) << c.d1 << ", " << c.d2 << " at " << c.x;
    }
}

// A geometric with a mean in the millions: its goodness of fit is either a
// true measure or NaN, never a perfect 0 from a cumulative that failed.
TEST(Fit, AStatisticThatMeetsNaNIsNaN) {
    std::vector<double> x(200);
    for (int i = 0; i < 200; ++i) x[i] = 1e6 * (1 + i % 5) + i;
    uncut(kSlot, 7);
    const Fit f = fit(kSlot, 7, x);
    ASSERT_EQ(f.code, KVZ_FIT_OK);
    EXPECT_TRUE(std::isnan(f.r.ks) || f.r.ks > 0.05) << f.r.ks;
}

TEST(Fit, WorkspaceSizeIsZeroWhereNothingIsFitted) {
    EXPECT_EQ(fit_pdf_work_size(1, 100), 0u);
    EXPECT_EQ(fit_pdf_work_size(17, 100), 0u);
    EXPECT_EQ(fit_pdf_work_size(40, 100), 0u);
    EXPECT_EQ(fit_pdf_work_size(4, 1), 0u);
    EXPECT_GT(fit_pdf_work_size(4, 2), 0u);
    EXPECT_GT(fit_pdf_work_size(4, 2000), fit_pdf_work_size(4, 1000));
}

}  // namespace
