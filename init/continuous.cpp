// Type routines of the continuous base types. Working values are stored in
// the order the quantiles need them: every field inverse() reads (the bounds
// its flags say exist, the working mean and stdev) is in place before the
// first quantile is taken.
#include <cmath>

#include "eval/eval.h"
#include "init/routines.h"
#include "interface/catalogue.h"
#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {


double gamma_of(double x) { return elem::exp(log_gamma(x)); }

// Symmetric unbounded types: the upper quantile and its mirror about the centre.
void mirror_bounds(DistSlot& s) {
    s.maximum = inverse(s, kRangeHighProbability);
    s.minimum = 2 * s.mean - s.maximum;
}

// The statistics every symmetric type shares: centre as mean, mode and median.
void centre_statistics(DistSlot& s) {
    s.dmean = s.mean;
    s.dmode = s.mean;
    s.dmedian = s.mean;
}

// --- 2 uniform ---
void uniform_working(DistSlot& s) { s.range = s.maximum - s.minimum; }
void uniform_statistics(DistSlot& s) {
    s.dmean = (s.minimum + s.maximum) / 2;
    s.dmedian = s.dmean;
    s.dmode = s.dmean;  // stored although the mode does not exist
    s.dvariance = s.range * s.range / 12;
    s.dstdev = std::sqrt(s.dvariance);
    s.dskewness = 0;
    s.dkurtosis = 1.8;
}

// --- 3 triangular ---
void triangular_working(DistSlot& s) { s.range = s.maximum - s.minimum; }
void triangular_statistics(DistSlot& s) {
    const double lo = s.minimum, mo = s.mode, hi = s.maximum;
    const double z = 2 * (mo - lo) / s.range - 1;  // shape: -1 (mode at minimum) .. 1
    s.dmean = (lo + mo + hi) / 3;
    s.dmode = mo;
    s.dmedian = inverse(s, kMedianProbability);
    s.dvariance = (lo * lo + mo * mo + hi * hi - lo * hi - lo * mo - hi * mo) / 18;
    s.dstdev = std::sqrt(s.dvariance);
    s.dskewness = 2 * std::sqrt(2.0) * z * (z * z - 9) / elem::pow(z * z + 3, 1.5) / 5;
    s.dkurtosis = 2.4;
}

// --- 4 normal ---
void normal_working(DistSlot& s) { mirror_bounds(s); }
void normal_statistics(DistSlot& s) {
    centre_statistics(s);
    s.dvariance = s.stdev * s.stdev;
    s.dstdev = s.stdev;
    s.dskewness = 0;
    s.dkurtosis = 3;
}

// --- 8 exponential ---
void exponential_working(DistSlot& s) {
    s.variance = s.mean * s.mean;
    s.stdev = s.mean;
    s.minimum = 0;
    s.maximum = inverse(s, kRangeHighProbability);
}
void exponential_statistics(DistSlot& s) {
    s.dmean = s.mean;
    s.dmode = 0;
    s.dmedian = inverse(s, kMedianProbability);
    s.dvariance = s.variance;
    s.dstdev = s.stdev;
    s.dskewness = 2;
    s.dkurtosis = 9;
}

// --- 10 Pareto ---
// The median comes from the closed-form quantile mode × (1/2)^(-1/a), the
// value the untruncated inverse gives; with a cut the inverse would bisect
// from `minimum`, so `minimum` is set to the lower bound before anything else.
void pareto_working(DistSlot& s) {
    const double a = s.shape_a;
    s.minimum = s.mode;
    s.median = s.mode * elem::pow(1 - kMedianProbability, -1 / a);
    if (a > 1) {
        s.avg_exists = 1;
        s.mean = a * s.mode / (a - 1);
    } else {
        s.avg_exists = 0;
        s.mean = s.median;  // working centre only
    }
    if (a > 2) {
        s.var_exists = 1;
        s.variance = s.mode * s.mode * a / ((a - 1) * (a - 1) * (a - 2));
        s.stdev = std::sqrt(s.variance);
    } else {
        s.var_exists = 0;
        s.stdev = s.median;  // working spread only
    }
    s.maximum = inverse(s, kRangeHighProbability);
}
void pareto_statistics(DistSlot& s) {
    const double a = s.shape_a;
    if (s.avg_exists) s.dmean = s.mean;
    s.dmode = s.mode;
    s.dmedian = s.median;
    if (s.var_exists) {
        s.dvariance = s.variance;
        s.dstdev = s.stdev;
    }
    if (a > 3) {
        s.skw_exists = 1;
        s.dskewness = 2 * (a + 1) * std::sqrt((a - 2) / a) / (a - 3);
    } else {
        s.skw_exists = 0;
    }
    if (a > 4) {
        s.krt_exists = 1;
        s.dkurtosis = 3 * (a - 2) * (3 * (a * a) + a + 2) / (a * (a - 3) * (a - 4));
    } else {
        s.krt_exists = 0;
    }
}

