// Inverse cumulative distribution: closed forms where the type has one, a
// bisection on the cumulative distribution otherwise and for every truncated slot.
#include <cmath>
#include <limits>

#include "eval/eval.h"
#include "eval/masses.h"
#include "eval/quantile_band.h"
#include "eval/rules.h"
#include "interface/catalogue.h"
#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {


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
            return s.mean * elem::log(1 / q);
        case kPareto:
            return s.mode * elem::pow(q, -1 / s.shape_a);
        case kCauchy:
            return s.mean + s.scale * elem::tan((p - 0.5) * kPi);
        case kGumbel:
            return s.mode - s.scale * elem::log(elem::log(1 / p));
        case kWeibull:
            return s.minimum + s.scale * elem::pow(elem::log(1 / q), 1 / s.shape_a);
        case kLaplace:
            if (p < 0.5) return s.mean + s.scale * elem::log(2 * p);
            return s.mean - s.scale * elem::log(2 * q);
        case kLogistic:
            return s.mean + std::sqrt(3.0) * elem::log(p / q) * s.stdev / kPi;
        case kPowerFunction:
            return s.minimum + s.range * elem::pow(p, 1 / s.shape_a);
        case kRayleigh:
            return std::sqrt(elem::log(q) * (-2 * (s.scale * s.scale)));
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

// F at a point the search passed, evaluated only once something needs its
// value: a point a band decided in advance is known only by its side.
struct Probe {
    double x = 0;
    double f = 0;
    bool known = false;
    Side side = Side::unknown;

    double value(const DistSlot& s) {
        if (!known) f = cumulative_across_cut(s, x);
        known = true;
        return f;
    }
};

// Knows nothing in advance: every point is evaluated.
struct NoBand {
    Side side(double) const { return Side::unknown; }
    bool ordered(double, double) const { return false; }
    bool ordered_on_side(double, double, Side) const { return false; }
    bool within(double) const { return false; }
    void start_bisection(double, double) {}
    bool pair_ordered_by_distance(double, double) const { return false; }
};

// A bracket end widened from the centre of the search, downwards (dir −1)
// until F ≤ p or upwards (dir +1) until F ≥ p. The spread is taken by its
// size, so a negative one still moves outward. A point the band places on
// the far side of p ends the widening as its value would; one on the near
// side whose F certainly lies beyond the best so far continues it unevaluated.
template <class Band>
double widened_end(const DistSlot& s, double p, int dir, const Band& band) {
    const SearchStart start = search_start(s);
    const Side reached = dir < 0 ? Side::below : Side::above;
    const Side short_of = dir < 0 ? Side::above : Side::below;
    const auto beyond_p = [&](double f) { return dir < 0 ? f > p : f < p; };
    const auto improves = [&](double f, double best) { return dir < 0 ? f < best : f > best; };
    double end = dir < 0 ? start.centre - start.spread : start.centre + start.spread;
    Probe best{.x = end};
    int stalled = 0;
    for (int step = 0; step < kMaxBracketSteps; ++step) {
        const Side side = band.side(end);
        if (side == reached) break;
        const bool surely_better =
            side == short_of && (step == 0 || (dir < 0 ? band.ordered(end, best.x) : band.ordered(best.x, end)));
        if (surely_better) {
            best = {.x = end};
            stalled = 0;
        } else {
            const double f = step == 0 ? best.value(s) : cumulative_across_cut(s, end);
            if (!beyond_p(f)) break;
            if (step > 0) {
                if (improves(f, best.value(s))) {
                    best = {.x = end, .f = f, .known = true};
                    stalled = 0;
                } else if (++stalled >= kMaxStalledSteps) {
                    break;
                }
            }
        }
        // A zero spread or an end at infinity cannot widen.
        const double wider = dir < 0 ? start.centre - (start.centre - end) * kBracketGrowth
                                     : start.centre + (end - start.centre) * kBracketGrowth;
        if (wider == end) break;
        end = wider;
    }
    return end;
}

// Lower bracket end: the lower cut of a slot truncated in a tail; a bound
// where the slot has one (reaching down to a lower cut that lies below it);
// else widened from the centre of the search until F ≤ p.
template <class Band>
double lower_bracket(const DistSlot& s, double p, const Band& band) {
    if (s.t_tail != kNoTail && s.t_min_flag) return s.t_min;
    if (s.min_exists) return (s.t_min_flag && s.t_min < s.minimum) ? s.t_min : s.minimum;
    return widened_end(s, p, -1, band);
}

