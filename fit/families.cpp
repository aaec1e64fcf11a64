// Starting values, closed-form maxima and fast log-likelihoods of the fitted
// families, each written in the parameters the slot takes. The
// log-likelihoods drop every term free of the parameters: the search compares
// them, and the reported value comes from the library's own density.
#include <cmath>
#include <limits>

#include "fit/family.h"
#include "interface/catalogue.h"
#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {

constexpr double kEulerGamma = 0.5772156649015329;

double sample_stdev(const Sample& s) { return std::sqrt(s.m2 / s.n); }
double sum_of_squares(const Sample& s) { return s.m2 + s.n * (s.mean * s.mean); }

double median(const Sample& s) {
    const int h = s.n / 2;
    return s.n % 2 ? s.x[h] : (s.x[h - 1] + s.x[h]) / 2;
}

// Sum over the data of term(x), for the families without sufficient statistics.
template <class Term>
double sum_over(const Sample& s, Term term) {
    double sum = 0;
    for (int i = 0; i < s.n; ++i) sum += term(s.x[i]);
    return sum;
}

void no_start(const Sample&, double*) {}
double constant_loglik(const Sample&, const double*) { return 0; }

// --- triangular: the mode at the data point of greatest likelihood, found in
// one pass with running sums of ln(x - lo) below it and ln(hi - x) above it.
void triangular_start(const Sample& s, double* th) {
    const double above_all = sum_over(s, [&](double x) { return elem::log(s.hi - x); });
    double below = 0, above = above_all, best = -std::numeric_limits<double>::infinity();
    th[0] = s.x[0];
    for (int k = 0; k < s.n; ++k) {
        const double c = s.x[k];
        above -= elem::log(s.hi - c);
        const double v = below - k * elem::log(c - s.lo) + above - (s.n - 1 - k) * elem::log(s.hi - c);
        if (v > best) {
            best = v;
            th[0] = c;
        }
        below += elem::log(c - s.lo);
    }
}
double triangular_loglik(const Sample& s, const double* th) {
    const double c = th[0];
    return sum_over(s, [&](double x) {
        if (x < c) return elem::log((x - s.lo) / (c - s.lo));
        if (x > c) return elem::log((s.hi - x) / (s.hi - c));
        return 0.0;
    });
}

// --- normal, lognormal: mean and standard deviation (of the logarithm).
void normal_start(const Sample& s, double* th) {
    th[0] = s.mean;
    th[1] = sample_stdev(s);
}
double normal_loglik(const Sample& s, const double* th) {
    const double d = s.mean - th[0];
    return -s.n * elem::log(th[1]) - (s.m2 + s.n * (d * d)) / (2 * (th[1] * th[1]));
}
void lognormal_start(const Sample& s, double* th) {
    th[0] = s.sum_log / s.n;
    th[1] = std::sqrt(s.m2_log / s.n);
}
double lognormal_loglik(const Sample& s, const double* th) {
    const double d = s.sum_log / s.n - th[0];
    return -s.n * elem::log(th[1]) - (s.m2_log + s.n * (d * d)) / (2 * (th[1] * th[1]));
}

// --- the mean alone: Poisson, exponential, and the normal approximation to the Poisson.
void mean_start(const Sample& s, double* th) { th[0] = s.mean; }
double poisson_loglik(const Sample& s, const double* th) {
    return s.n * (s.mean * elem::log(th[0]) - th[0]);
}
double exponential_loglik(const Sample& s, const double* th) {
    return -s.n * (elem::log(th[0]) + s.mean / th[0]);
}

// --- geometric (failures before the first success) and binomial: p.
void geometric_start(const Sample& s, double* th) { th[0] = 1 / (1 + s.mean); }
double geometric_loglik(const Sample& s, const double* th) {
    return s.n * (elem::log(th[0]) + s.mean * elem::log1p(-th[0]));
}
void binomial_start(const Sample& s, double* th) { th[0] = s.mean / s.trials; }
double binomial_loglik(const Sample& s, const double* th) {
    return s.n * (s.mean * elem::log(th[0]) + (s.trials - s.mean) * elem::log1p(-th[0]));
}

// --- Pareto: the tail index above the lower bound lo.
void pareto_start(const Sample& s, double* th) { th[0] = s.n / (s.sum_log - s.n * elem::log(s.lo)); }
double pareto_loglik(const Sample& s, const double* th) {
    const double a = th[0];
    return s.n * (elem::log(a) + a * elem::log(s.lo)) - (a + 1) * s.sum_log;
}

