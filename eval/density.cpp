// Density and probability mass of an initialised slot, and the validity test
// at the poles.
#include <cmath>

#include "eval/eval.h"
#include "eval/log_mass.h"
#include "eval/rules.h"
#include "interface/catalogue.h"
#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {

// Stands in for the infinite beta density at a pole.
constexpr double kPoleDensity = 1e9;
// Above this shape the power-function density at its upper end is reported invalid.
constexpr double kSteepPowerShape = 10;

// Where a factor of the direct product overflows (a factorial certain to
// overflow makes it unusable from the start), the mass comes from its
// logarithm by the saddle point (log_mass.h), which keeps full precision for
// parameters up to the largest the sums reach.

// mean^x e^−mean / x!, from its logarithm when a factor overflows.
double poisson_mass(double mean, double x) {
    if (x >= kFirstOverflowingFactorial) return elem::exp(log_poisson_mass(mean, x));
    const double power = elem::pow(mean, x);
    const double decay = elem::exp(-mean);
    const double fact = factorial(x);
    const double v = power * decay / fact;
    if (direct_mass_usable(v, {fact}, {power, decay})) return v;
    return elem::exp(log_poisson_mass(mean, x));
}

// C(n, x) p^x (1 − p)^(n − x), from its logarithm when a factor overflows.
double binomial_mass(double n, double p, double x) {
    if (n >= kFirstOverflowingFactorial) return elem::exp(log_binomial_mass(n, p, x));
    const double coefficient = binomial_coefficient(n, x);
    const double success = elem::pow(p, x);
    const double failure = elem::pow(1 - p, n - x);
    const double v = coefficient * success * failure;
    if (direct_mass_usable(v, {coefficient}, {success, failure})) return v;
    return elem::exp(log_binomial_mass(n, p, x));
}

// C(K, x) C(N − K, n − x) / C(N, n), from its logarithm when a coefficient overflows.
double hypergeometric_mass(double pop, double popsuc, double sam, double x) {
    if (pop >= kFirstOverflowingFactorial) return elem::exp(log_hypergeometric_mass(pop, popsuc, sam, x));
    const double drawn = binomial_coefficient(popsuc, x);
    const double rest = binomial_coefficient(pop - popsuc, sam - x);
    const double all = binomial_coefficient(pop, sam);
    const double v = drawn * rest / all;
    if (direct_mass_usable(v, {drawn, rest, all})) return v;
    return elem::exp(log_hypergeometric_mass(pop, popsuc, sam, x));
}

double triangular_density(const DistSlot& s, double x) {
    if (x == s.mode) return 2 / (s.maximum - s.minimum);
    if (x < s.mode) return 2 * (x - s.minimum) / (s.mode - s.minimum) / (s.maximum - s.minimum);
    return 2 * (s.maximum - x) / (s.maximum - s.mode) / (s.maximum - s.minimum);
}

// The normaliser and the width power underflow to 0 for large shapes (a
// finite numerator over them is no density either): their reciprocals are
// checked alongside the factors.
double beta_density(const DistSlot& s, double x) {
    const double a = s.shape_a;
    const double b = s.shape_b;
    if (a < 1 && x <= s.minimum) return kPoleDensity;
    if (b < 1 && x >= s.maximum) return kPoleDensity;
    const double lower = elem::pow(x - s.minimum, a - 1);
    const double upper = elem::pow(s.maximum - x, b - 1);
    const double width = elem::pow(s.maximum - s.minimum, a + b - 1);
    const double v = lower * upper / s.beta_norm / width;
    if (direct_mass_usable(v, {lower, upper, 1 / s.beta_norm, width, 1 / width})) return v;
    return elem::exp(log_power(x - s.minimum, a - 1) + log_power(s.maximum - x, b - 1) -
                    log_beta_function(a, b) - log_power(s.maximum - s.minimum, a + b - 1));
}

// Γ(a) is infinite above a ≈ 171.6 while the density is not; in logarithms
// the normaliser is log_gamma(a) itself.
double gamma_density(const DistSlot& s, double x) {
    const double a = s.shape_a;
    if (x == 0 && a < 1) return 0;
    const double power = elem::pow(x / s.scale, a - 1);
    const double decay = elem::exp(-x / s.scale);
    const double v = power * decay / s.scale / s.gamma_norm;
    if (direct_mass_usable(v, {power, decay, s.gamma_norm})) return v;
    return elem::exp(log_power(x / s.scale, a - 1) - x / s.scale - elem::log(s.scale) - log_gamma(a));
}

// The slot's stored factors when they belong to its shape (the same bits),
// else worked out here.
ExpPowerNorm stored_exp_power_norm(const DistSlot& s) {
    if (stored_for_shape(s, s.power_norm_set, s.power_norm_shape))
        return {s.power_norm_exponent, s.power_norm_two, s.power_norm_gamma};
    return exp_power_norm(s.shape_a);
}