// Upper bracket end, likewise.
template <class Band>
double upper_bracket(const DistSlot& s, double p, const Band& band) {
    if (s.t_tail != kNoTail && s.t_max_flag) return s.t_max;
    if (s.max_exists) {
        // A maximum that is only where a search stopped is no bound: a cut
        // above ends the bracket instead.
        if (s.t_max_flag && upper_end_is_search_end(s)) return s.t_max;
        return (s.t_max_flag && s.t_max > s.maximum) ? s.t_max : s.maximum;
    }
    return widened_end(s, p, +1, band);
}

// A quantile of a truncated slot lies inside its cut: a bisection that ended
// outside it (on a cumulative distribution flat out there) answers the cut's
// nearer end. An inverted cut has no inside and is left alone.
double inside_cut(const DistSlot& s, double x) {
    if (s.t_min_flag && s.t_max_flag && s.t_min > s.t_max) return x;
    if (s.t_min_flag && x < s.t_min) return s.t_min;
    if (s.t_max_flag && x > s.t_max) return s.t_max;
    return x;
}

// Whether a cumulative value the search repeated is the flat top (or
// bottom) of a continuous slot's cut, where F no longer changes because the
// untruncated one has reached 1 (or 0) and the rescaling leaves it a rounding
// short of 1: a cut at 1e200 on a Cauchy has F = 1 − 2^-53 from 1e17 on, and
// stopping there would answer 2.5e199 for every p. Asked only on a repeat;
// F at each end of the cut is worked out once a search (an integral for some
// types, and a search may repeat many times along a flat stretch).
class FlatEnds {
public:
    explicit FlatEnds(const DistSlot& s) : s_(s), applies_(s.dclass == 1 && truncation_applies(s)) {}

    bool beyond_mass(double f) {
        if (!applies_) return false;
        if (s_.t_max_flag && f >= at(top_, s_.t_max)) return true;
        return s_.t_min_flag && f <= at(bottom_, s_.t_min);
    }

private:
    struct End {
        bool known = false;
        double f = 0;
    };
    double at(End& end, double x) {
        if (!end.known) end = {true, cumulative_across_cut(s_, x)};
        return end.f;
    }

    const DistSlot& s_;
    bool applies_;
    End top_;
    End bottom_;
};

// The midpoint, without overflow when both ends are huge.
double midpoint(double lo, double hi) {
    const double x = (lo + hi) / 2;
    return std::isinf(x) ? lo / 2 + hi / 2 : x;
}

// The whole numbers of a discrete slot's support inside its cut.
WholeRange kept_whole_numbers(const DistSlot& s) {
    constexpr double kEndless = std::numeric_limits<double>::infinity();
    const bool cut = truncation_applies(s);
    WholeRange kept = whole_range(s, cut && s.t_min_flag ? s.t_min : -kEndless,
                                  cut && s.t_max_flag ? s.t_max : kEndless);
    kept.first = std::ceil(kept.first);  // a support that starts between whole numbers
    return kept;
}

// Consecutive whole numbers end at 2^53: no search goes past it.
constexpr double kLastWholeNumber = 9007199254740992.0;

// A whole number above `lo`, at most `last`, found by doubling steps, whose
// cumulative probability reaches p or has stopped growing past the first mass
// (the masses beyond no longer change the sum), or `last` itself. lo moves up
// behind it, to the last value found below p, and the cursor holds the sum
// there; `top` receives the cumulative probability at the value returned.
double reach_probability(const DistSlot& s, double p, double last, double& lo, MassCursor& cursor,
                         double& top) {
    double below = cumulative_continued(s, lo, cursor);
    cursor.lower = cursor.reached;
    for (double step = 1;; step = step * 2) {
        const double hi = std::fmin(std::fmin(lo + step, last), kLastWholeNumber);
        top = cumulative_continued(s, hi, cursor);
        if (!(top < p) || (top == below && top > 0) || hi >= last || hi >= kLastWholeNumber) return hi;
        lo = hi;
        below = top;
        cursor.lower = cursor.reached;
    }
}

}  // namespace

