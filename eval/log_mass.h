// Probability masses and densities built from factorials, gamma values and
// powers overflow long before the values themselves do (171! is already
// infinite). These helpers give the same value from logarithms, for use when
// the direct product cannot be formed.
#pragma once

#include <cmath>
#include <initializer_list>

#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

// From here on x! (and so any product or quotient formed with it directly)
// overflows: ln 171! is about 706.6, ln 172! about 711.7, past the largest
// double's 709.8. A mass whose direct formula takes such a factorial is only
// ever formed from logarithms, which then need no direct value at all.
constexpr double kFirstOverflowingFactorial = 171;

// ln of elem::pow(base, exponent); a zero exponent gives 0 as pow gives 1, also
// for a zero base.
inline double log_power(double base, double exponent) {
    if (exponent == 0) return 0;
    return exponent * elem::log(base);
}

// ln(1 − p): elem::log(1 − p) wherever 1 − p is formed exactly (every p from
// 1/2 up), else log1p(−p), which does not round 1 − p first (ln(1 − 1e-20)
// would be 0, not −1e-20).
inline double log_one_minus(double p) {
    const double q = 1 - p;
    if (1 - q == p) return elem::log(q);
    return elem::log1p(-p);
}

// ln x! − ln(√(2π x) (x/e)^x), the remainder of Stirling's formula, for x >= 1.
// Its series in 1/x is exact to rounding from x = 16 on; below that the
// remainder is formed from log_gamma, where the terms are small.
inline double stirling_remainder(double x) {
    constexpr double kLogRootTwoPi = 0.91893853320467274178;  // ln √(2π)
    constexpr double s0 = 1.0 / 12, s1 = 1.0 / 360, s2 = 1.0 / 1260, s3 = 1.0 / 1680, s4 = 1.0 / 1188;
    if (x <= 15) return log_gamma(x + 1) - (x + 0.5) * elem::log(x) + x - kLogRootTwoPi;
    const double xx = x * x;
    if (x > 500) return (s0 - s1 / xx) / x;
    if (x > 80) return (s0 - (s1 - s2 / xx) / xx) / x;
    if (x > 35) return (s0 - (s1 - (s2 - s3 / xx) / xx) / xx) / x;
    return (s0 - (s1 - (s2 - (s3 - s4 / xx) / xx) / xx) / xx) / x;
}

// x ln(x / m) + m − x, the deviance of x from a mean m, without the
// cancellation of its terms when x lies near m: there it is summed as the
// series in v = (x − m) / (x + m).
inline double deviance(double x, double m) {
    if (std::fabs(x - m) < 0.1 * (x + m)) {
        double v = (x - m) / (x + m);
        double sum = (x - m) * v;
        double term = 2 * x * v;
        v = v * v;
        for (int j = 1; j < 1000; ++j) {
            term = term * v;
            const double next = sum + term / (2 * j + 1);
            if (next == sum) return next;
            sum = next;
        }
        return sum;
    }
    return x * elem::log(x / m) + m - x;
}

// ln of the Poisson mass at a whole x by the saddle point: the terms
// x ln mean, mean and ln x! grow with x while the mass's logarithm stays
// small, so forming it from them loses the digits that a sum over millions
// of masses needs.
inline double log_poisson_mass(double mean, double x) {
    if (x == 0) return -mean;
    return -stirling_remainder(x) - deviance(x, mean) - 0.5 * elem::log(2 * kPi * x);
}

// ln of the binomial mass at a whole x, likewise.
inline double log_binomial_mass(double n, double p, double x) {
    if (x == 0) return n * log_one_minus(p);
    if (x == n) return n * elem::log(p);
    const double remainder = stirling_remainder(n) - stirling_remainder(x) - stirling_remainder(n - x);
    const double spread = elem::log(2 * kPi) + elem::log(x) + elem::log1p(-x / n);
    return remainder - deviance(x, n * p) - deviance(n - x, n * (1 - p)) - 0.5 * spread;
}

// ln of the hypergeometric mass at a whole x: the three binomial
// coefficients as binomial masses at the sampling fraction, whose powers
// cancel.
inline double log_hypergeometric_mass(double pop, double popsuc, double sam, double x) {
    const double p = sam / pop;
    return log_binomial_mass(popsuc, p, x) + log_binomial_mass(pop - popsuc, p, sam - x) -
           log_binomial_mass(pop, p, sam);
}

// ln B(a, b), the logarithms beta_function() exponentiates.
inline double log_beta_function(double a, double b) {
    return log_gamma(a) + log_gamma(b) - log_gamma(a + b);
}

// The direct product can be trusted when every factor is finite, the
// product is a number, and none of the factors that are positive in exact
// arithmetic (`positive`) underflowed: e^−800 rounds to 0 and takes a
// Poisson mass of 1e-215 with it, and a subnormal factor has lost digits.
inline bool direct_mass_usable(double mass, std::initializer_list<double> factors,
                               std::initializer_list<double> positive = {}) {
    if (std::isnan(mass)) return false;
    for (double f : factors)
        if (!std::isfinite(f)) return false;
    for (double f : positive)
        if (!std::isnormal(f)) return false;
    return true;
}

}  // namespace kvz