// --- beta between the ends: shapes from the moments of u.
void beta_start(const Sample& s, double* th) {
    const double width = s.hi - s.lo;
    const double m = (s.mean - s.lo) / width;
    const double v = s.m2 / s.n / (width * width);
    const double common = m * (1 - m) / v - 1;
    th[0] = common > 0 ? m * common : 1;
    th[1] = common > 0 ? (1 - m) * common : 1;
}
double beta_loglik(const Sample& s, const double* th) {
    const double a = th[0], b = th[1];
    return (a - 1) * s.sum_log_u + (b - 1) * s.sum_log_1mu -
           s.n * (log_gamma(a) + log_gamma(b) - log_gamma(a + b));
}

// --- gamma (and Erlang): shape from the moments, scale the mean over the shape.
void gamma_start(const Sample& s, double* th) {
    th[0] = s.mean * s.mean / (s.m2 / s.n);
    th[1] = s.mean / th[0];
}
void gamma_profile(const Sample& s, double* th) { th[1] = s.mean / th[0]; }
double gamma_loglik_at(const Sample& s, double a, double scale) {
    return (a - 1) * s.sum_log - s.n * (s.mean / scale + a * elem::log(scale) + log_gamma(a));
}
double gamma_loglik(const Sample& s, const double* th) { return gamma_loglik_at(s, th[0], th[1]); }

// --- chi-square: the slot's shape is half the degrees of freedom, the scale 2.
void chi_square_start(const Sample& s, double* th) { th[0] = s.mean / 2; }
double chi_square_loglik(const Sample& s, const double* th) { return gamma_loglik_at(s, th[0], 2.0); }

// --- Cauchy: median and half the interquartile range.
void cauchy_start(const Sample& s, double* th) {
    th[0] = median(s);
    th[1] = (s.x[(3 * s.n) / 4] - s.x[s.n / 4]) / 2;
    if (!(th[1] > 0)) th[1] = sample_stdev(s);
}
double cauchy_loglik(const Sample& s, const double* th) {
    return -s.n * elem::log(th[1]) - sum_over(s, [&](double x) {
               const double z = (x - th[0]) / th[1];
               return elem::log1p(z * z);
           });
}

// --- exponential power: location, shape, and the scale that maximises the
// likelihood for them, s^b = b sum |x - mean|^b / 2n with b = 2 / shape.
void exp_power_profile(const Sample& s, double* th) {
    const double b = 2 / th[1];
    const double sum = sum_over(s, [&](double x) { return elem::pow(std::fabs(x - th[0]), b); });
    th[2] = elem::pow(b * sum / (2 * s.n), 1 / b);
}
void exp_power_start(const Sample& s, double* th) {
    th[0] = s.mean;
    th[1] = 1;
    exp_power_profile(s, th);
}
double exp_power_loglik(const Sample& s, const double* th) {
    const double a = th[1], scale = th[2], b = 2 / a;
    const double kernel = sum_over(s, [&](double x) { return elem::pow(std::fabs(x - th[0]) / scale, b); });
    return -kernel / 2 - s.n * (elem::log(scale) + (a / 2 + 1) * elem::log(2.0) + log_gamma(a / 2 + 1));
}

// --- Gumbel: scale from the variance, then the location that maximises the
// likelihood for it, mode = -scale ln(mean of e^(-x / scale)) (taken from the
// smallest value, so that no term overflows).
void gumbel_profile(const Sample& s, double* th) {
    const double b = th[0];
    const double sum = sum_over(s, [&](double x) { return elem::exp(-(x - s.first) / b); });
    th[1] = s.first - b * elem::log(sum / s.n);
}
void gumbel_start(const Sample& s, double* th) {
    th[0] = std::sqrt(6.0) * sample_stdev(s) / kPi;
    th[1] = s.mean - kEulerGamma * th[0];
}
double gumbel_loglik(const Sample& s, const double* th) {
    const double b = th[0];
    return -s.n * elem::log(b) - sum_over(s, [&](double x) {
               const double z = (x - th[1]) / b;
               return z + elem::exp(-z);
           });
}

// --- Weibull above its minimum lo: shape from the spread of ln(x - lo), the
// scale that maximises the likelihood for it, (mean of (x - lo)^a)^(1/a).
void weibull_profile(const Sample& s, double* th) {
    const double a = th[0];
    // Powers of y over the largest y: no overflow for large shapes.
    const double top = s.last - s.lo;
    const double sum = sum_over(s, [&](double x) { return elem::pow((x - s.lo) / top, a); });
    th[1] = top * elem::pow(sum / s.n, 1 / a);
}
void weibull_start(const Sample& s, double* th) {
    th[0] = kPi / std::sqrt(6 * s.m2_log / s.n);
    weibull_profile(s, th);
}
double weibull_loglik(const Sample& s, const double* th) {
    const double a = th[0], scale = th[1];
    return s.n * (elem::log(a) - a * elem::log(scale)) + (a - 1) * s.sum_log -
           sum_over(s, [&](double x) { return elem::pow((x - s.lo) / scale, a); });
}