// --- 11 beta on [minimum, maximum] ---
void beta_working(DistSlot& s) {
    const double a = s.shape_a, b = s.shape_b;
    const double width = s.maximum - s.minimum;
    s.beta_norm = beta_function(a, b);
    s.mean = width * a / (a + b) + s.minimum;
    s.variance = width * width * a * b / ((a + b) * (a + b) * (a + b + 1));
    s.stdev = std::sqrt(s.variance);
}
// The first rule that applies; the comparisons with 1 are exact.
void beta_mode(DistSlot& s) {
    const double a = s.shape_a, b = s.shape_b;
    if ((a == 1 && b == 1) || (a < 1 && b < 1)) {
        s.mod_exists = 0;
        return;
    }
    s.mod_exists = 1;
    if ((a < 1 && b >= 1) || (a == 1 && b > 1)) {
        s.dmode = s.minimum;
    } else if ((a >= 1 && b < 1) || (a > 1 && b == 1)) {
        s.dmode = s.maximum;
    } else {
        s.dmode = (s.maximum - s.minimum) * (a - 1) / (a + b - 2) + s.minimum;
    }
}
void beta_statistics(DistSlot& s) {
    const double a = s.shape_a, b = s.shape_b;
    s.dmean = s.mean;
    beta_mode(s);
    s.dmedian = inverse(s, kMedianProbability);
    s.dvariance = s.variance;
    s.dstdev = s.stdev;
    s.dskewness = 2 * (b - a) * std::sqrt((a + b + 1) / (a * b)) / (a + b + 2);
    s.dkurtosis = 3 * (a + b + 1) * (2 * ((a + b) * (a + b)) + a * b * (a + b - 6)) /
                  (a * b * (a + b + 2) * (a + b + 3));
}

// --- 12 gamma (Erlang, chi-square) ---
void gamma_working(DistSlot& s) {
    const double a = s.shape_a;
    s.gamma_norm = gamma_of(a);
    store_gamma_log(s);
    s.mean = s.scale * a;
    s.variance = s.scale * s.scale * a;
    s.stdev = std::sqrt(s.variance);
    s.minimum = 0;
    s.maximum = inverse(s, kRangeHighProbability);
}
void gamma_statistics(DistSlot& s) {
    const double a = s.shape_a;
    s.dmean = s.mean;
    s.dmode = a < 1 ? 0 : (a - 1) * s.scale;
    s.dmedian = inverse(s, kMedianProbability);
    s.dvariance = s.variance;
    s.dstdev = s.stdev;
    s.dskewness = 2 / std::sqrt(a);
    s.dkurtosis = 6 / a + 3;
}

// --- 13 Cauchy ---
void cauchy_working(DistSlot& s) {
    s.stdev = s.scale;  // working spread: the variance does not exist
    mirror_bounds(s);
}
void cauchy_statistics(DistSlot& s) {
    centre_statistics(s);  // the location stands in for the mean
    s.dskewness = 0;
}

// --- 14 exponential power ---
void exp_power_working(DistSlot& s) {
    const double a = s.shape_a;
    store_exp_power_norm(s);
    s.variance = elem::pow(2.0, a) * (s.scale * s.scale) * gamma_of(3 * a / 2) / gamma_of(a / 2);
    s.stdev = std::sqrt(s.variance);
    mirror_bounds(s);
}
void exp_power_statistics(DistSlot& s) {
    const double a = s.shape_a;
    centre_statistics(s);
    s.dvariance = s.variance;
    s.dstdev = s.stdev;
    s.dskewness = 0;
    const double g3 = gamma_of(3 * a / 2);
    s.dkurtosis = gamma_of(5 * a / 2) * gamma_of(a / 2) / (g3 * g3);
}

