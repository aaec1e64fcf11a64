// Where the mass of a discrete slot lies, so that sums over whole numbers need
// not visit the values whose masses have underflowed to zero.
#include <cmath>
#include <limits>

#include "eval/eval.h"
#include "interface/catalogue.h"

namespace kvz {

namespace {

// A whole number at or next to the peak of the untruncated mass, or NaN where
// nothing is skipped: types whose mass falls from the start of their support,
// and the normal approximations, whose masses (differences of rounded normal
// probabilities) can be zero between positive ones.
double mass_peak(const DistSlot& s) {
    switch (s.dtype) {
        case kPoisson:
            return std::floor(s.mean);
        case kBinomial:
            return std::floor(s.n * s.p);
        case kHypergeometric:
            return std::floor(s.sam * s.popsuc / s.pop);
        default:
            return std::numeric_limits<double>::quiet_NaN();
    }
}

}  // namespace

bool zero_mass_ends_tail(const DistSlot& s) {
    return s.dtype != kNormalBinomial && s.dtype != kNormalPoisson;
}

double skip_zero_masses(const DistSlot& s, double first, double last) {
    if (!(density_across_cut(s, first) == 0)) return first;
    double hi = mass_peak(s);
    if (!(hi > first)) return first;
    if (hi > last) {
        // The whole stretch lies below the peak: zero at its end, zero throughout.
        if (density_across_cut(s, last) == 0) return std::floor(last) + 1;
        hi = last;
    }
    if (!(density_across_cut(s, hi) > 0)) return first;
    // density(lo) is zero and density(hi) positive throughout.
    double lo = first;
    while (hi - lo > 1) {
        const double mid = std::floor(lo + (hi - lo) / 2);
        if (mid <= lo || mid >= hi) break;  // beyond whole-number precision
        if (density_across_cut(s, mid) == 0)
            lo = mid;
        else
            hi = mid;
    }
    return hi;
}

}  // namespace kvz
