// Cumulative distribution of an initialised slot: closed forms, the special
// functions, sums of the probability mass and, for the exponential power
// type, the integral of the density.
#include <bit>
#include <cmath>
#include <cstdint>

#include "eval/eval.h"
#include "eval/rules.h"
#include "interface/catalogue.h"
#include "special/special.h"

namespace kvz {

namespace {

constexpr double kPi = 3.141592653589793;

// Sum of the masses at the whole numbers from `start` up to x, within the
// slot's support, divided by t_factor once. It begins at the first mass that
// has not underflowed to zero. Past the mode the masses fall; once one of them
// no longer changes the sum, no later (smaller) one can, so the sum stops
// there with the value the endless sum would reach. After kMaxMassTerms masses
// (parameters whose masses stay tiny and flat, such as a geometric p of
// 1e-300) the partial sum is returned: a lower bound.
double mass_sum(const DistSlot& s, double start, double x) {
    const Support support = discrete_support(s);
    const double last = support.last < x ? support.last : x;
    const double first = skip_zero_masses(s, support.first > start ? support.first : start, last);
    const bool zero_ends = zero_mass_ends_tail(s);
    double sum = 0;
    double previous = 0;
    double terms = 0;
    for (double i = first; i <= last && terms < kMaxMassTerms; i = i + 1, terms = terms + 1) {
        const double term = density(s, i);
        if (terms > 0 && term < previous && sum + term == sum) break;
        // Two zero masses in a row after the skipped ones: the masses are
        // falling (or all zero, as with a geometric p of 0) and none follows.
        if (zero_ends && terms > 0 && term == 0 && previous == 0) break;
        if (std::isnan(sum)) break;  // nothing later can change it
        sum = sum + term;
        previous = term;
    }
    return untruncated_total(s, sum);
}

double clamp_unit(double v) {
    if (v < 0) return 0;
    if (v > 1) return 1;
    return v;
}

double triangular_cumulative(const DistSlot& s, double x) {
    if (x <= s.minimum) return 0;
    if (x >= s.maximum) return 1;
    if (x == s.mode) return (s.mode - s.minimum) / (s.maximum - s.minimum);
    if (x < s.mode)
        return (x - s.minimum) * (x - s.minimum) / (s.maximum - s.minimum) / (s.mode - s.minimum);
    return 1 - (s.maximum - x) * (s.maximum - x) / (s.maximum - s.minimum) / (s.maximum - s.mode);
}

// The exponential power type is symmetric about `mean`: half the mass lies on
// each side, the rest is the integral of the density from the centre.
double exp_power_cumulative(const DistSlot& s, double x) {
    if (x == s.mean) return 0.5;
    if (x > s.mean) return 0.5 + untruncated_total(s, integrate_density(s, s.mean, x));
    return 0.5 - untruncated_total(s, integrate_density(s, x, s.mean));
}

// ln Γ(a) stored in the slot when it belongs to its shape (the same bits),
// else worked out here.
double stored_gamma_log(const DistSlot& s) {
    if (s.gamma_log_set &&
        std::bit_cast<std::uint64_t>(s.gamma_log_shape) == std::bit_cast<std::uint64_t>(s.shape_a)) {
        return s.gamma_log;
    }
    return log_gamma(s.shape_a);
}

// Φ(z) for z < 0 without the cancellation in 1 − P: the upper incomplete gamma
// is taken directly where its continued fraction applies.
double normal_lower_tail(double z) {
    if (!(z < 0)) return normal_integral(z);
    constexpr double kHalf = 0.5;  // Φ(z) = Q(1/2, z²/2) / 2 for z < 0
    const double w = z * z / 2;
    double log_gamma_a;
    if (w == 0) return kHalf;
    if (w < kHalf + 1) return (1 - incomplete_gamma_series(kHalf, w, log_gamma_a)) * kHalf;
    return incomplete_gamma_fraction(kHalf, w, log_gamma_a) * kHalf;
}

// Φ(s(x/μ − 1)) + exp(2λ/μ) Φ(−s(x/μ + 1)) with s = √(λ/x). The second term
// pairs a huge exponential with a tiny tail; it is formed from logarithms.
double inverse_gaussian_cumulative(const DistSlot& s, double x) {
    if (x <= 0) return 0;
    const double r = std::sqrt(s.scale / x);
    const double tail = normal_lower_tail(-r * (x / s.mean + 1));
    return normal_integral(r * (x / s.mean - 1)) + std::exp(2 * s.scale / s.mean + std::log(tail));
}

double student_t_cumulative(const DistSlot& s, double x) {
    const double a = s.shape_a;
    const double r = a / (x * x + a);
    if (x >= 0) return 1 - betai(a / 2, 0.5, r) / 2;
    return betai(a / 2, 0.5, r) / 2;
}

// The cumulative probability of the untruncated distribution of base type `base`.
double cumulative_formula(const DistSlot& s, int base, double x) {
    switch (base) {
        case kDegenerate:
            return 1;
        case kUniform:
            if (x <= s.minimum) return 0;
            if (x >= s.maximum) return 1;
            return (x - s.minimum) / s.range;
        case kTriangular:
            return triangular_cumulative(s, x);
        case kNormal:
            return normal_integral((x - s.mean) / s.stdev);
        case kExponential:
            return 1 - std::exp(-x / s.mean);
        case kBinomial:
            return clamp_unit(mass_sum(s, 0, x));
        case kPareto:
            return 1 - std::pow(s.mode / x, s.shape_a);
        case kBeta:
            if (x <= s.minimum) return 0;
            if (x >= s.maximum) return 1;
            return betai(s.shape_a, s.shape_b, (x - s.minimum) / (s.maximum - s.minimum));
        case kGamma:
            if (x <= 0) return 0;
            return incomplete_gamma_given(s.shape_a, x / s.scale, stored_gamma_log(s));
        case kCauchy:
            return std::atan((x - s.mean) / s.scale) / kPi + 0.5;
        case kExpPower:
            return exp_power_cumulative(s, x);
        case kGumbel:
            return std::exp(-std::exp(-(x - s.mode) / s.scale));
        case kWeibull:
            if (x <= s.minimum) return 0;
            return 1 - std::exp(-std::pow((x - s.minimum) / s.scale, s.shape_a));
        case kLaplace: {
            const double h = std::exp(-std::fabs(x - s.mean) / s.scale) / 2;
            return x >= s.mean ? 1 - h : h;
        }
        case kLogSeries:
            return mass_sum(s, 1, x);
        case kLogistic:
            return 1 - 1 / (1 + std::exp((x - s.mean) * kPi / std::sqrt(3.0) / s.stdev));
        case kLognormal:
            // No mass at or below 0 (the logarithm of a negative x has no value).
            if (x <= 0) return 0;
            return normal_integral((std::log(x) - s.lmean) / s.lstdev);
        case kPowerFunction:
            if (x <= s.minimum) return 0;
            if (x >= s.maximum) return 1;
            return std::pow((x - s.minimum) / s.range, s.shape_a);
        case kRayleigh:
            return 1 - std::exp(-((x / s.scale) * (x / s.scale)) / 2);
        case kDiscreteUniform:
            return (x - s.minimum + 1) / (s.maximum - s.minimum + 1);
        case kInverseGaussian:
            return inverse_gaussian_cumulative(s, x);
        case kStudentT:
            return student_t_cumulative(s, x);
        default:
            return 0;
    }
}

}  // namespace

void store_gamma_log(DistSlot& s) {
    s.gamma_log_shape = s.shape_a;
    s.gamma_log = log_gamma(s.shape_a);
    s.gamma_log_set = 1;
}

double cumulative(const DistSlot& s, double x) {
    // The normal approximation to the binomial centres each whole number's
    // unit step on it; the one to the Poisson ends the step there.
    if (s.dtype == kNormalBinomial) x = x + 0.5;
    return truncated_cumulative(s, cumulative_formula(s, kCumulativeAlias(s.dtype), x));
}

}  // namespace kvz
