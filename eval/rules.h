// The rules every evaluation shares, each in one place: how truncation scales
// a density and transforms a cumulative value, and what a probability at or
// beyond the ends of [0, 1] answers.
#pragma once

#include "interface/slot.h"

namespace kvz {

// A density or mass of the untruncated distribution, rescaled to the slot's
// truncated range.
inline double truncated_density(const DistSlot& s, double v) { return v * s.t_factor; }

// Undoes truncated_density() once for a sum or an integral of scaled densities,
// so that it can be put through truncated_cumulative() like any other value.
inline double untruncated_total(const DistSlot& s, double total) { return total / s.t_factor; }

// The truncation transform of an untruncated cumulative value: the mass cut off
// below is removed and the rest rescaled. Not clamped, so values outside the
// truncated range fall below 0 or above 1.
inline double truncated_cumulative(const DistSlot& s, double f) {
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
