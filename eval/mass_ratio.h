// The ratio m(x + 1) / m(x) of consecutive masses of the discrete types whose
// masses follow an exact recurrence, beside the mass formulas (density.cpp)
// that it mirrors.
#pragma once

#include <limits>

#include "eval/rules.h"
#include "interface/catalogue.h"
#include "interface/slot.h"

namespace kvz {

// Hands use() the slot's ratio as a function of a whole x, from the
// parameters as the mass formulas read them: mean / (x + 1) for the Poisson,
// 1 − p for the geometric (mass (1 − p)^x p), (n − x) / (x + 1) · p / (1 − p)
// for the binomial, θ x / (x + 1) for the logarithmic series, and
// (K − x)(n − x) / ((x + 1)(N − K − n + x + 1)) for the hypergeometric. A cut
// rescales every mass by one factor, which the ratio leaves alone. Not a
// number for every other type (the normal approximations, the continuous
// types) and for a tail truncation, which forms each mass from logarithms of
// its own. One dispatch, so that a loop over many ratios is one function of x.
template <class Use>
decltype(auto) with_mass_ratio(const DistSlot& s, Use&& use) {
    if (s.t_tail == kNoTail) {
        switch (kDensityAlias(s.dtype)) {
            case kPoisson:
                return use([mean = s.mean](double x) { return mean / (x + 1); });
            case kGeometric:
                return use([q = 1 - s.p](double) { return q; });
            case kBinomial:
                return use([n = static_cast<double>(s.n), odds = s.p / (1 - s.p)](double x) {
                    return (n - x) / (x + 1) * odds;
                });
            case kLogSeries:
                return use([theta = s.shape_a](double x) { return theta * x / (x + 1); });
            case kHypergeometric:
                return use([k = s.popsuc, n = s.sam, rest = s.pop - s.popsuc - s.sam](double x) {
                    return (k - x) * (n - x) / ((x + 1) * (rest + x + 1));
                });
            default:
                break;
        }
    }
    return use([](double) { return std::numeric_limits<double>::quiet_NaN(); });
}

// density_across_cut(s, x + 1) / density_across_cut(s, x) as the recurrence
// gives it at a whole x; not a number for the types without one. The
// library's masses follow it to within 2e-12 relative over the values their
// walks reach (see kMassEstimateError in eval/masses.h).
inline double mass_ratio(const DistSlot& s, double x) {
    return with_mass_ratio(s, [x](auto ratio) { return ratio(x); });
}

}  // namespace kvz
