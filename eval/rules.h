// The rules every evaluation shares, each in one place: how truncation scales
// a density and transforms a cumulative value, and what a probability at or
// beyond the ends of [0, 1] answers.
#pragma once

#include <cmath>

#include "eval/eval.h"
#include "interface/slot.h"

namespace kvz {

// The transform of an untruncated slot: factor 1, nothing cut below, no tail.
inline void clear_truncation(DistSlot& s) {
    s.t_factor = 1.0;
    s.t_pbelow = 0.0;
    s.t_tail = kNoTail;
}

// (e^a − e^b) / e^log_kept for two logarithms of tail masses, without forming
// the masses: exact 0 for equal ones, full relative precision when they are close.
inline double tail_mass_share(double a, double b, double log_kept) {
    if (a == b) return 0.0;
    if (std::isinf(a)) return -std::exp(b - log_kept);  // a is -infinity: no mass
    return -std::expm1(b - a) * std::exp(a - log_kept);
}

// A density or mass of the untruncated distribution (v, at x), rescaled to the
// slot's truncated range. A slot truncated in a tail divides in logarithms,
// where the density and the kept mass may both underflow.
inline double truncated_density(const DistSlot& s, double x, double v) {
    if (s.t_tail != kNoTail) return std::exp(log_density(s, x) - s.t_log_kept);
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