// --- 15 Gumbel (largest extreme value) ---
constexpr double kEulerGamma = 0.57722;
void gumbel_working(DistSlot& s) {
    const double spread = kPi * s.scale;
    s.mean = s.mode + kEulerGamma * s.scale;
    s.variance = spread * spread / 6;
    s.stdev = std::sqrt(s.variance);
    s.minimum = inverse(s, kRangeLowProbability);
    s.maximum = inverse(s, kRangeHighProbability);
}
void gumbel_statistics(DistSlot& s) {
    s.dmean = s.mean;
    s.dmode = s.mode;
    s.dmedian = inverse(s, kMedianProbability);
    s.dvariance = s.variance;
    s.dstdev = s.stdev;
    s.dskewness = 1.139547;
    s.dkurtosis = 5.4;
}

// --- 16 Weibull with location `minimum` ---
void weibull_working(DistSlot& s) {
    const double a = s.shape_a;
    const double g1 = gamma_of((a + 1) / a);
    s.mean = g1 * s.scale + s.minimum;
    s.variance = s.scale * s.scale * (gamma_of((a + 2) / a) - g1 * g1);
    s.stdev = std::sqrt(s.variance);
    s.maximum = inverse(s, kRangeHighProbability);
}
void weibull_statistics(DistSlot& s) {
    const double a = s.shape_a;
    s.dmean = s.mean;
    s.dmode = a > 1 ? s.minimum + s.scale * elem::pow(1 - 1 / a, 1 / a) : s.minimum;
    s.dmedian = inverse(s, kMedianProbability);
    s.dvariance = s.variance;
    s.dstdev = s.stdev;
    const double g1 = gamma_of(1 / a + 1);
    const double g2 = gamma_of(2 / a + 1);
    const double g3 = gamma_of(3 / a + 1);
    s.dskewness = (2 * (g1 * g1 * g1) - 3 * g1 * g2 + g3) / elem::pow(g2 - g1 * g1, 1.5);
}

// --- 19 Laplace ---
void laplace_working(DistSlot& s) {
    s.variance = 2 * (s.scale * s.scale);
    s.stdev = std::sqrt(s.variance);
    mirror_bounds(s);
}
void laplace_statistics(DistSlot& s) {
    centre_statistics(s);
    s.dvariance = s.variance;
    s.dstdev = s.stdev;
    s.dskewness = 0;
    s.dkurtosis = 6;
}

// --- 21 logistic ---
void logistic_working(DistSlot& s) { mirror_bounds(s); }
void logistic_statistics(DistSlot& s) {
    centre_statistics(s);
    s.dvariance = s.stdev * s.stdev;
    s.dstdev = s.stdev;
    s.dskewness = 0;
    s.dkurtosis = 4.2;
}

// --- 23 lognormal (by moments 22, by median 34) ---
// The alias's own inputs win: dtype 34 keeps its median, dtype 22 its mean
// and standard deviation.
void lognormal_working(DistSlot& s) {
    const double w = elem::exp(s.lstdev * s.lstdev);
    if (s.dtype != kLognormalByMedian) s.median = elem::exp(s.lmean);
    if (s.dtype != kLognormalByMoments) {
        s.mean = elem::exp(0.5 * (s.lstdev * s.lstdev)) * s.median;
        s.variance = s.median * s.median * w * (w - 1);
        s.stdev = std::sqrt(s.variance);
    } else {
        s.variance = s.stdev * s.stdev;
    }
    s.minimum = 0;
    s.maximum = inverse(s, kRangeHighProbability);
}
void lognormal_statistics(DistSlot& s) {
    const double w = elem::exp(s.lstdev * s.lstdev);
    s.dmedian = s.median;
    s.dmean = s.mean;
    s.dmode = s.median / w;
    s.dvariance = s.variance;
    s.dstdev = s.stdev;
    s.dskewness = (w + 2) * std::sqrt(w - 1);
    s.dkurtosis = w * w * w * w + 2 * (w * w * w) + 3 * (w * w) - 3;
}

