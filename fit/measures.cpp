// The log-likelihood and goodness-of-fit statistics of a fitted slot.
#include <algorithm>
#include <cmath>
#include <limits>

#include "eval/eval.h"
#include "eval/rules.h"
#include "fit/measures.h"
#include "interface/catalogue.h"
#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The Anderson-Darling terms take the cumulative probability kept this far
// inside (0, 1), so that a value at an end of the support (the Pareto's
// estimated lower bound is the smallest value) weighs heavily but finitely.
constexpr double kProbabilityFloor = 1e-15;
// Adjacent chi-square cells are pooled until each expects this many values.
constexpr double kMinExpected = 5;

// The number of values from i on equal to x[i].
int run_length(const double* x, int n, int i) {
    int j = i + 1;
    while (j < n && x[j] == x[i]) ++j;
    return j - i;
}

double kolmogorov_smirnov_continuous(const double* cdf, int n) {
    double d = 0;
    for (int i = 0; i < n; ++i) {
        // A cumulative the library could not give makes the statistic NaN
        // (std::max would pass over it, and the fit would look perfect).
        if (std::isnan(cdf[i])) return kNaN;
        d = std::max({d, (i + 1.0) / n - cdf[i], cdf[i] - static_cast<double>(i) / n});
    }
    return d;
}

// The data's step function against the type's, both stepping at whole
// numbers: compared at each value and at the whole number before it (where
// the data's steps have not yet risen, and the type's have risen most).
double kolmogorov_smirnov_discrete(const DistSlot& s, const double* x, const double* cdf, int n) {
    double d = 0;
    for (int i = 0; i < n;) {
        const int run = run_length(x, n, i);
        const double before = fitted_cumulative(s, x[i] - 1);
        if (std::isnan(before) || std::isnan(cdf[i])) return kNaN;
        d = std::max({d, std::fabs(static_cast<double>(i) / n - before), std::fabs((i + run) / static_cast<double>(n) - cdf[i])});
        i += run;
    }
    return d;
}

double anderson_darling(const double* cdf, int n) {
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const double low = std::clamp(cdf[i], kProbabilityFloor, 1 - kProbabilityFloor);
        const double high = std::clamp(cdf[n - 1 - i], kProbabilityFloor, 1 - kProbabilityFloor);
        sum += (2.0 * i + 1) * (elem::log(low) + elem::log1p(-high));
    }
    return -n - sum / n;
}

// Pearson's statistic over the observed whole numbers, adjacent ones pooled
// (in ascending order) until each cell expects kMinExpected values; a last
// cell that expects fewer joins the one before it.
double pearson_chi_square(const DistSlot& s, const double* x, int n) {
    double total = 0, observed = 0, expected = 0;
    double closed_o = 0, closed_e = 0;  // the last closed cell, which a short remainder joins
    bool any_closed = false;
    for (int i = 0; i < n;) {
        const int run = run_length(x, n, i);
        observed += run;
        expected += n * density(s, x[i]);
        i += run;
        if (expected >= kMinExpected) {
            if (any_closed) total += (closed_o - closed_e) * (closed_o - closed_e) / closed_e;
            closed_o = observed;
            closed_e = expected;
            any_closed = true;
            observed = expected = 0;
        }
    }
    closed_o += observed;
    closed_e += expected;
    if (!(closed_e > 0)) return kNaN;
    return total + (closed_o - closed_e) * (closed_o - closed_e) / closed_e;
}

}  // namespace

bool has_own_cumulative(int base) { return base != kExpPower && base != kFisherF; }

