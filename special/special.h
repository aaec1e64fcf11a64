// Special functions: pure functions of doubles, no state, no slots.
#pragma once

namespace kvz {

// ln Γ(x) by the six-term Lanczos series (x > 0).
double log_gamma(double x);

// Regularised lower incomplete gamma function P(a, x).
double incomplete_gamma(double a, double x);
// The same with ln Γ(a) given (as log_gamma(a) gives it), for callers that
// evaluate many x at one shape.
double incomplete_gamma_given(double a, double x, double log_gamma_a);
// P(a, x) by its power series; ln Γ(a) is handed back in log_gamma_a.
double incomplete_gamma_series(double a, double x, double& log_gamma_a);
// Q(a, x) = 1 − P(a, x) by its continued fraction; ln Γ(a) handed back.
double incomplete_gamma_fraction(double a, double x, double& log_gamma_a);

// Standard normal cumulative distribution Φ(z), through P(1/2, z²/2).
double normal_integral(double z);

// ln(1 − Φ(z)), the logarithm of the normal upper tail, to a few units in the
// last place of the tail (Φ(−z) is the same value at −z). It stays finite
// where the tail underflows, out to z of about 1e154; NaN gives NaN.
double log_normal_tail(double z);

// The standard normal quantile to within 4.5e-4 in z: a starting point for a
// search that checks it, not an answer. NaN outside (0, 1).
double normal_quantile_estimate(double p);
// Φ(z) through the standard library's complementary error function, to a few
// units in the last place: the reference a quantile search checks its own
// cumulative distribution (good to about 1.6e-8, see normal_integral) against.
double normal_cdf_reference(double z);

// Complete beta function B(a, b) (not its logarithm).
double beta_function(double a, double b);

// x! of the whole part of x; from log_gamma above 32. Below 2 (negative x too) it is 1.
// π, as every formula of the library takes it.
constexpr double kPi = 3.141592653589793;

// factorial() forms a running product up to this value and exp(log_gamma(x + 1))
// above it.
constexpr double kFactorialSwitch = 32;
double factorial(double x);

// n! / ((n − k)! k!), divided in that order.
double binomial_coefficient(double n, double k);

// Regularised incomplete beta function I_x(a, b) and its continued fraction.
double betai(double a, double b, double x);
double beta_fraction(double a, double b, double x);

}  // namespace kvz