// --- 26 power function on [minimum, maximum] ---
void power_working(DistSlot& s) { s.range = s.maximum - s.minimum; }
void power_statistics(DistSlot& s) {
    const double a = s.shape_a;
    s.dmean = s.range * a / (a + 1) + s.minimum;
    if (a > 1) {
        s.mod_exists = 1;
        s.dmode = s.maximum;
    } else if (a < 1) {
        s.mod_exists = 1;
        s.dmode = s.minimum;
    } else {
        s.mod_exists = 0;  // a = 1: flat
    }
    s.dmedian = inverse(s, kMedianProbability);
    s.dvariance = s.range * s.range * a / ((a + 2) * ((a + 1) * (a + 1)));
    s.dstdev = std::sqrt(s.dvariance);
    s.dskewness = 2 * (1 - a) * std::sqrt(a + 2) / ((a + 3) * std::sqrt(a));
    s.dkurtosis = 3 * (a + 2) * (2 * ((a + 1) * (a + 1)) + a * (a - 5)) / (a * (a + 3) * (a + 4));
}

// --- 27 Rayleigh ---
void rayleigh_working(DistSlot& s) {
    s.mean = std::sqrt(kPi / 2) * s.scale;
    s.variance = s.scale * s.scale * (2 - kPi / 2);
    s.stdev = std::sqrt(s.variance);
    s.minimum = 0;
    s.maximum = inverse(s, kRangeHighProbability);
}
void rayleigh_statistics(DistSlot& s) {
    s.dmean = s.mean;
    s.dmode = s.scale;
    s.dmedian = inverse(s, kMedianProbability);
    s.dvariance = s.variance;
    s.dstdev = s.stdev;
    s.dskewness = 0.631111;
    s.dkurtosis = 3.245089;
}

// --- 29 inverse Gaussian (Wald) ---
void inverse_gaussian_working(DistSlot& s) {
    s.variance = s.mean * s.mean * s.mean / s.scale;
    s.stdev = std::sqrt(s.variance);
    s.minimum = 0;
    s.maximum = inverse(s, kRangeHighProbability);
}
void inverse_gaussian_statistics(DistSlot& s) {
    s.dmean = s.mean;
    s.dvariance = s.variance;
    s.dstdev = s.stdev;
    const double r = 1.5 * s.mean / s.scale;
    s.dmode = (std::sqrt(r * r + 1) - r) * s.mean;
    s.dmedian = inverse(s, kMedianProbability);
    s.dskewness = std::sqrt(9 * s.mean / s.scale);
    s.dkurtosis = 15 * s.mean / s.scale + 3;
}

// --- 35 Student t ---
// Whether the variance and the kurtosis exist depends on the degrees of
// freedom alone. Both branches store it: the truncation step starts from
// these flags (and sets them where a cut bounds the distribution), so they
// must not carry over from the slot's previous use.
void student_working(DistSlot& s) {
    const double a = s.shape_a;
    s.var_exists = a > 2 ? 1 : 0;
    s.krt_exists = a > 4 ? 1 : 0;
    s.mean = 0;  // working centre and spread of the numerical inverse
    s.stdev = 1;
    mirror_bounds(s);
}
void student_statistics(DistSlot& s) {
    const double a = s.shape_a;
    centre_statistics(s);
    if (s.var_exists) {
        s.dvariance = a / (a - 2);
        s.dstdev = std::sqrt(s.dvariance);
    }
    s.dskewness = 0;
    if (s.krt_exists) s.dkurtosis = 3 * (a - 2) / (a - 4);
}

}  // namespace

TypeRoutine continuous_routine(int base) {
    switch (base) {
        case kUniform: return {uniform_working, uniform_statistics};
        case kTriangular: return {triangular_working, triangular_statistics};
        case kNormal: return {normal_working, normal_statistics};
        case kExponential: return {exponential_working, exponential_statistics};
        case kPareto: return {pareto_working, pareto_statistics};
        case kBeta: return {beta_working, beta_statistics};
        case kGamma: return {gamma_working, gamma_statistics};
        case kCauchy: return {cauchy_working, cauchy_statistics};
        case kExpPower: return {exp_power_working, exp_power_statistics};
        case kGumbel: return {gumbel_working, gumbel_statistics};
        case kWeibull: return {weibull_working, weibull_statistics};
        case kLaplace: return {laplace_working, laplace_statistics};
        case kLogistic: return {logistic_working, logistic_statistics};
        case kLognormal: return {lognormal_working, lognormal_statistics};
        case kPowerFunction: return {power_working, power_statistics};
        case kRayleigh: return {rayleigh_working, rayleigh_statistics};
        case kInverseGaussian: return {inverse_gaussian_working, inverse_gaussian_statistics};
        case kStudentT: return {student_working, student_statistics};
        default: return {nullptr, nullptr};
    }
}

}  // namespace kvz
