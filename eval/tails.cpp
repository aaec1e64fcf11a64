// The tails of the types whose truncation can be measured from a tail: the
// logarithm of the mass beyond x on either side, and of the density, both of
// the untruncated distribution. They stay finite where the values themselves
// underflow (the normal tail at 39 standard deviations is about 1e-333).
#include <cmath>
#include <limits>

#include "eval/eval.h"
#include "interface/catalogue.h"
#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {

constexpr double kLogSqrtTwoPi = 0.91893853320467274;  // ln √(2π)
constexpr double kNoMass = -std::numeric_limits<double>::infinity();

// ln Φ(z) on the lower side, ln(1 − Φ(z)) on the upper.
double log_normal_side(int side, double z) {
    return side == kUpperTail ? log_normal_tail(z) : log_normal_tail(-z);
}

}  // namespace

double log_tail(const DistSlot& s, int side, double x) {
    switch (kDensityAlias(s.dtype)) {
        case kNormal:
            return log_normal_side(side, (x - s.mean) / s.stdev);
        case kLognormal:
            // All the mass lies above 0.
            if (x <= 0) return side == kUpperTail ? 0.0 : kNoMass;
            return log_normal_side(side, (elem::log(x) - s.lmean) / s.lstdev);
        default:
            return std::numeric_limits<double>::quiet_NaN();
    }
}

double log_density(const DistSlot& s, double x) {
    switch (kDensityAlias(s.dtype)) {
        case kNormal: {
            const double d = s.mean - x;
            return -(d * d) / (2 * (s.stdev * s.stdev)) - kLogSqrtTwoPi - elem::log(s.stdev);
        }
        case kLognormal: {
            if (x <= 0) return kNoMass;
            const double d = s.lmean - elem::log(x);
            return -(d * d) / (2 * (s.lstdev * s.lstdev)) - kLogSqrtTwoPi - elem::log(x) -
                   elem::log(s.lstdev);
        }
        default:
            return std::numeric_limits<double>::quiet_NaN();
    }
}

}  // namespace kvz
