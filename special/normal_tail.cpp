#include <cmath>
#include <limits>

#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {
// Below this z the complementary error function gives the tail directly; from
// it on the continued fraction of the tail's ratio to the density converges
// within fifteen terms.
constexpr double kFractionStart = 8;
constexpr int kMaxFractionTerms = 100;
constexpr double kFractionTolerance = std::numeric_limits<double>::epsilon();
constexpr double kTiny = 1e-300;  // smallest divisor of the continued fraction
constexpr double kSqrtTwo = 1.4142135623730951;
constexpr double kLogSqrtTwoPi = 0.91893853320467274;  // ln √(2π)

// z + 1/(z + 2/(z + 3/(z + ...))), the normal density over the upper tail at
// z > 0, evaluated from the front (modified Lentz).
double tail_fraction(double z) {
    double f = z;
    double c = f;
    double d = 0;
    for (int k = 1; k <= kMaxFractionTerms; ++k) {
        d = z + k * d;
        if (std::fabs(d) < kTiny) d = kTiny;
        d = 1 / d;
        c = z + k / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        const double delta = c * d;
        f = f * delta;
        if (std::fabs(delta - 1) < kFractionTolerance) break;
    }
    return f;
}
}  // namespace

double log_normal_tail(double z) {
    if (z < 0) return elem::log1p(-0.5 * elem::erfc(-z / kSqrtTwo));
    if (z < kFractionStart) return elem::log(0.5 * elem::erfc(z / kSqrtTwo));
    if (std::isinf(z)) return -z;
    // ln φ(z) − ln(φ(z) / Q(z)); z² overflows to an infinite logarithm, as the
    // tail itself has no representable logarithm there either.
    return -0.5 * (z * z) - kLogSqrtTwoPi - elem::log(tail_fraction(z));
}

}  // namespace kvz