// 2^(a/2 + 1) and Γ(a/2 + 1) overflow above a ≈ 341, and a tiny scale can
// still leave a density to represent.
double exp_power_density(const DistSlot& s, double x) {
    const double a = s.shape_a;
    const ExpPowerNorm norm = stored_exp_power_norm(s);
    const double power = elem::pow(std::fabs(x - s.mean) / s.scale, norm.exponent);
    const double kernel = elem::exp(-power / 2);
    const double v = kernel / s.scale / norm.two / norm.gamma;
    if (direct_mass_usable(v, {kernel, norm.two, norm.gamma})) return v;
    return elem::exp(-power / 2 - elem::log(s.scale) - log_power(2.0, a / 2 + 1) -
                    log_gamma(a / 2 + 1));
}

// (x − minimum)^(a − 1) and scale^a overflow together for large shapes.
double weibull_density(const DistSlot& s, double x) {
    const double a = s.shape_a;
    if (x == s.minimum) return 0;
    const double decay = elem::exp(-elem::pow((x - s.minimum) / s.scale, a));
    const double power = elem::pow(x - s.minimum, a - 1);
    const double scale = elem::pow(s.scale, a);
    const double v = decay * power / scale * a;
    if (direct_mass_usable(v, {decay, power, scale})) return v;
    return elem::exp(-elem::pow((x - s.minimum) / s.scale, a) + log_power(x - s.minimum, a - 1) -
                    log_power(s.scale, a) + elem::log(a));
}

// mode^a and x^(a + 1) overflow together for large shapes.
double pareto_density(const DistSlot& s, double x) {
    const double a = s.shape_a;
    const double bound = elem::pow(s.mode, a);
    const double power = elem::pow(x, a + 1);
    const double v = bound * a / power;
    if (direct_mass_usable(v, {bound, power})) return v;
    return elem::exp(log_power(s.mode, a) + elem::log(a) - log_power(x, a + 1));
}

// (x − minimum)^(a − 1) and range^a overflow together for large shapes.
double power_function_density(const DistSlot& s, double x) {
    const double a = s.shape_a;
    const double power = elem::pow(x - s.minimum, a - 1);
    const double width = elem::pow(s.range, a);
    const double v = power * a / width;
    if (direct_mass_usable(v, {power, width})) return v;
    return elem::exp(log_power(x - s.minimum, a - 1) + elem::log(a) - log_power(s.range, a));
}

double logistic_density(const DistSlot& s, double x) {
    const double sc = std::sqrt(3.0) * s.stdev / kPi;
    const double z = elem::exp((x - s.mean) / sc);
    return z / ((z + 1) * (z + 1)) / sc;
}

// The logarithm of a negative x has no value: no mass lies below 0.
double lognormal_density(const DistSlot& s, double x) {
    if (x <= 0) return 0;
    const double d = s.lmean - elem::log(x);
    return elem::exp(-(d * d) / (2 * (s.lstdev * s.lstdev))) /
           (std::sqrt(2 * kPi) * x * s.lstdev);
}

// Likewise the root of (λ / 2π) / x³ below 0.
double inverse_gaussian_density(const DistSlot& s, double x) {
    if (x <= 0) return 0;
    const double d = x - s.mean;
    return std::sqrt((s.scale / 2 / kPi) / (x * x * x)) *
           elem::exp(-s.scale * (d * d) / 2 / (s.mean * s.mean) / x);
}

// Γ((ν + 1) / 2) and Γ(ν / 2) overflow together for large ν; in logarithms
// only their difference is needed.
double student_t_density(const DistSlot& s, double x) {
    const double nu = s.shape_a;
    const double upper = elem::exp(log_gamma((nu + 1) / 2));
    const double root = std::sqrt(kPi * nu);
    const double lower = elem::exp(log_gamma(nu / 2));
    const double tail = elem::pow(1 + x * x / nu, (nu + 1) / 2);
    const double v = upper / root / lower / tail;
    if (direct_mass_usable(v, {upper, root, lower, tail})) return v;
    return elem::exp(log_gamma((nu + 1) / 2) - log_gamma(nu / 2) - elem::log(root) -
                    log_power(1 + x * x / nu, (nu + 1) / 2));
}

// Likewise the three gamma values and the powers of large degrees of freedom.
double fisher_f_density(const DistSlot& s, double x) {
    const double d1 = s.shape_a;
    const double d2 = s.shape_b;
    const double whole = elem::exp(log_gamma((d1 + d2) / 2));
    const double ratio = elem::pow(d1 / d2, d1 / 2);
    const double power = elem::pow(x, (d1 - 2) / 2);
    const double first = elem::exp(log_gamma(d1 / 2));
    const double second = elem::exp(log_gamma(d2 / 2));
    const double tail = elem::pow(1 + x * d1 / d2, (d1 + d2) / 2);
    const double v = whole * ratio * power / first / second / tail;
    if (direct_mass_usable(v, {whole, ratio, power, first, second, tail})) return v;
    return elem::exp(log_gamma((d1 + d2) / 2) + log_power(d1 / d2, d1 / 2) +
                    log_power(x, (d1 - 2) / 2) - log_gamma(d1 / 2) - log_gamma(d2 / 2) -
                    log_power(1 + x * d1 / d2, (d1 + d2) / 2));
}

