#include <cmath>
#include <limits>

#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {
// Acklam's rational approximations of the normal quantile: in p − 1/2 over
// the centre, in t = √(−2 ln q) for the smaller tail q below kTailFrom.
// Relative error below 1.2e-9 over the whole range; the centre needs no
// logarithm, which is where most quantile searches start.
constexpr double kTailFrom = 0.02425;
constexpr double kA[] = {-3.969683028665376e+01, 2.209460984245205e+02, -2.759285104469687e+02,
                         1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
constexpr double kB[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                         6.680131188771972e+01,  -1.328068155288572e+01};
constexpr double kC[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                         -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
constexpr double kD[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                         3.754408661907416e+00};
constexpr double kSqrtHalf = 0.70710678118654752;
}  // namespace

double normal_quantile_estimate(double p) {
    if (!(p > 0 && p < 1)) return std::numeric_limits<double>::quiet_NaN();
    if (p >= kTailFrom && p <= 1 - kTailFrom) {
        const double q = p - 0.5;
        const double r = q * q;
        return (((((kA[0] * r + kA[1]) * r + kA[2]) * r + kA[3]) * r + kA[4]) * r + kA[5]) * q /
               (((((kB[0] * r + kB[1]) * r + kB[2]) * r + kB[3]) * r + kB[4]) * r + 1);
    }
    const double t = std::sqrt(-2 * elem::log(p < 0.5 ? p : 1 - p));
    const double z = (((((kC[0] * t + kC[1]) * t + kC[2]) * t + kC[3]) * t + kC[4]) * t + kC[5]) /
                     ((((kD[0] * t + kD[1]) * t + kD[2]) * t + kD[3]) * t + 1);
    return p < 0.5 ? z : -z;
}

double normal_cdf_reference(double z) { return 0.5 * elem::erfc(-z * kSqrtHalf); }

}  // namespace kvz
