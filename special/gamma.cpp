#include <cmath>
#include <limits>

#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {
constexpr double kLanczosStart = 1.000000000190015;
constexpr double kLanczos[6] = {76.18009172947146,     -86.50532032941678,
                                24.01409824083091,     -1.231739572450155,
                                0.001208650973866179,  -5.395239384953e-06};
constexpr double kSqrtTwoPi = 2.5066282746310007;

constexpr int kMaxIterations = 100;
constexpr double kTolerance = 3e-7;
constexpr double kTiny = 1e-30;  // smallest divisor of the continued fraction

}  // namespace

double log_gamma(double x) {
    double t = x + 5.5;
    t = t - (x + 0.5) * elem::log(t);
    double s = kLanczosStart;
    double y = x;
    for (double c : kLanczos) {
        y = y + 1;
        s = s + c / y;
    }
    return -t + elem::log(kSqrtTwoPi * s / x);
}

namespace {

// The series and the continued fraction with g = ln Γ(a) given; `converged`
// tells whether the stop was reached within kMaxIterations.
double gamma_series(double a, double x, double g, bool& converged) {
    converged = false;
    double ap = a;
    double term = 1 / a;
    double sum = term;
    for (int n = 1; n <= kMaxIterations; ++n) {
        ap = ap + 1;
        term = term * x / ap;
        sum = sum + term;
        if (std::fabs(term) < std::fabs(sum) * kTolerance) {
            converged = true;
            break;
        }
    }
    // Without convergence in 100 terms the partial sum is carried through.
    return sum * elem::exp(-x + a * elem::log(x) - g);
}

double gamma_fraction(double a, double x, double g, bool& converged) {
    converged = false;
    double b = x + 1 - a;
    double c = 1 / kTiny;
    double d = 1 / b;
    double h = d;
    for (int i = 1; i <= kMaxIterations; ++i) {
        const double an = -i * (i - a);
        b = b + 2;
        d = an * d + b;
        if (std::fabs(d) < kTiny) d = kTiny;
        c = b + an / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        d = 1 / d;
        const double del = d * c;
        h = h * del;
        if (std::fabs(del - 1) < kTolerance) {
            converged = true;
            break;
        }
    }
    return elem::exp(-x + a * elem::log(x) - g) * h;
}

// Near x = a with a large, neither the series nor the fraction reaches its
// stop within kMaxIterations (the series needs about sqrt(30 a) terms). There
// P(a, x) comes from the uniform asymptotic expansion in η, where
// η²/2 = λ − 1 − ln λ and λ = x/a:
//   Q(a, x) = erfc(η sqrt(a/2))/2 + exp(−a η²/2)/sqrt(2π a) (c0(η) + c1(η)/a),
// P = 1 − Q formed on the side that keeps the small one accurate. The next
// term is below 1e-3/a², far under the tolerance for the a that get here.
double gamma_uniform(double a, double x) {
    const double d = (x - a) / a;  // λ − 1
    // λ − 1 − ln λ, by its series where the difference would cancel.
    double half_eta2 = 0;
    if (std::fabs(d) < 1e-3) {
        half_eta2 = d * d * (0.5 + d * (-1.0 / 3 + d * (0.25 + d * (-0.2 + d / 6))));
    } else {
        half_eta2 = d - elem::log1p(d);
    }
    const double eta = (d < 0 ? -1.0 : 1.0) * std::sqrt(2 * half_eta2);
    double c0 = 0;
    double c1 = 0;
    if (std::fabs(d) < 1e-2) {
        c0 = -1.0 / 3 + eta * (1.0 / 12 + eta * (-2.0 / 135 + eta * (1.0 / 864 + eta / 2835)));
        c1 = -1.0 / 540 + eta * (-1.0 / 288 + eta / 378);
    } else {
        c0 = 1 / d - 1 / eta;
        c1 = 1 / (eta * eta * eta) - 1 / (d * d * d) - 1 / (d * d) - 1 / (12 * d);
    }
    const double r = elem::exp(-a * half_eta2) / std::sqrt(2 * kPi * a) * (c0 + c1 / a);
    const double s = eta * std::sqrt(a / 2);
    if (eta < 0) return 0.5 * elem::erfc(-s) - r;  // P small: formed directly
    return 1 - (0.5 * elem::erfc(s) + r);
}

}  // namespace

double incomplete_gamma_series(double a, double x, double& log_gamma_a) {
    log_gamma_a = log_gamma(a);
    bool converged = false;
    return gamma_series(a, x, log_gamma_a, converged);
}

double incomplete_gamma_fraction(double a, double x, double& log_gamma_a) {
    log_gamma_a = log_gamma(a);
    bool converged = false;
    return gamma_fraction(a, x, log_gamma_a, converged);
}

double incomplete_gamma(double a, double x) {
    if (x == 0) return 0;
    return incomplete_gamma_given(a, x, log_gamma(a));
}

double incomplete_gamma_given(double a, double x, double log_gamma_a) {
    if (x == 0) return 0;
    if (x == std::numeric_limits<double>::infinity()) return 1;  // the limit, where the fraction has none
    bool converged = false;
    if (x < a + 1) {
        const double p = gamma_series(a, x, log_gamma_a, converged);
        return converged ? p : gamma_uniform(a, x);
    }
    const double q = gamma_fraction(a, x, log_gamma_a, converged);
    return converged ? 1 - q : gamma_uniform(a, x);
}

double normal_integral(double z) {
    // ln Γ(1/2) as log_gamma gives it, worked out once rather than on every call.
    static const double log_gamma_half = log_gamma(0.5);
    double v = incomplete_gamma_given(0.5, z * z / 2, log_gamma_half);
    if (z < 0) v = -v;
    return (v + 1) * 0.5;
}

double beta_function(double a, double b) {
    return elem::exp(log_gamma(a) + log_gamma(b) - log_gamma(a + b));
}

double factorial(double x) {
    if (x > kFactorialSwitch) return elem::exp(log_gamma(x + 1));
    double r = 1;
    for (int i = 2; i <= x; ++i) r = r * i;
    return r;
}

double binomial_coefficient(double n, double k) {
    return factorial(n) / factorial(n - k) / factorial(k);
}

}  // namespace kvz