double closed_cumulative(const DistSlot& s, int base, double x) {
    if (base == kExpPower) {
        const double z = (x - s.mean) / s.scale;
        const double p = incomplete_gamma(s.shape_a / 2, elem::pow(std::fabs(z), 2 / s.shape_a) / 2);
        return z < 0 ? 0.5 - p / 2 : 0.5 + p / 2;
    }
    if (!(x > 0)) return 0;
    // I_z(d1/2, d2/2) with z = d1 x / (d1 x + d2); past z = 1/2 from the
    // complementary side, 1 - I_{1-z}(d2/2, d1/2), since z itself rounds to
    // 1 long before the upper tail is gone.
    const double d1x = s.shape_a * x;
    if (d1x <= s.shape_b) return betai(s.shape_a / 2, s.shape_b / 2, d1x / (d1x + s.shape_b));
    return 1 - betai(s.shape_b / 2, s.shape_a / 2, s.shape_b / (d1x + s.shape_b));
}

double fitted_cumulative(const DistSlot& s, double x) {
    const int base = kDensityAlias(s.dtype);
    if (has_own_cumulative(base)) return cumulative(s, x);
    const double f = closed_cumulative(s, base, x);
    if (!truncation_applies(s)) return f;
    const double lo = s.t_min_flag ? closed_cumulative(s, base, s.t_min) : 0.0;
    const double hi = s.t_max_flag ? closed_cumulative(s, base, s.t_max) : 1.0;
    return std::clamp((f - lo) / (hi - lo), 0.0, 1.0);
}

// ln density of the untruncated slot at x inside its support, written out
// for the types whose fits are most often met far in a tail (the counts of
// the Poisson, binomial and geometric, the exponential and the gamma); NaN
// for the others.
double formula_log_density(const DistSlot& s, double x) {
    switch (kDensityAlias(s.dtype)) {
        case kPoisson:
            return x * elem::log(s.mean) - s.mean - log_gamma(x + 1);
        case kBinomial:
            return log_gamma(s.n + 1.0) - log_gamma(x + 1) - log_gamma(s.n - x + 1) + x * elem::log(s.p) +
                   (s.n - x) * elem::log1p(-s.p);
        case kGeometric:
            return elem::log(s.p) + x * elem::log1p(-s.p);
        case kExponential:
            return -elem::log(s.mean) - x / s.mean;
        case kGamma:
            return (s.shape_a - 1) * elem::log(x / s.scale) - x / s.scale - elem::log(s.scale) - log_gamma(s.shape_a);
        default:
            return kNaN;
    }
}

// ln density(s, x). Far out in a tail the density underflows to 0; the types
// with a logarithmic density (the library's own for the normal and lognormal,
// else the formula above) then take it from there, rescaled by the cut as the
// density is.
double log_of_density(const DistSlot& s, double x) {
    const double d = density(s, x);
    if (d > 0 || place_of(s, x) != Place::inside) return elem::log(d);
    double l = log_density(s, x);
    if (std::isnan(l)) l = formula_log_density(s, x);
    if (std::isnan(l)) return elem::log(d);
    return l + (s.t_tail != kNoTail ? -s.t_log_kept : elem::log(s.t_factor));
}

double library_loglik(const DistSlot& s, const double* x, int n) {
    double sum = 0;
    for (int i = 0; i < n;) {
        const int run = run_length(x, n, i);
        sum += run * log_of_density(s, x[i]);
        i += run;
    }
    return sum;
}

Measures measure_fit(const DistSlot& s, bool discrete, const double* x, int n, double* cdf) {
    for (int i = 0; i < n;) {
        const int run = run_length(x, n, i);
        const double f = fitted_cumulative(s, x[i]);
        for (int k = 0; k < run; ++k) cdf[i + k] = f;
        i += run;
    }
    Measures m{library_loglik(s, x, n), 0, kNaN, kNaN};
    if (discrete) {
        m.ks = kolmogorov_smirnov_discrete(s, x, cdf, n);
        m.chi2 = pearson_chi_square(s, x, n);
    } else {
        m.ks = kolmogorov_smirnov_continuous(cdf, n);
        m.ad = anderson_darling(cdf, n);
    }
    return m;
}

}  // namespace kvz