// --- Laplace: the median and the mean distance from it.
void laplace_start(const Sample& s, double* th) {
    th[0] = median(s);
    th[1] = sum_over(s, [&](double x) { return std::fabs(x - th[0]); }) / s.n;
}
double laplace_loglik(const Sample& s, const double* th) {
    return -s.n * elem::log(th[1]) - sum_over(s, [&](double x) { return std::fabs(x - th[0]); }) / th[1];
}

// --- logarithmic series: the shape from the mean, roughly; the search finishes it.
void log_series_start(const Sample& s, double* th) { th[0] = std::fmin(2 * (s.mean - 1), 1 - 1 / (s.mean + 1)); }
double log_series_loglik(const Sample& s, const double* th) {
    return s.n * (s.mean * elem::log(th[0]) - elem::log(-elem::log1p(-th[0])));
}

// --- logistic by its mean and standard deviation.
double logistic_loglik(const Sample& s, const double* th) {
    const double sc = std::sqrt(3.0) * th[1] / kPi;
    return -s.n * elem::log(sc) - sum_over(s, [&](double x) {
               const double z = std::fabs(x - th[0]) / sc;
               return z + 2 * elem::log1p(elem::exp(-z));
           });
}

// --- power function between the ends.
void power_start(const Sample& s, double* th) { th[0] = -s.n / s.sum_log_u; }
double power_loglik(const Sample& s, const double* th) {
    return s.n * elem::log(th[0]) + (th[0] - 1) * s.sum_log_u;
}

// --- Rayleigh: the scale from the mean square.
void rayleigh_start(const Sample& s, double* th) { th[0] = std::sqrt(sum_of_squares(s) / (2 * s.n)); }
double rayleigh_loglik(const Sample& s, const double* th) {
    return -2 * s.n * elem::log(th[0]) - sum_of_squares(s) / (2 * (th[0] * th[0]));
}

// --- inverse Gaussian (mean, shape) and the Wald (mean 1, shape).
// sum (x - m)^2 / x = n mean - 2 n m + m^2 sum 1/x.
double inverse_gaussian_loglik_at(const Sample& s, double m, double shape) {
    const double spread = s.n * s.mean - 2 * s.n * m + m * m * s.sum_inverse;
    return s.n / 2.0 * elem::log(shape) - shape * spread / (2 * (m * m));
}
void inverse_gaussian_start(const Sample& s, double* th) {
    th[0] = s.mean;
    th[1] = s.n / (s.sum_inverse - s.n / s.mean);
}
double inverse_gaussian_loglik(const Sample& s, const double* th) {
    return inverse_gaussian_loglik_at(s, th[0], th[1]);
}
void wald_start(const Sample& s, double* th) { th[0] = s.n / (s.n * s.mean - 2 * s.n + s.sum_inverse); }
double wald_loglik(const Sample& s, const double* th) { return inverse_gaussian_loglik_at(s, 1.0, th[0]); }

// --- Student t (standard): degrees of freedom from the kurtosis.
void student_start(const Sample& s, double* th) {
    const double m4 = sum_over(s, [&](double x) { return elem::pow(x - s.mean, 4); }) / s.n;
    const double v = s.m2 / s.n;
    const double excess = m4 / (v * v) - 3;
    th[0] = excess > 0 ? 4 + 6 / excess : 30;
}
double student_loglik(const Sample& s, const double* th) {
    const double nu = th[0];
    return s.n * (log_gamma((nu + 1) / 2) - log_gamma(nu / 2) - elem::log(kPi * nu) / 2) -
           (nu + 1) / 2 * sum_over(s, [&](double x) { return elem::log1p(x * x / nu); });
}

// --- F: the denominator's degrees of freedom from the mean, the numerator's
// from the variance, where those moments exist.
void fisher_start(const Sample& s, double* th) {
    const double m = s.mean;
    const double d2 = m > 1 ? 2 * m / (m - 1) : 10;
    const double v = s.m2 / s.n;
    const double c = d2 > 4 ? 2 * d2 * d2 / ((d2 - 2) * (d2 - 2) * (d2 - 4)) : 0;
    th[0] = (c > 0 && v > c) ? c * (d2 - 2) / (v - c) : 5;
    th[1] = d2;
}
double fisher_loglik(const Sample& s, const double* th) {
    const double d1 = th[0], d2 = th[1];
    return s.n * (log_gamma((d1 + d2) / 2) - log_gamma(d1 / 2) - log_gamma(d2 / 2) + d1 / 2 * elem::log(d1 / d2)) +
           (d1 / 2 - 1) * s.sum_log -
           (d1 + d2) / 2 * sum_over(s, [&](double x) { return elem::log1p(d1 * x / d2); });
}

