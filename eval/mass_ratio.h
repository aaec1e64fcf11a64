// The ratio m(x + 1) / m(x) of consecutive masses of the discrete types whose
// masses follow an exact recurrence, beside the mass formulas (density.cpp)
// that it mirrors.
#pragma once

#include <limits>

#include "eval/rules.h"
#include "interface/catalogue.h"
#include "interface/slot.h"

namespace kvz {

// A ratio of consecutive masses as a function of a whole x: r(x) =
// m(x + 1) / m(x), and its reciprocal formed without dividing by r (a walk
// downward multiplies by it, and a division is several times dearer than a
// product). The two agree to a few roundings, far inside the error the
// walks allow an estimated mass.
template <class Forward, class Backward>
struct MassRatio {
    Forward forward;
    Backward backward;
    double operator()(double x) const { return forward(x); }
    double inverse(double x) const { return backward(x); }
};
template <class Forward, class Backward>
MassRatio<Forward, Backward> mass_ratio_of(Forward forward, Backward backward) {
    return {forward, backward};
}

// Hands use() the slot's ratio (a MassRatio), from the parameters as the
// mass formulas read them: mean / (x + 1) for the Poisson, 1 − p for the
// geometric (mass (1 − p)^x p), (n − x) / (x + 1) · p / (1 − p) for the
// binomial, θ x / (x + 1) for the logarithmic series, and
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
                return use(mass_ratio_of([mean = s.mean](double x) { return mean / (x + 1); },
                                         [per_mean = 1 / s.mean](double x) { return (x + 1) * per_mean; }));
            case kGeometric:
                return use(mass_ratio_of([q = 1 - s.p](double) { return q; },
                                         [per_q = 1 / (1 - s.p)](double) { return per_q; }));
            case kBinomial: {
                const double n = s.n;
                return use(mass_ratio_of(
                    [n, odds = s.p / (1 - s.p)](double x) { return (n - x) / (x + 1) * odds; },
                    [n, against = (1 - s.p) / s.p](double x) { return (x + 1) / (n - x) * against; }));
            }
            case kLogSeries:
                return use(mass_ratio_of([theta = s.shape_a](double x) { return theta * x / (x + 1); },
                                         [theta = s.shape_a](double x) { return (x + 1) / (theta * x); }));
            case kHypergeometric: {
                const double k = s.popsuc, n = s.sam, rest = s.pop - s.popsuc - s.sam;
                return use(mass_ratio_of(
                    [k, n, rest](double x) { return (k - x) * (n - x) / ((x + 1) * (rest + x + 1)); },
                    [k, n, rest](double x) { return (x + 1) * (rest + x + 1) / ((k - x) * (n - x)); }));
            }
            default:
                break;
        }
    }
    constexpr auto kNone = [](double) { return std::numeric_limits<double>::quiet_NaN(); };
    return use(mass_ratio_of(kNone, kNone));
}

// density_across_cut(s, x + 1) / density_across_cut(s, x) as the recurrence
// gives it at a whole x; not a number for the types without one. The
// library's masses follow it to within 2e-12 relative over the values their
// walks reach (see kMassEstimateError in eval/masses.h).
inline double mass_ratio(const DistSlot& s, double x) {
    return with_mass_ratio(s, [x](auto ratio) { return ratio(x); });
}

}  // namespace kvz