namespace {

// The bisection. Where the band decides a midpoint's side in advance, the
// halving takes that side without evaluating F, provided F there certainly
// differs from the previous midpoint's (else F stopping to change would have
// ended the search); where it places F within the tolerance of p, the search
// ends there, as it would on any of the stops. The stops compare F with p and with the previous F in
// the same way for every point evaluated; the previous F is evaluated late
// when a comparison needs it. Hence the same halvings and the same result as
// evaluating F at every midpoint.
template <class Band>
double bisection(const DistSlot& s, double p, Band& band) {
    double lo = usable_end(lower_bracket(s, p, band), s.mean);
    double hi = usable_end(upper_bracket(s, p, band), s.mean);
    double x = midpoint(lo, hi);
    band.start_bisection(lo, hi);
    Probe previous;
    // Every midpoint lies above the lower end: a sum of masses continues the
    // one that reached it.
    MassCursor cursor;
    FlatEnds flat_ends(s);
    for (int step = 0; step < kMaxBisectionSteps; ++step) {
        const double last_x = x;
        x = midpoint(lo, hi);
        // The bracket can shrink no further.
        if (step > 0 && x == last_x) return x;
        const Side side = band.side(x);
        if (side != Side::unknown &&
            (step == 0 || side != previous.side || band.pair_ordered_by_distance(previous.x, x) ||
             (side == Side::below ? band.ordered_on_side(previous.x, x, side)
                                  : band.ordered_on_side(x, previous.x, side)))) {
            // Only continuous types have a band: no sum of masses to carry.
            if (side == Side::below) lo = x;
            else hi = x;
            previous = {.x = x, .side = side};
            continue;
        }
        // F within the tolerance of p ends the search, whatever it is.
        if (side == Side::unknown && band.within(x)) return x;
        const double f = cumulative_continued(s, x, cursor);
        if (std::isnan(f)) return x;
        if (std::fabs(f - p) <= kBisectionTolerance) return x;
        const Side found = f <= p ? Side::below : Side::above;
        // F has stopped changing between two midpoints. A repeat at or below
        // 0 or at or above 1 lies in a tail where F is flat (the masses, or
        // the normal probabilities, have underflowed; outside a truncated
        // range), so the search goes on towards p instead. Each step halves
        // the bracket, and a sum of masses costs only those between the lower
        // end and the midpoint, so the whole search costs about two sums over
        // the bracket.
        if (step > 0 && f > 0 && f < 1 && (previous.known || previous.side == found) &&
            f == previous.value(s) && !flat_ends.beyond_mass(f)) {
            return x;
        }
        if (f <= p) {
            lo = x;
            cursor.lower = cursor.reached;
        } else {
            hi = x;
        }
        previous = {.x = x, .f = f, .known = true, .side = found};
    }
    return x;
}

}  // namespace

double inverse_bisection(const DistSlot& s, double p) {
    QuantileBand band(s, p, kBisectionTolerance);
    if (band.active()) return bisection(s, p, band);
    NoBand none;
    return bisection(s, p, none);
}

double inverse_bisection_plain(const DistSlot& s, double p) {
    NoBand none;
    return bisection(s, p, none);
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
    const WholeRange kept = kept_whole_numbers(s);
    // No whole number left (a degenerate value outside its cut, a cut between
    // two whole numbers): the single point the slot reports.
    if (!(kept.first <= kept.last)) return s.dmedian;
    if (!std::isfinite(kept.first)) return std::numeric_limits<double>::quiet_NaN();
    // The search starts just below where the bisection on the cumulative
    // distribution ends (within its tolerance of p), where the cumulative
    // probability is still below p; every value searched lies above its
    // lower end, so a sum of masses continues the one that reached it.
    MassCursor cursor;
    double lo = kept.first;
    const double near = std::floor(inverse_bisection(s, p)) - 1;
    if (near > lo && near < kept.last && cumulative_continued(s, near, cursor) < p) lo = near;
    else cursor = {};
    double top = 0;
    double hi = reach_probability(s, p, kept.last, lo, cursor, top);
    if (std::isnan(top)) return top;
    // Where the masses sum to just under p, the answer is where they end:
    // the first value whose cumulative probability reaches the total.
    const double target = top < p ? top : p;
    if (target < p) {
        lo = kept.first;
        cursor = {};
    }
    if (cumulative_continued(s, lo, cursor) >= target) return lo;
    cursor.lower = cursor.reached;
    // cumulative(lo) < target <= cumulative(hi) throughout the halving.
    while (hi - lo > 1) {
        const double mid = std::floor(lo + (hi - lo) / 2);
        if (mid <= lo || mid >= hi) break;  // beyond whole-number precision
        if (cumulative_continued(s, mid, cursor) >= target) {
            hi = mid;
        } else {
            lo = mid;
            cursor.lower = cursor.reached;
        }
    }
    return hi;
}

}  // namespace kvz
