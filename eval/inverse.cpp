// Inverse cumulative distribution: closed forms where the type has one, a
// bisection on the cumulative distribution otherwise and for every truncated slot.
#include <cmath>
#include <limits>

#include "eval/eval.h"
#include "eval/rules.h"
#include "interface/catalogue.h"

namespace kvz {

namespace {

constexpr double kPi = 3.141592653589793;

// The bisection ends once the cumulative value is this close to p.
constexpr double kBisectionTolerance = 1e-6;
// A bracket end searched for moves away from the centre by this factor per step.
constexpr double kBracketGrowth = 1.2;
// Growing by 1.2 carries the smallest positive spread past the largest double
// in under 8000 steps; a bracket still short of p then is used as it stands.
constexpr int kMaxBracketSteps = 8000;
// A cumulative distribution that has not moved towards p over this many
// widening steps (the bracket grown 1.2^16 ≈ 18-fold) is not going to reach
// it: a density that is negative or zero out there. The bracket stops there.
constexpr int kMaxStalledSteps = 16;
// Repeats of a cumulative value outside (0, 1) that the bisection passes over
// on its way into a truncated range.
constexpr int kMaxFlatRepeats = 8;
// Halving the widest double bracket down to two neighbouring doubles takes
// under 2100 steps, after which the midpoint repeats and the loop ends anyway.
constexpr int kMaxBisectionSteps = 2200;

double triangular_inverse(const DistSlot& s, double p) {
    const double c = (s.mode - s.minimum) / (s.maximum - s.minimum);
    if (p == c) return s.mode;
    if (p < c) return s.minimum + std::sqrt((s.maximum - s.minimum) * p * (s.mode - s.minimum));
    const double q = 1 - p;
    return s.maximum - std::sqrt(q * (s.maximum - s.minimum) * (s.maximum - s.mode));
}

// x + 0.5 truncated toward zero, kept as a double (no integer overflow).
double made_whole(double x) { return std::trunc(x + 0.5); }

// The quantile of an untruncated slot of base type `base`.
double inverse_formula(const DistSlot& s, int base, double p) {
    const double q = 1 - p;
    switch (base) {
        case kDegenerate:
            return degenerate_value(s);
        case kUniform:
            return s.minimum + p * s.range;
        case kTriangular:
            return triangular_inverse(s, p);
        case kNormal: {
            const double x = inverse_bisection(s, p);
            if (s.dtype == kNormalBinomial || s.dtype == kNormalPoisson) return made_whole(x);
            return x;
        }
        case kExponential:
            return s.mean * std::log(1 / q);
        case kPareto:
            return s.mode * std::pow(q, -1 / s.shape_a);
        case kCauchy:
            return s.mean + s.scale * std::tan((p - 0.5) * kPi);
        case kGumbel:
            return s.mode - s.scale * std::log(std::log(1 / p));
        case kWeibull:
            return s.minimum + s.scale * std::pow(std::log(1 / q), 1 / s.shape_a);
        case kLaplace:
            if (p < 0.5) return s.mean + s.scale * std::log(2 * p);
            return s.mean - s.scale * std::log(2 * q);
        case kLogistic:
            return s.mean + std::sqrt(3.0) * std::log(p / q) * s.stdev / kPi;
        case kPowerFunction:
            return s.minimum + s.range * std::pow(p, 1 / s.shape_a);
        case kRayleigh:
            return std::sqrt(std::log(q) * (-2 * (s.scale * s.scale)));
        case kDiscreteUniform:
            return s.minimum + p * (s.maximum - s.minimum + 1);
        case kBeta:
        case kGamma:
        case kExpPower:
        case kLognormal:
        case kInverseGaussian:
        case kStudentT:
            return inverse_bisection(s, p);
        default:
            return 0.0;
    }
}

// A bracket end the bisection can halve: one at infinity becomes the largest
// finite double, one that is not a number falls back to the centre.
double usable_end(double end, double centre) {
    constexpr double kLargest = std::numeric_limits<double>::max();
    if (std::isnan(end)) return centre;
    if (end > kLargest) return kLargest;
    if (end < -kLargest) return -kLargest;
    return end;
}

// Where a bracket search starts and how far its first step reaches: the mean
// and the spread stdev, or, for a slot truncated in a tail, the cut nearer the
// median (all the mass lies beyond it) and at least that cut's distance from
// the mean, since the mass may lie far out on the scale of stdev.
struct SearchStart {
    double centre;
    double spread;
};

SearchStart search_start(const DistSlot& s) {
    const double spread = std::fabs(s.stdev);
    if (s.t_tail == kNoTail) return {s.mean, spread};
    const double cut = s.t_tail == kUpperTail ? s.t_min : s.t_max;
    return {cut, std::fmax(spread, std::fabs(cut - s.mean))};
}

// Lower bracket end: the lower cut of a slot truncated in a tail; a bound
// where the slot has one (reaching down to a lower cut that lies below it);
// else widened from the centre of the search until F ≤ p. The spread is taken
// by its size, so a negative one still moves outward.
double lower_bracket(const DistSlot& s, double p) {
    if (s.t_tail != kNoTail && s.t_min_flag) return s.t_min;
    if (s.min_exists) return (s.t_min_flag && s.t_min < s.minimum) ? s.t_min : s.minimum;
    const SearchStart start = search_start(s);
    double lo = start.centre - start.spread;
    double best = cumulative_across_cut(s, lo);
    int stalled = 0;
    for (int step = 0; step < kMaxBracketSteps; ++step) {
        const double f = step == 0 ? best : cumulative_across_cut(s, lo);
        if (!(f > p)) break;
        if (f < best) {
            best = f;
            stalled = 0;
        } else if (step > 0 && ++stalled >= kMaxStalledSteps) {
            break;
        }
        const double wider = start.centre - (start.centre - lo) * kBracketGrowth;
        if (wider == lo) break;  // a zero spread or an end at infinity cannot widen
        lo = wider;
    }
    return lo;
}

// Upper bracket end, likewise.
double upper_bracket(const DistSlot& s, double p) {
    if (s.t_tail != kNoTail && s.t_max_flag) return s.t_max;
    if (s.max_exists) return (s.t_max_flag && s.t_max > s.maximum) ? s.t_max : s.maximum;
    const SearchStart start = search_start(s);
    double hi = start.centre + start.spread;
    double best = cumulative_across_cut(s, hi);
    int stalled = 0;
    for (int step = 0; step < kMaxBracketSteps; ++step) {
        const double f = step == 0 ? best : cumulative_across_cut(s, hi);
        if (!(f < p)) break;
        if (f > best) {
            best = f;
            stalled = 0;
        } else if (step > 0 && ++stalled >= kMaxStalledSteps) {
            break;
        }
        const double wider = start.centre + (hi - start.centre) * kBracketGrowth;
        if (wider == hi) break;
        hi = wider;
    }
    return hi;
}

// The midpoint, without overflow when both ends are huge.
double midpoint(double lo, double hi) {
    const double x = (lo + hi) / 2;
    return std::isinf(x) ? lo / 2 + hi / 2 : x;
}

// The whole numbers of a discrete slot's support inside its cut.
struct WholeNumbers {
    double first;
    double last;
};

WholeNumbers kept_whole_numbers(const DistSlot& s) {
    const Support support = type_support(s);
    WholeNumbers w{std::ceil(support.first), std::floor(support.last)};
    if (truncation_applies(s)) {
        if (s.t_min_flag) w.first = std::fmax(w.first, std::floor(s.t_min));
        if (s.t_max_flag) w.last = std::fmin(w.last, std::floor(s.t_max));
    }
    return w;
}

// Consecutive whole numbers end at 2^53: no search goes past it.
constexpr double kLastWholeNumber = 9007199254740992.0;

// For a support without an upper end: a whole number beyond `first`, found
// by doubling steps, whose cumulative probability reaches p or has stopped
// growing past the first mass (the masses beyond no longer change the sum).
double reach_probability(const DistSlot& s, double p, double first) {
    double lo = first;
    double below = cumulative(s, lo);
    for (double step = 1;; step = step * 2) {
        const double hi = std::fmin(lo + step, kLastWholeNumber);
        const double f = cumulative(s, hi);
        if (!(f < p) || (f == below && f > 0) || hi >= kLastWholeNumber) return hi;
        lo = hi;
        below = f;
    }
}

}  // namespace

double inverse_bisection(const DistSlot& s, double p) {
    double lo = usable_end(lower_bracket(s, p), s.mean);
    double hi = usable_end(upper_bracket(s, p), s.mean);
    double x = midpoint(lo, hi);
    double previous = 0;
    int flat = 0;
    for (int step = 0; step < kMaxBisectionSteps; ++step) {
        x = midpoint(lo, hi);
        const double f = cumulative_across_cut(s, x);
        // F has stopped changing between two midpoints, or has no value here.
        // A repeat at or below 0 or at or above 1 lies outside a truncated
        // distribution's range (F is flat there where the masses have
        // underflowed), so the search goes on towards p instead, for a few
        // repeats: a cumulative that stays flat outside the range is not
        // going to reach p.
        if (step > 0 && f == previous) {
            if ((f > 0 && f < 1) || ++flat > kMaxFlatRepeats) return x;
        }
        if (std::isnan(f)) return x;
        if (std::fabs(f - p) <= kBisectionTolerance) return x;
        if (f <= p)
            lo = x;
        else
            hi = x;
        previous = f;
    }
    return x;
}

double inverse(const DistSlot& s, double p) {
    double end;
    if (range_end_for_probability(s, p, end)) return end;
    if (truncation_applies(s)) return inside_cut(s, inverse_bisection(s, p));
    return inverse_formula(s, kInverseAlias(s.dtype), p);
}

double inverse_whole(const DistSlot& s, double p) {
    double end;
    if (range_end_for_probability(s, p, end)) return end;
    if (s.dclass != 2) return inverse(s, p);
    const WholeNumbers kept = kept_whole_numbers(s);
    // No whole number left (a degenerate value outside its cut, a cut between
    // two whole numbers): the single point the slot reports.
    if (!(kept.first <= kept.last)) return s.dmedian;
    if (!std::isfinite(kept.first)) return std::numeric_limits<double>::quiet_NaN();
    double hi = std::isinf(kept.last) ? reach_probability(s, p, kept.first) : kept.last;
    // Where the masses sum to just under p, the answer is where they end:
    // the first value whose cumulative probability reaches the total.
    const double top = cumulative(s, hi);
    if (std::isnan(top)) return top;
    const double target = top < p ? top : p;
    double lo = kept.first;
    if (cumulative(s, lo) >= target) return lo;
    // cumulative(lo) < target <= cumulative(hi) throughout the halving.
    while (hi - lo > 1) {
        const double mid = std::floor(lo + (hi - lo) / 2);
        if (mid <= lo || mid >= hi) break;  // beyond whole-number precision
        if (cumulative(s, mid) >= target)
            hi = mid;
        else
            lo = mid;
    }
    return hi;
}

}  // namespace kvz
