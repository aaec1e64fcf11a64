// The rules every evaluation shares, each in one place: where a slot's
// distribution has its mass (the support and the truncation cut), how
// truncation scales a density and transforms a cumulative value, and what a
// probability at or beyond the ends of [0, 1] answers.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "interface/catalogue.h"
#include "interface/slot.h"
#include "special/elementary.h"

namespace kvz {

// Whether values stored for a slot's inputs (`key`, written when `set` was
// set) still belong to it: the inputs it holds now (`now`) are the same bit
// for bit. A slot whose inputs changed since works them out afresh.
template <int Size>
inline bool stored_for_inputs(Flag set, const double (&key)[Size], const double (&now)[Size]) {
    if (!set) return false;
    for (int i = 0; i < Size; ++i)
        if (std::bit_cast<std::uint64_t>(key[i]) != std::bit_cast<std::uint64_t>(now[i])) return false;
    return true;
}

// Whether factors dinitialise stored (`set`) for a shape still belong to the
// slot: its shape_a is that shape bit for bit. A slot whose shape changed
// since works them out afresh.
inline bool stored_for_shape(const DistSlot& s, Flag set, double shape) {
    const double key[1] = {shape};
    const double now[1] = {s.shape_a};
    return stored_for_inputs(set, key, now);
}

// Whether the slot's truncation flags cut its distribution: types without a
// truncation step (the degenerate type, codes that dinitialise does not
// initialise) ignore them.
inline bool truncation_applies(const DistSlot& s) {
    return (s.t_min_flag != 0 || s.t_max_flag != 0) &&
           type_row(kInitialiseAlias(s.dtype)).moment != MomentRule::none;
}

// The value of one end of a type's support, as the catalogue names it.
inline double support_end(const DistSlot& s, End end, double open) {
    switch (end) {
        case End::zero: return 0.0;
        case End::one: return 1.0;
        case End::minimum: return s.minimum;
        case End::maximum: return s.maximum;
        case End::mode: return s.mode;
        case End::mean: return s.mean;
        case End::trials: return static_cast<double>(s.n);
        case End::hyper_low: return std::fmax(0.0, s.sam - (s.pop - s.popsuc));
        case End::hyper_high: return std::fmin(s.sam, s.popsuc);
        case End::open: break;
    }
    return open;
}

// The ends of the slot's support (either may be infinite).
struct Support {
    double first;
    double last;
};

inline Support type_support(const DistSlot& s) {
    constexpr double kEndless = std::numeric_limits<double>::infinity();
    const SupportRow row = support_row(s.dtype);
    return {support_end(s, row.lower, -kEndless), support_end(s, row.upper, kEndless)};
}

// Where a value lies against the slot's distribution.
enum class Place { below, inside, above };

// Against the support alone: the distribution as the type defines it. The
// infinities lie beyond every support, also one without an end.
inline Place place_in_support(const DistSlot& s, double x) {
    constexpr double kEndless = std::numeric_limits<double>::infinity();
    const Support support = type_support(s);
    if (x < support.first || x == -kEndless) return Place::below;
    if (x > support.last || x == kEndless) return Place::above;
    return Place::inside;
}

// Against the support and, once truncate() has measured it, the cut. A
// discrete slot keeps every whole number from floor(t_min) on: the cut takes
// away the mass at and below t_min − 1.
inline Place place_of(const DistSlot& s, double x) {
    const Place in_support = place_in_support(s, x);
    if (in_support != Place::inside || !s.cut_in_force) return in_support;
    const double first_kept = s.dclass == 1 ? s.t_min : std::floor(s.t_min);
    if (s.t_min_flag && x < first_kept) return Place::below;
    if (s.t_max_flag && x > s.t_max) return Place::above;
    return Place::inside;
}

// A mass of a discrete type lies on whole numbers only (the normal
// approximations excepted: theirs are the masses of unit intervals).
inline bool off_the_whole_numbers(const DistSlot& s, double x) {
    return support_row(s.dtype).whole_numbers && x != std::floor(x);
}

// A value of a normal approximation made whole: x + 0.5 truncated toward
// zero, as an integer conversion gives it but kept as a double (no overflow),
// and never −0 (a value between −1.5 and −0.5 is +0).
inline double made_whole(double x) {
    const double w = std::trunc(x + 0.5);
    return w == 0.0 ? 0.0 : w;
}

// The one value of a degenerate slot: its value where no cut excludes it;
// where one does no mass is left, and the slot reports the cut point on the
// value's side.
inline double degenerate_value(const DistSlot& s) {
    if (s.t_min_flag && s.mean < s.t_min) return s.t_min;
    if (s.t_max_flag && s.mean > s.t_max) return s.t_max;
    return s.mean;
}

// The logarithm of the untruncated distribution's tail at x on `side`
// (kLowerTail: F(x); kUpperTail: 1 − F(x)) and of its density, for the types
// a truncation can measure from a tail (normal, lognormal); NaN for the others.
double log_tail(const DistSlot& s, int side, double x);
double log_density(const DistSlot& s, double x);

// The transform of an untruncated slot: factor 1, nothing cut below, no tail,
// no cut in force.
inline void clear_truncation(DistSlot& s) {
    s.t_factor = 1.0;
    s.t_pbelow = 0.0;
    s.t_tail = kNoTail;
    s.cut_in_force = 0;
}

// (e^a − e^b) / e^log_kept for two logarithms of tail masses, without forming
// the masses: exact 0 for equal ones, full relative precision when they are close.
inline double tail_mass_share(double a, double b, double log_kept) {
    if (a == b) return 0.0;
    if (std::isinf(a)) return -elem::exp(b - log_kept);  // a is -infinity: no mass
    return -elem::expm1(b - a) * elem::exp(a - log_kept);
}

// A density or mass of the untruncated distribution (v, at x), rescaled to the
// slot's truncated range. A slot truncated in a tail divides in logarithms,
// where the density and the kept mass may both underflow.
inline double truncated_density(const DistSlot& s, double x, double v) {
    if (s.t_tail != kNoTail) return elem::exp(log_density(s, x) - s.t_log_kept);
    return v * s.t_factor;
}

// Undoes truncated_density() once for a sum or an integral of scaled densities,
// so that it can be put through truncated_cumulative() like any other value.
// (Only types without a tail formula sum or integrate their cumulative.)
inline double untruncated_total(const DistSlot& s, double total) { return total / s.t_factor; }

// The truncation transform of an untruncated cumulative value f at x: the mass
// cut off below is removed and the rest rescaled. Not clamped, so values
// outside the truncated range fall below 0 or above 1. A slot truncated in a
// tail takes the kept share from that tail instead of from f:
// (S(t_min) − S(x)) / kept above the median, (F(x) − F(t_min)) / kept below it.
inline double truncated_cumulative(const DistSlot& s, double x, double f) {
    if (s.t_tail == kUpperTail) return tail_mass_share(s.t_log_tail_min, log_tail(s, kUpperTail, x), s.t_log_kept);
    if (s.t_tail == kLowerTail) return tail_mass_share(log_tail(s, kLowerTail, x), s.t_log_tail_min, s.t_log_kept);
    return (f - s.t_pbelow) * s.t_factor;
}

// The probabilities of the quantiles that stand in for a missing bound (the
// ends of the reported range), and of the median.
constexpr double kRangeLowProbability = 0.005;
constexpr double kMedianProbability = 0.5;
constexpr double kRangeHighProbability = 0.995;

// A probability at or below 0 (or not a number) answers the low end of the
// reported range, one at or above 1 the high end. Returns false for a
// probability strictly inside (0, 1), leaving `end` untouched.
inline bool range_end_for_probability(const DistSlot& s, double p, double& end) {
    if (!(p > 0)) {
        end = s.dminimum;
        return true;
    }
    if (p >= 1) {
        end = s.dmaximum;
        return true;
    }
    return false;
}

}  // namespace kvz