// The density of the untruncated distribution of base type `base`.
double density_formula(const DistSlot& s, int base, double x) {
    switch (base) {
        case kDegenerate:
            return 1;
        case kUniform:
            return 1 / s.range;
        case kTriangular:
            return triangular_density(s, x);
        case kNormal: {
            const double d = s.mean - x;
            return elem::exp(-(d * d) / (2 * (s.stdev * s.stdev))) / (std::sqrt(2 * kPi) * s.stdev);
        }
        case kPoisson:
            return poisson_mass(s.mean, x);
        case kGeometric:
            return elem::pow(1 - s.p, x) * s.p;
        case kExponential:
            return elem::exp(-x / s.mean) * (1 / s.mean);
        case kBinomial:
            return binomial_mass(s.n, s.p, x);
        case kPareto:
            return pareto_density(s, x);
        case kBeta:
            return beta_density(s, x);
        case kGamma:
            return gamma_density(s, x);
        case kCauchy: {
            const double z = (x - s.mean) / s.scale;
            return (1 / kPi) / ((z * z + 1) * s.scale);
        }
        case kExpPower:
            return exp_power_density(s, x);
        case kGumbel: {
            const double z = (x - s.mode) / s.scale;
            return elem::exp(-elem::exp(-z)) * elem::exp(-z) / s.scale;
        }
        case kWeibull:
            return weibull_density(s, x);
        case kHypergeometric:
            return hypergeometric_mass(s.pop, s.popsuc, s.sam, x);
        case kLaplace:
            return elem::exp(-std::fabs(x - s.mean) / s.scale) / 2 / s.scale;
        case kLogSeries:
            return elem::pow(s.shape_a, x) * (-1) / x / log_one_minus(s.shape_a);
        case kLogistic:
            return logistic_density(s, x);
        case kLognormal:
            return lognormal_density(s, x);
        case kPowerFunction:
            return power_function_density(s, x);
        case kRayleigh:
            if (x == 0) return 0;
            return x * elem::exp(-((x / s.scale) * (x / s.scale)) / 2) / (s.scale * s.scale);
        case kDiscreteUniform:
            return 1 / (s.maximum - s.minimum + 1);
        case kInverseGaussian:
            return inverse_gaussian_density(s, x);
        case kStudentT:
            return student_t_density(s, x);
        case kFisherF:
            return fisher_f_density(s, x);
        default:
            return 0;
    }
}

// The rescaled density at an x inside the support.
double density_inside(const DistSlot& s, double x) {
    if (off_the_whole_numbers(s, x)) return 0;
    const int base = kDensityAlias(s.dtype);
    // A difference of two truncated cumulative values is already rescaled.
    if (base == kNormalBinomial) return interval_mass(s, x);
    return truncated_density(s, x, density_formula(s, base, x));
}

}  // namespace

ExpPowerNorm exp_power_norm(double a) {
    return {2 / a, elem::pow(2.0, a / 2 + 1), elem::exp(log_gamma(a / 2 + 1))};
}

void store_exp_power_norm(DistSlot& s) {
    const ExpPowerNorm norm = exp_power_norm(s.shape_a);
    s.power_norm_shape = s.shape_a;
    s.power_norm_exponent = norm.exponent;
    s.power_norm_two = norm.two;
    s.power_norm_gamma = norm.gamma;
    s.power_norm_set = 1;
}

double density(const DistSlot& s, double x) {
    return place_of(s, x) == Place::inside ? density_inside(s, x) : 0;
}

double density_across_cut(const DistSlot& s, double x) {
    return place_in_support(s, x) == Place::inside ? density_inside(s, x) : 0;
}

int density_valid(const DistSlot& s, double x) {
    // No mass lies outside the support and the cut: no pole either.
    if (place_of(s, x) != Place::inside) return 1;
    const double a = s.shape_a;
    const bool lower_pole = x <= s.minimum && a < 1;
    bool pole = false;
    switch (kValidAlias(s.dtype)) {
        case kBeta:
            pole = lower_pole || (x >= s.maximum && s.shape_b < 1);
            break;
        case kGamma:
        case kWeibull:
            pole = lower_pole;
            break;
        case kPowerFunction:
            pole = lower_pole || (x >= s.maximum && a > kSteepPowerShape);
            break;
        default:
            break;
    }
    return (pole || !std::isfinite(density(s, x))) ? 0 : 1;
}

}  // namespace kvz
