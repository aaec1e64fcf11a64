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

// ln x!, matching factorial(): the logarithm of the running product up to the
// switch (whole part of x), ln Γ(x + 1) above it.
inline double log_factorial(double x) {
    if (x > kLogFactorialSwitch) return log_gamma(x + 1);
    return std::log(factorial(x));
}

// ln of binomial_coefficient(n, k), the three factorials combined in the same order.
inline double log_binomial_coefficient(double n, double k) {
    return log_factorial(n) - log_factorial(n - k) - log_factorial(k);
}

// ln of std::pow(base, exponent); a zero exponent gives 0 as pow gives 1, also
// for a zero base.
inline double log_power(double base, double exponent) {
    if (exponent == 0) return 0;
    return exponent * std::log(base);
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