constexpr Param kMean{&DistSlot::mean, Axis::line};
constexpr Param kMeanPositive{&DistSlot::mean, Axis::positive};
constexpr Param kStdev{&DistSlot::stdev, Axis::positive};
constexpr Param kScale{&DistSlot::scale, Axis::positive};
constexpr Param kShapeA{&DistSlot::shape_a, Axis::positive};
constexpr Param kShapeB{&DistSlot::shape_b, Axis::positive};
constexpr Param kP{&DistSlot::p, Axis::unit};

constexpr Family kFamilies[] = {
    {kUniform, 0, {}, no_start, true, 0, nullptr, constant_loglik, false},
    {kTriangular, 1, {{&DistSlot::mode, Axis::line}}, triangular_start, true, 0, nullptr, triangular_loglik, false},
    {kNormal, 2, {kMean, kStdev}, normal_start, true, 0, nullptr, normal_loglik, false},
    {kPoisson, 1, {kMeanPositive}, mean_start, true, 0, nullptr, poisson_loglik, false},
    {kGeometric, 1, {kP}, geometric_start, true, 0, nullptr, geometric_loglik, false},
    {kExponential, 1, {kMeanPositive}, mean_start, true, 0, nullptr, exponential_loglik, false},
    {kBinomial, 1, {kP}, binomial_start, true, 0, nullptr, binomial_loglik, false},
    {kPareto, 1, {kShapeA}, pareto_start, true, 0, nullptr, pareto_loglik, false},
    {kBeta, 2, {kShapeA, kShapeB}, beta_start, false, 0, nullptr, beta_loglik, false},
    {kGamma, 2, {kShapeA, kScale}, gamma_start, false, 1, gamma_profile, gamma_loglik, false},
    {kCauchy, 2, {kMean, kScale}, cauchy_start, false, 0, nullptr, cauchy_loglik, false},
    {kExpPower, 3, {kMean, kShapeA, kScale}, exp_power_start, false, 1, exp_power_profile, exp_power_loglik, false},
    {kGumbel, 2, {kScale, {&DistSlot::mode, Axis::line}}, gumbel_start, false, 1, gumbel_profile, gumbel_loglik, false},
    {kWeibull, 2, {kShapeA, kScale}, weibull_start, false, 1, weibull_profile, weibull_loglik, false},
    {kWald, 1, {kScale}, wald_start, true, 0, nullptr, wald_loglik, false},
    {kLaplace, 2, {kMean, kScale}, laplace_start, true, 0, nullptr, laplace_loglik, false},
    {kLogSeries, 1, {{&DistSlot::shape_a, Axis::unit}}, log_series_start, false, 0, nullptr, log_series_loglik, false},
    {kLogistic, 2, {kMean, kStdev}, normal_start, false, 0, nullptr, logistic_loglik, false},
    {kLognormal, 2, {{&DistSlot::lmean, Axis::line}, {&DistSlot::lstdev, Axis::positive}}, lognormal_start, true, 0,
     nullptr, lognormal_loglik, false},
    {kErlang, 2, {kShapeA, kScale}, gamma_start, false, 1, gamma_profile, gamma_loglik, true},
    {kChiSquare, 1, {kShapeA}, chi_square_start, false, 0, nullptr, chi_square_loglik, false},
    {kPowerFunction, 1, {kShapeA}, power_start, true, 0, nullptr, power_loglik, false},
    {kRayleigh, 1, {kScale}, rayleigh_start, true, 0, nullptr, rayleigh_loglik, false},
    {kDiscreteUniform, 0, {}, no_start, true, 0, nullptr, constant_loglik, false},
    {kInverseGaussian, 2, {kMeanPositive, kScale}, inverse_gaussian_start, true, 0, nullptr, inverse_gaussian_loglik,
     false},
    {kNormalBinomial, 1, {kP}, binomial_start, false, 0, nullptr, nullptr, false},
    {kNormalPoisson, 1, {kMeanPositive}, mean_start, false, 0, nullptr, nullptr, false},
    {kStudentT, 1, {kShapeA}, student_start, false, 0, nullptr, student_loglik, false},
    {kFisherF, 2, {kShapeA, kShapeB}, fisher_start, false, 0, nullptr, fisher_loglik, false},
};

}  // namespace

const Family* family_of(int base) {
    for (const Family& f : kFamilies)
        if (f.dtype == base) return &f;
    return nullptr;
}

}  // namespace kvz
