// Probability masses and densities built from factorials, gamma values and
// powers overflow long before the values themselves do (171! is already
// infinite). These helpers give the same value from logarithms, for use when
// the direct product cannot be formed.
#pragma once

#include <cmath>
#include <initializer_list>

#include "special/special.h"

namespace kvz {

// factorial() switches from its running product to log_gamma above this value;
// the logarithm follows the same switch so both paths agree on every x.
constexpr double kLogFactorialSwitch = 32;

// A value both ways: as the literal formula gives it, and its logarithm.
struct WithLog {
    double value;
    double log;
};

// factorial(x) and ln x! from one log_gamma: above the switch factorial() is
// exp(log_gamma(x + 1)) itself; up to it the logarithm is that of the running
// product (of the whole part of x), so both paths agree on every x.
inline WithLog factorial_with_log(double x) {
    if (x > kLogFactorialSwitch) {
        const double l = log_gamma(x + 1);
        return {std::exp(l), l};
    }
    const double f = factorial(x);
    return {f, std::log(f)};
}

// binomial_coefficient(n, k), bit for bit, and its logarithm, the three
// factorials combined in the same order, each factorial's log_gamma taken once.
inline WithLog binomial_coefficient_with_log(double n, double k) {
    const WithLog a = factorial_with_log(n);
    const WithLog b = factorial_with_log(n - k);
    const WithLog c = factorial_with_log(k);
    return {a.value / b.value / c.value, a.log - b.log - c.log};
}

// ln of std::pow(base, exponent); a zero exponent gives 0 as pow gives 1, also
// for a zero base.
inline double log_power(double base, double exponent) {
    if (exponent == 0) return 0;
    return exponent * std::log(base);
}

// ln(1 − p): std::log(1 − p) wherever 1 − p is formed exactly (every p from
// 1/2 up), else log1p(−p), which does not round 1 − p first (ln(1 − 1e-20)
// would be 0, not −1e-20).
inline double log_one_minus(double p) {
    const double q = 1 - p;
    if (1 - q == p) return std::log(q);
    return std::log1p(-p);
}

// ln B(a, b), the logarithms beta_function() exponentiates.
inline double log_beta_function(double a, double b) {
    return log_gamma(a) + log_gamma(b) - log_gamma(a + b);
}

// The direct product can be trusted when every factor is finite and the
// product is a number.
inline bool direct_mass_usable(double mass, std::initializer_list<double> factors) {
    if (std::isnan(mass)) return false;
    for (double f : factors)
        if (!std::isfinite(f)) return false;
    return true;
}

}  // namespace kvz
