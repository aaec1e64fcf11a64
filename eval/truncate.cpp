// The truncation step of dinitialise and its two moment tools.
//
// truncate() measures the probability mass cut away below t_min and above
// t_max on the untruncated distribution, stores the factor that rescales the
// density and the cumulative distribution, sets the reported range and
// recomputes the statistics of the truncated distribution numerically, either
// from the density (density_moment) or from equal-probability strips of the
// inverse (quantile_moment). The strips give the mode; a continuous slot's
// mean and central moments are then integrated exactly over the whole
// truncated range (exact_moments).
#include <cmath>
#include <limits>

#include "eval/eval.h"
#include "eval/masses.h"
#include "eval/rules.h"
#include "special/elementary.h"

namespace kvz {
namespace {

// A side without a bound of its own is stripped (and summed) out to these
// quantiles of the distribution: the strips' mode search and a discrete
// slot's sums end there.
constexpr double kFreeLowerQuantile = 0.0001;
constexpr double kFreeUpperQuantile = 0.9999;
// A side without a bound or a cut reports these quantiles as its range end.

// Quantile strips: 100 strips between the percentiles, each of probability 0.01.
constexpr int kQuantileStrips = 100;
constexpr double kStripProbability = 0.01;

// Moment kinds: the integrand g(m) at an abscissa m.
enum MomentKind : int { kRaw = 1, kCentred = 2, kSecond = 3, kThird = 4, kFourth = 5 };

double moment_integrand(const DistSlot& s, int kind, double m) {
    switch (kind) {
    case kRaw: return m;
    case kCentred: return m - s.dmean;
    case kSecond: {
        const double d = m - s.dmean;
        return d * d;
    }
    case kThird: {
        const double d = m - s.dmean;
        return d * d * d;
    }
    case kFourth: {
        const double d = m - s.dmean;
        return d * d * d * d;
    }
    default: return 1.0;
    }
}

// Continuous moment: trapezoid strips weighted by the integrand at each
// strip's midpoint, the strip count doubling per level. Every level
// re-evaluates all its points and repeats the mode search over them. The
// levels are those of halved_until_settled, written out: through it this
// loop, most of a truncated dinitialise, measured 7 % slower.
double strip_moment(DistSlot& s, int kind, double lo, double hi) {
    if (lo == hi) return 0.0;
    double sum = 0.0;
    double prev = 0.0;
    int n = 1;
    for (int level = 1; level <= kMaxHalvingLevels; ++level) {
        sum = 0.0;
        const double h = (hi - lo) / n;
        double x = lo;
        double f_right = 0.0;
        double fmax = 0.0;
        for (int j = 1; j <= n; ++j) {
            // The uncut density: x + h may land an ulp beyond a cut at hi,
            // where the cut density would drop the last half strip.
            const double f_left = (j == 1) ? density_across_cut(s, x) : f_right;
            f_right = density_across_cut(s, x + h);
            // The right end of the first strip is not a candidate; ties keep
            // the earlier abscissa.
            if (j == 1) {
                fmax = f_left;
                s.dmode = x;
            } else if (f_right > fmax) {
                fmax = f_right;
                s.dmode = std::fmin(x + h, hi);
            }
            sum = sum + (f_left + f_right) * h / 2 * moment_integrand(s, kind, x + h / 2);
            x = x + h;
        }
        if (halving_settled(level, sum, prev)) return sum;
        prev = sum;
        n = 2 * n;
    }
    return sum;
}

// A window far wider than the core of the distribution (a Cauchy cut at
// [−1, 1e6], a lognormal of lstdev 2 cut at 1e4) leaves the equal strips above
// wider than the core at every level, and the moments those of a handful of
// density values (a mean of 202172 for 5.72, of 5.83 for 7.36). Such a window is stripped
// evenly in y = asinh((x − centre) / width) instead: strips of the core's
// scale near the centre and wider ones out in the tail, where x f(x) changes
// on the scale of x itself. The strips weigh the density by dx/dy =
// width cosh y, in the same trapezoid and the same halving rule.
// A window whose far end lies beyond the reach of the strips (more than
// kWidestStretch in y, or, for a tail too heavy for a variance, where the
// density is no longer a normal number and the tail's share of the moments
// cannot be formed) is not measured: its moments are withdrawn rather than
// given from part of the tail.
struct StripScale {
    bool stretched = false;
    bool beyond_reach = false;
    double centre = 0;
    double width = 1;
    double y_of(double x) const { return elem::asinh((x - centre) / width); }
    double x_of(double y) const { return centre + width * elem::sinh(y); }
    double slope(double y) const { return width * elem::cosh(y); }
};

double stretched_strip_moment(DistSlot& s, int kind, double lo, double hi, const StripScale& scale) {
    const double a = scale.y_of(lo);
    const double b = scale.y_of(hi);
    // The window's own ends, not their images through asinh and back.
    const auto x_at = [&](int j, int n, double h) { return j == 0 ? lo : j == n ? hi : scale.x_of(a + j * h); };
    const double density_lo = density_across_cut(s, lo);
    return halved_until_settled([&](int n) {
        double sum = 0.0;
        const double h = (b - a) / n;
        double f_right = 0.0;
        double fmax = density_lo;
        s.dmode = lo;
        for (int j = 1; j <= n; ++j) {
            const double f_left = (j == 1) ? density_lo * scale.slope(a) : f_right;
            const double x_right = x_at(j, n, h);
            const double d_right = density_across_cut(s, x_right);
            f_right = d_right * scale.slope(a + j * h);
            if (d_right > fmax) {
                fmax = d_right;
                s.dmode = x_right;
            }
            sum = sum + (f_left + f_right) * h / 2 * moment_integrand(s, kind, scale.x_of(a + (j - 0.5) * h));
        }
        return sum;
    });
}

// Discrete moments: the integrand weighted by the mass at every whole number
// of the window, with the mode search over the same masses. Several kinds are
// summed in one pass over the masses; each kind's sum takes the same terms in
// the same order as it would alone.
constexpr int kMaxKindsPerPass = 3;

// Whether the term at m is past the centre of its integrand: the integrand
// (m, or m less the mean, to a power) is positive and grows from m − 1 on. A
// term there is the one before it times the growth of the integrand (which
// slows) times the ratio of successive masses (which falls for every directly
// formed discrete mass): once such a term is smaller than the one before it,
// every later one is smaller still.
bool past_integrand_centre(const DistSlot& s, int kind, double m) {
    return kind == kRaw ? m - 1 > 0 : m - 1 > s.dmean;
}

// The sums start after the masses that underflowed to zero below the peak
// (they add nothing and cannot be the mode) and end where no later mass can
// change them: at two zero masses in a row, or, for the types whose masses
// are formed directly, once every sum's term is falling and absorbed; for the
// normal approximations, after the last mass that is not zero. False
// when the sums are not the answer: the walk reached kMaxMassTerms masses or
// a sum is not a number.
bool sum_moments(DistSlot& s, const int* kinds, double* sums, int count, double lo, double hi) {
    double last_term[kMaxKindsPerPass];
    for (int k = 0; k < count; ++k) {
        sums[k] = 0.0;
        last_term[k] = std::numeric_limits<double>::quiet_NaN();
    }
    double fmax = 0.0;
    bool first = true;
    const WalkRules rules{.skip_zeros = true, .settle = zero_mass_ends_tail(s), .two_zeros = true};
    WholeRange r = whole_range(s, lo, hi);
    r.last = last_moving_mass(s, r.first, r.last);
    const WalkEnd end = walk_masses_up(s, r, rules, [&](double i, double p) {
        // A pass that sums nothing (the mode search alone) never settles early.
        bool unchanged = count > 0;
        bool undefined = false;
        for (int k = 0; k < count; ++k) {
            const double term = moment_integrand(s, kinds[k], i) * p;
            const double next = sums[k] + term;
            const bool falling = std::fabs(term) < std::fabs(last_term[k]);
            if (!(next == sums[k] && falling && past_integrand_centre(s, kinds[k], i))) unchanged = false;
            sums[k] = next;
            last_term[k] = term;
            if (std::isnan(next)) undefined = true;
        }
        if (first || p > fmax) {
            fmax = p;
            s.dmode = i;
            first = false;
        }
        if (undefined) return Flow::undefined;
        return unchanged ? Flow::unchanged : Flow::more;
    });
    return walk_complete(end);
}

// One kind's sum; not a number when the walk did not complete.
double sum_moment(DistSlot& s, int kind, double lo, double hi) {
    double sum;
    if (!sum_moments(s, &kind, &sum, 1, lo, hi)) return std::numeric_limits<double>::quiet_NaN();
    return sum;
}

// One side of the truncation: the mass it cuts away and the limit of the
// moment window on that side.
struct Side {
    double mass;
    double limit;
};

// A cumulative value that is not a number cuts nothing.
double mass_or_nothing(double f) { return std::isnan(f) ? 0.0 : f; }

// A side with a bound of its own cuts only where the truncation point lies
// inside it; where it does not, the moments run from the bound, since the
// density formulas are not zero beyond it. A side without a bound cuts at the
// truncation point wherever that lies: its working end is only a quantile.
Side lower_side(DistSlot& s, bool bounded) {
    if (!s.t_min_flag) return {0.0, s.min_exists ? s.minimum : inverse(s, kFreeLowerQuantile)};
    s.min_exists = 1;
    if (bounded && !(s.t_min > s.minimum)) return {0.0, s.minimum};
    // A discrete slot keeps the mass of t_min itself.
    const double below = (s.dclass == 1) ? s.t_min : s.t_min - 1;
    return {mass_or_nothing(cumulative(s, below)), s.t_min};
}

// Without a cut, the upper side of a type whose maximum is only a search end
// does not end its window: the sums run on to where the masses end.
Side upper_side(DistSlot& s, bool bounded) {
    if (!s.t_max_flag) {
        if (upper_end_is_search_end(s)) return {0.0, std::numeric_limits<double>::infinity()};
        return {0.0, bounded ? s.maximum : inverse(s, kFreeUpperQuantile)};
    }
    s.max_exists = 1;
    if (bounded && !(s.t_max < s.maximum)) return {0.0, s.maximum};
    return {mass_or_nothing(1.0 - cumulative(s, s.t_max)), s.t_max};
}

// The truncation measured from a tail: which tail, the logarithms of that
// tail at t_min and of the mass kept between the cuts.
struct TailCut {
    int side;
    double log_min;
    double log_kept;
};

constexpr double kNoMass = -std::numeric_limits<double>::infinity();
constexpr double kLogHalf = -0.6931471805599453;  // ln 1/2

// ln(e^near − e^far) for far ≤ near, without forming either value.
double log_mass_between(double near, double far) {
    if (far == kNoMass) return near;
    const double d = far - near;
    return near + (d > kLogHalf ? elem::log(-elem::expm1(d)) : elem::log1p(-elem::exp(d)));
}

// A cut lies in a tail when both cuts lie beyond the median on one side: a
// lower cut above it (the upper tail at t_min holds less than half the mass)
// or an upper cut below it (likewise the lower tail at t_max). There the
// masses of the cumulative distribution cancel (1 − F with F near 1 at both
// ends) or underflow, so the kept mass is measured from that tail, in
// logarithms: S(t_min) − S(t_max) above the median, F(t_max) − F(t_min) below
// it. Every other truncation, and every type without a tail formula (whose
// log_tail is NaN), keeps the masses of the cumulative distribution. As with
// those, a far cut whose tail is not a number cuts nothing.
TailCut tail_cut(const DistSlot& s) {
    auto far_tail = [&](int side, Flag flag, double cut) {
        const double v = flag ? log_tail(s, side, cut) : kNoMass;
        return std::isnan(v) ? kNoMass : v;
    };
    const double above_min = s.t_min_flag ? log_tail(s, kUpperTail, s.t_min) : 0.0;
    if (above_min < kLogHalf) {
        const double far = far_tail(kUpperTail, s.t_max_flag, s.t_max);
        return {kUpperTail, above_min, log_mass_between(above_min, far)};
    }
    const double below_max = s.t_max_flag ? log_tail(s, kLowerTail, s.t_max) : 0.0;
    if (below_max < kLogHalf) {
        const double far = far_tail(kLowerTail, s.t_min_flag, s.t_min);
        return {kLowerTail, far, log_mass_between(below_max, far)};
    }
    return {kNoTail, 0.0, 0.0};
}

// Stores the transform the density and the cumulative distribution apply from
// now on; false (storing nothing) when the truncation leaves no mass.
bool store_transform(DistSlot& s, const TailCut& tail, const Side& below, const Side& above) {
    if (tail.side != kNoTail) {
        if (!(tail.log_kept > kNoMass)) return false;
        s.t_tail = tail.side;
        s.t_log_tail_min = tail.log_min;
        s.t_log_kept = tail.log_kept;
        s.t_factor = elem::exp(-tail.log_kept);
        s.t_pbelow = tail.side == kUpperTail ? -elem::expm1(tail.log_min) : elem::exp(tail.log_min);
        return true;
    }
    const double factor = 1.0 / (1.0 - below.mass - above.mass);
    if (!(factor > 0.0 && std::isfinite(factor))) return false;
    s.t_factor = factor;
    s.t_pbelow = below.mass;
    return true;
}

// A type whose working maximum is only where its upper-bound search stopped
// searches again, on the truncated masses, when a cut below has moved mass
// beyond it: its maximum (the reported upper end, the end of the inverse's
// bracket and of the sampling table's range) then covers kBoundSearchMass of
// the truncated mass. Where it already does, it stays.
void extend_search_end(DistSlot& s, const Side& below) {
    if (!upper_end_is_search_end(s) || s.t_max_flag || !(below.mass > 0.0)) return;
    const double from = whole_range(s, below.limit, below.limit).first;
    double covered = 0.0;
    walk_masses_up(s, {from, s.maximum - 1}, {.skip_zeros = true},
                   [&](double, double mass) { return add_mass(covered, mass); });
    if (covered >= kBoundSearchMass) return;
    s.maximum = search_end(s, std::fmax(from, s.maximum), covered);
}

// A cut on one side and a bound of the distribution on the other leave the
// truncated distribution bounded on both sides: all its moments exist.
void grant_moments(DistSlot& s, bool bounded_below, bool bounded_above) {
    if ((s.t_min_flag && bounded_above) || (s.t_max_flag && bounded_below)) {
        s.avg_exists = 1;
        s.var_exists = 1;
        s.skw_exists = 1;
        s.krt_exists = 1;
    }
}

// The cut point nearest to where the mass lay: a one-sided cut reports its
// own point, a two-sided one the side that cut away the larger mass (in a
// tail, the cut nearer the median).
double nearest_cut(const DistSlot& s, const TailCut& tail, const Side& below, const Side& above) {
    if (!s.t_max_flag) return s.t_min;
    if (!s.t_min_flag) return s.t_max;
    if (tail.side != kNoTail) return tail.side == kUpperTail ? s.t_min : s.t_max;
    return (below.mass >= above.mass) ? s.t_min : s.t_max;
}

// A truncation that leaves no mass has no distribution to describe. The slot
// then reports the single point c: range, mean, mode and median c, variance
// and deviation 0, no skewness or kurtosis. The density and the cumulative
// distribution are left unscaled (factor 1, nothing below) so that every
// query still answers with the untruncated values rather than a division by
// zero.
void report_point(DistSlot& s, double c) {
    clear_truncation(s);
    s.min_exists = 1;
    s.max_exists = 1;
    s.avg_exists = 1;
    s.var_exists = 1;
    s.mod_exists = 1;
    s.med_exists = 1;
    s.skw_exists = 0;
    s.krt_exists = 0;
    s.dminimum = c;
    s.dmaximum = c;
    s.dmean = c;
    s.dmode = c;
    s.dmedian = c;
    s.dvariance = 0.0;
    s.dstdev = 0.0;
}

// Whether the moment window [lo, hi] holds anything to integrate or sum.
bool window_holds_mass(const DistSlot& s, double lo, double hi) {
    if (s.dclass == 1) return lo < hi;
    const WholeRange r = whole_range(s, lo, hi);
    return r.first <= r.last;
}

// A discrete window holding a single whole number is that value with
// certainty: its mean and variance are exact, and it has no skewness or
// kurtosis (the sums would give rounding noise over rounding noise).
void single_value_statistics(DistSlot& s, double value) {
    s.dmode = value;
    if (s.med_exists) s.dmedian = value;
    s.skw_exists = 0;
    s.krt_exists = 0;
    if (!s.avg_exists) return;
    s.dmean = value;
    if (!s.var_exists) return;
    s.dvariance = 0.0;
    s.dstdev = 0.0;
}

// A moment sum that did not complete withdraws what it measures: the values
// become not a number and their flags are cleared.
void withdraw_central_moments(DistSlot& s) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    s.var_exists = 0;
    s.skw_exists = 0;
    s.krt_exists = 0;
    s.dvariance = kNaN;
    s.dstdev = kNaN;
    s.dskewness = kNaN;
    s.dkurtosis = kNaN;
}

// Likewise the mean, the mode its pass searched for and every moment centred on it.
void withdraw_mean(DistSlot& s) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    s.avg_exists = 0;
    s.mod_exists = 0;
    s.dmean = kNaN;
    s.dmode = kNaN;
    withdraw_central_moments(s);
}

// A cut far beyond the mass (a t_max of 1e200 on a normal) would leave the
// strips of density_moment wider than the whole distribution, its moments
// and mode those of a handful of density values. The spread is the width
// between the truncated distribution's free quantiles; a cut more than
// kFarCutSpreads spreads beyond the free quantile on its side is moved in to
// one spread beyond it, where a tail light enough for the distribution to
// have a variance has little left to add and the strips resolve the mass as
// they do for a near cut. Nearer cuts keep their window and their bits; so
// do types without a variance (a Cauchy), whose far tail the moments need.
constexpr double kFarCutSpreads = 8;

void pull_in_far_cuts(const DistSlot& s, bool has_variance, double& lo, double& hi) {
    if (s.dclass != 1 || s.moment_method == 1 || !has_variance) return;
    const bool cut_below = s.t_min_flag && lo == s.t_min;
    const bool cut_above = s.t_max_flag && hi == s.t_max;
    if (!cut_below && !cut_above) return;
    const double first = inverse(s, kFreeLowerQuantile);
    const double last = inverse(s, kFreeUpperQuantile);
    const double spread = last - first;
    if (!(spread > 0) || !std::isfinite(spread)) return;
    if (cut_below && first - lo > kFarCutSpreads * spread) lo = first - spread;
    if (cut_above && hi - last > kFarCutSpreads * spread) hi = last + spread;
}

// A window is stretched (StripScale) once it is wider than kStretchedWindow
// half interquartile ranges of the truncated distribution: the equal strips'
// finest level (512 strips) then puts fewer than eight strips across the
// core. Narrower windows keep their strips and bits; so do the far cuts of
// the types with a variance once pulled in (the normal's window is then at
// most about 35 half ranges).
constexpr double kStretchedWindow = 128;
// At most this long in y: the finest level's strips are then 1/8 wide.
constexpr double kWidestStretch = 64;

// The truncated distribution's core: the midpoint of its quartiles and half
// their distance (width 0 where the strips are not density strips).
struct Core {
    double centre = 0;
    double width = 0;
};

Core strip_core(DistSlot& s) {
    if (s.dclass != 1 || s.moment_method == 1) return {};
    const double q1 = inverse(s, 0.25);
    const double q3 = inverse(s, 0.75);
    return {(q1 + q3) / 2, (q3 - q1) / 2};
}

StripScale strip_scale(DistSlot& s, const Core& core, bool has_variance, double lo, double hi) {
    const double width = core.width;
    if (!(width > 0) || !std::isfinite(width) || !(hi - lo > kStretchedWindow * width)) return {};
    StripScale scale{.stretched = true, .centre = core.centre, .width = width};
    const auto measurable_end = [&](double x) { return density(s, x) >= std::numeric_limits<double>::min(); };
    scale.beyond_reach = !(scale.y_of(hi) - scale.y_of(lo) <= kWidestStretch) ||
                         (!has_variance && (!measurable_end(lo) || !measurable_end(hi)));
    return scale;
}

// The statistics of the truncated distribution, in a fixed order: the
// central moments are centred on the mean stored first.
void truncated_statistics(DistSlot& s, double lo, double hi, const StripScale& scale) {
    const bool by_quantiles = s.moment_method == 1;
    if (by_quantiles) s.mod_exists = 0;
    if (scale.beyond_reach) withdraw_mean(s);
    auto moment = [&](int kind) {
        if (by_quantiles) return quantile_moment(s, kind);
        return scale.stretched ? stretched_strip_moment(s, kind, lo, hi, scale) : density_moment(s, kind, lo, hi);
    };
    bool have_v = false, have_m3 = false, have_m4 = false;
    double v = 0.0, m3 = 0.0, m4 = 0.0;
    if (s.avg_exists) {
        const bool summed = !by_quantiles && s.dclass != 1;
        int raw = kRaw;
        if (!summed) s.dmean = moment(kRaw);
        else if (!sum_moments(s, &raw, &s.dmean, 1, lo, hi)) withdraw_mean(s);
        have_v = s.var_exists != 0;
        have_m3 = s.skw_exists != 0;
        have_m4 = s.krt_exists != 0;
        if (summed && s.avg_exists) {
            // The central moments of a discrete slot share one pass over its masses.
            int kinds[kMaxKindsPerPass];
            double* targets[kMaxKindsPerPass];
            int count = 0;
            auto ask = [&](bool wanted, int kind, double* target) {
                if (!wanted) return;
                kinds[count] = kind;
                targets[count] = target;
                ++count;
            };
            ask(have_v, kSecond, &v);
            ask(have_m3, kThird, &m3);
            ask(have_m4, kFourth, &m4);
            double sums[kMaxKindsPerPass];
            if (sum_moments(s, kinds, sums, count, lo, hi)) {
                for (int k = 0; k < count; ++k) *targets[k] = sums[k];
            } else {
                withdraw_central_moments(s);
                have_v = have_m3 = have_m4 = false;
            }
        } else if (!summed) {
            if (have_v) v = moment(kSecond);
            if (have_m3) m3 = moment(kThird);
            if (have_m4) m4 = moment(kFourth);
        }
    }
    if (s.med_exists) s.dmedian = inverse(s, kMedianProbability);
    if (!have_v) return;
    s.dvariance = v;
    s.dstdev = std::sqrt(v);
    if (v == 0.0) {
        // All the mass on one value: no shape to measure (0 / 0).
        s.skw_exists = 0;
        s.krt_exists = 0;
        return;
    }
    if (have_m3) s.dskewness = m3 / std::sqrt(v * v * v);
    if (have_m4) s.dkurtosis = m4 / v / v;
}

// The exact moments of a continuous truncated distribution. The strips
// above integrate a window that ends at a working quantile on a free side
// and lose the mass beyond it (an exponential cut below at 9 had a mean of
// 1.79, below its own cut); these integrate the density over the whole
// truncated range, free sides out to infinity, and divide by the mass they
// measure, so that the moments are those of the density as evaluated.
//
// The range is split at the centre of the truncated distribution's core (and
// at the type's mode and mean, where a density may have a kink) into
// segments, each grown away from the centre in pieces four times wider than
// the last, so that every piece sees the density on its own scale: a window
// reaching 1e6 core widths is some ten pieces. A bounded piece is integrated
// by the tanh-sinh rule (the density may have a pole at a bound: the nodes
// crowd towards both ends double exponentially and never touch them); a
// side running to infinity by the exp-sinh rule, x = anchor ± width e^u,
// under which a power-law tail decays double exponentially in t. Each rule
// halves its step in t until two levels agree to 1e-13 of the piece's
// absolute integral.
constexpr double kHalfPi = 1.5707963267948966;
constexpr int kMaxExactIntegrands = 3;
// The t range of the rules: e^(π/2 sinh 6) is 1e137, e^-(π sinh 6) 1e-275.
constexpr double kRuleReach = 6.0;
constexpr int kRuleLevels = 8;  // steps 1 to 1/128
constexpr double kRuleAgreement = 1e-13;
constexpr double kPieceGrowth = 4.0;
constexpr int kMaxPieces = 520;  // 4^520 widths reach past the largest double

// A piece of the range: [a, b] (bounded), or from `a` out to infinity in the
// direction `dir` (+1 or −1), width the scale of its first stretch.
struct Piece {
    bool bounded;
    double a, b;
    double dir;
    double width;
};

// The integrands of one pass: (x − centre)^power, for each of `count` powers.
struct Integrands {
    int count;
    int powers[kMaxExactIntegrands];
    double centre;
};

// Adds to sums[k] the piece's integral of density × (x − centre)^power_k.
// Sets endless[k] where a piece running to infinity still adds at its
// farthest node with a density that is not 0 (out to x near 1e137 widths): an
// integral that does not converge, a moment the truncated distribution does
// not have.
// Returns whether any node found a density that is not 0.
bool integrate_piece(const DistSlot& s, const Piece& p, const Integrands& g, double* sums, bool* endless) {
    double far_term[kMaxExactIntegrands] = {};
    double far_t = 0.0;
    bool any = false;
    double level_sum[kMaxExactIntegrands] = {};
    double level_abs[kMaxExactIntegrands] = {};
    double prev[kMaxExactIntegrands] = {};
    double raw[kMaxExactIntegrands] = {};  // the sum of node terms, before the step
    double raw_abs[kMaxExactIntegrands] = {};
    const double half = (p.b - p.a) / 2;
    auto add_node = [&](double t) {
        const double u = kHalfPi * elem::sinh(t);
        const double du = kHalfPi * elem::cosh(t);
        double x, dx;
        if (p.bounded) {
            // The distance to the nearer end, r (1 − tanh |u|), formed without cancellation.
            const double e = elem::exp(-2 * std::fabs(u));
            const double dist = half * 2 * e / (1 + e);
            x = t < 0 ? p.a + dist : p.b - dist;
            dx = half * 4 * e / ((1 + e) * (1 + e)) * du;
            if (!(x > p.a && x < p.b)) return;
        } else {
            const double r = p.width * elem::exp(u);
            x = p.a + p.dir * r;
            dx = r * du;
            if (!std::isfinite(x)) return;
        }
        const double f = density_across_cut(s, x) * dx;
        if (!(f > 0) || !std::isfinite(f)) return;
        any = true;
        const double d = x - g.centre;
        const bool farthest = t > far_t;
        if (farthest) far_t = t;
        for (int k = 0; k < g.count; ++k) {
            double term = f;
            for (int i = 0; i < g.powers[k]; ++i) term = term * d;
            if (!std::isfinite(term)) continue;
            raw[k] = raw[k] + term;
            raw_abs[k] = raw_abs[k] + std::fabs(term);
            if (farthest) far_term[k] = term;
        }
    };
    double h = 1.0;
    for (int i = -static_cast<int>(kRuleReach); i <= static_cast<int>(kRuleReach); ++i) add_node(i);
    for (int level = 0; level <= kRuleLevels; ++level) {
        if (level > 0) {
            h = h / 2;
            const int n = static_cast<int>(kRuleReach / h);
            for (int i = 1; i <= n; i += 2) {
                add_node(i * h);
                add_node(-i * h);
            }
        }
        bool settled = level >= 2;
        for (int k = 0; k < g.count; ++k) {
            level_sum[k] = raw[k] * h;
            level_abs[k] = raw_abs[k] * h;
            if (!(std::fabs(level_sum[k] - prev[k]) <= kRuleAgreement * level_abs[k])) settled = false;
            prev[k] = level_sum[k];
        }
        if (settled) break;
    }
    for (int k = 0; k < g.count; ++k) {
        sums[k] = sums[k] + level_sum[k];
        if (!p.bounded && std::fabs(far_term[k]) > kRuleAgreement * raw_abs[k]) endless[k] = true;
    }
    return any;
}

// The pieces of the segment from `near` (the end towards the core) to `far`,
// growing away from `near`; an infinite `far` ends in an exp-sinh piece.
int segment_pieces(double near, double far, double width, Piece* out, int room) {
    const double dir = far > near ? 1.0 : -1.0;
    const double length = std::fabs(far - near);
    int count = 0;
    double from = 0.0;  // distance from near
    double step = width;
    while (count < room - 1 && std::isfinite(far) && length > from + kPieceGrowth * step) {
        out[count++] = {true, std::fmin(near + dir * from, near + dir * (from + step)),
                        std::fmax(near + dir * from, near + dir * (from + step)), dir, width};
        from = from + step;
        step = step * kPieceGrowth;
    }
    if (!std::isfinite(far)) {
        out[count++] = {false, near, far, dir, width};
        return count;
    }
    const double start = near + dir * from;
    out[count++] = {true, std::fmin(start, far), std::fmax(start, far), dir, width};
    return count;
}

// Integrals of density × (x − centre)^power over [lo, hi] for one pass.
void integrate_range(const DistSlot& s, double lo, double hi, double core, double width, const Integrands& g,
                     double* sums, bool* endless) {
    for (int k = 0; k < g.count; ++k) {
        sums[k] = 0.0;
        endless[k] = false;
    }
    // The split points inside the range, in order: the core's centre, and the
    // type's mode and mean where a density may have a kink.
    double cuts[5];
    int n = 0;
    cuts[n++] = lo;
    double inner[3] = {core, s.mode, s.mean};
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            if (inner[j] < inner[i]) std::swap(inner[i], inner[j]);
    for (double c : inner)
        if (std::isfinite(c) && c > cuts[n - 1] && c < hi) cuts[n++] = c;
    cuts[n++] = hi;
    Piece pieces[kMaxPieces];
    for (int i = 0; i + 1 < n; ++i) {
        const double a = cuts[i], b = cuts[i + 1];
        // Grow away from the core: from the end nearer to it.
        const bool from_b = a == -std::numeric_limits<double>::infinity() ||
                            (std::isfinite(b) && std::fabs(b - core) < std::fabs(a - core));
        const int count = from_b ? segment_pieces(b, a, width, pieces, kMaxPieces)
                                 : segment_pieces(a, b, width, pieces, kMaxPieces);
        // Growing away from the core, a piece where the density is 0 at
        // every node lies past where it underflows (or past the support):
        // the pieces beyond it add nothing either.
        for (int j = 0; j < count; ++j)
            if (!integrate_piece(s, pieces[j], g, sums, endless) && j > 0) break;
    }
}

// Replaces the mean and the central moments of a continuous truncated slot
// (those whose flags are set) with the exact ones over [lo, hi].
// `known` is the core the strips measured, if they did (width 0 if not).
void exact_moments(DistSlot& s, double lo, double hi, Core known) {
    if (!s.avg_exists) return;
    double core = (std::isfinite(lo) && std::isfinite(hi)) ? lo + (hi - lo) / 2 : 0.0;
    double width = (std::isfinite(lo) && std::isfinite(hi)) ? (hi - lo) / 2 : 0.0;
    if (!(known.width > 0)) {
        const double q1 = inverse(s, 0.25);
        const double q3 = inverse(s, 0.75);
        known = {(q1 + q3) / 2, (q3 - q1) / 2};
    }
    if (std::isfinite(known.centre) && std::isfinite(known.width) && known.width > 0) {
        core = known.centre;
        width = known.width;
    }
    if (!(width > 0) || !std::isfinite(width)) width = 1.0;
    if (!std::isfinite(core)) return;
    double first[2];
    bool endless[kMaxExactIntegrands];
    integrate_range(s, lo, hi, core, width, {2, {0, 1, 0}, core}, first, endless);
    const double mass = first[0];
    if (!(mass > 0) || !std::isfinite(mass)) return;
    if (endless[1]) {
        // A free side too heavy for a mean (a Cauchy cut on one side only).
        s.avg_exists = 0;
        s.dmean = std::numeric_limits<double>::quiet_NaN();
        withdraw_central_moments(s);
        return;
    }
    s.dmean = core + first[1] / mass;
    // A range bounded on both sides has every moment, and its skewness and
    // kurtosis are standardised by its variance even where the variance
    // itself is not reported; a free side without a variance has no
    // higher moments either.
    const bool bounded_range = std::isfinite(lo) && std::isfinite(hi);
    if (!s.var_exists && !bounded_range) {
        s.skw_exists = 0;
        s.krt_exists = 0;
        return;
    }
    if (!s.var_exists && !s.skw_exists && !s.krt_exists) return;
    Integrands central{1, {2, 3, 4}, s.dmean};
    if (s.skw_exists) central.count = 2;
    if (s.krt_exists) central.count = 3;
    double m[3] = {0, 0, 0};
    integrate_range(s, lo, hi, core, width, central, m, endless);
    const double v = m[0] / mass;
    if (s.var_exists) {
        s.dvariance = v;
        s.dstdev = std::sqrt(v);
    }
    if (s.var_exists && endless[0]) {
        withdraw_central_moments(s);
        return;
    }
    if (!(v > 0)) return;
    // A free side too heavy for the third or fourth moment (a Student t of
    // 3 degrees cut on one side only) has none, whatever the untruncated
    // slot reported by symmetry.
    if (s.skw_exists && endless[1]) s.skw_exists = 0;
    if (s.krt_exists && endless[2]) s.krt_exists = 0;
    if (s.skw_exists) s.dskewness = m[1] / mass / std::sqrt(v * v * v);
    if (s.krt_exists) s.dkurtosis = m[2] / mass / v / v;
}

}  // namespace

void truncate(DistSlot& s) {
    // Masses and quantiles below are those of the untruncated distribution.
    clear_truncation(s);
    const bool bounded_below = s.min_exists != 0;
    // The upper end of a type that has none is only where a search stopped.
    const bool bounded_above = s.max_exists != 0 && !upper_end_is_search_end(s);
    const bool has_variance = s.var_exists != 0;  // before the cut grants moments
    grant_moments(s, bounded_below, bounded_above);

    const Side below = lower_side(s, bounded_below);
    const Side above = upper_side(s, bounded_above);
    const TailCut tail = tail_cut(s);
    const bool inverted = s.t_min_flag && s.t_max_flag && s.t_min > s.t_max;
    if (inverted || !store_transform(s, tail, below, above)) {
        report_point(s, nearest_cut(s, tail, below, above));
        return;
    }
    s.cut_in_force = 1;
    extend_search_end(s, below);

    // A cut beyond the quantile that ends a free side leaves the window
    // empty; that side's limit is then taken from the truncated distribution.
    double lo = below.limit;
    double hi = above.limit;
    if (!window_holds_mass(s, lo, hi)) {
        if (!s.t_min_flag && !bounded_below) lo = inverse(s, kFreeLowerQuantile);
        if (!s.t_max_flag && !bounded_above) hi = inverse(s, kFreeUpperQuantile);
        if (!window_holds_mass(s, lo, hi)) {
            report_point(s, nearest_cut(s, tail, below, above));
            return;
        }
    }

    if (s.t_min_flag) s.dminimum = s.t_min;
    else s.dminimum = s.min_exists ? s.minimum : inverse(s, kRangeLowProbability);
    if (s.t_max_flag) s.dmaximum = s.t_max;
    else s.dmaximum = s.max_exists ? s.maximum : inverse(s, kRangeHighProbability);

    // The whole window where the stretched strips reach across it (a heavy
    // tail's share of the moments lies far out); otherwise a far cut on a
    // type with a variance is pulled in first.
    const Core core = strip_core(s);
    StripScale scale = strip_scale(s, core, has_variance, lo, hi);
    if ((!scale.stretched || scale.beyond_reach) && has_variance) {
        const double old_lo = lo, old_hi = hi;
        pull_in_far_cuts(s, has_variance, lo, hi);
        if (lo != old_lo || hi != old_hi) scale = strip_scale(s, core, has_variance, lo, hi);
    }
    if (s.dclass != 1) {
        const WholeRange r = whole_range(s, lo, hi);
        if (r.first == r.last) {
            single_value_statistics(s, r.first);
            return;
        }
    }
    // The strips leave the mode; a continuous slot's moments are then taken
    // exactly over the whole truncated range, free sides out to infinity.
    const Flag var = s.var_exists, skw = s.skw_exists, krt = s.krt_exists;
    truncated_statistics(s, lo, hi, scale);
    if (s.dclass != 1) return;
    // Withdrawn where the density cannot be formed across the window (it
    // underflows while the tail still holds the moments): so it stays.
    if (!s.avg_exists) return;
    s.var_exists = var;
    s.skw_exists = skw;
    s.krt_exists = krt;
    constexpr double kEndless = std::numeric_limits<double>::infinity();
    const double range_lo = (!s.t_min_flag && !bounded_below) ? -kEndless : below.limit;
    const double range_hi = (!s.t_max_flag && !bounded_above) ? kEndless : above.limit;
    exact_moments(s, range_lo, range_hi, core);
}

double density_moment(DistSlot& s, int kind, double lo, double hi) {
    return (s.dclass == 1) ? strip_moment(s, kind, lo, hi) : sum_moment(s, kind, lo, hi);
}

double quantile_moment(const DistSlot& s, int kind) {
    // The percentiles; an end without a bound stops at the 0.005 / 0.995 one.
    double q[kQuantileStrips + 1];
    for (int i = 0; i <= kQuantileStrips; ++i) {
        double p = i * kStripProbability;
        if (i == 0 && !s.min_exists) p = kRangeLowProbability;
        if (i == kQuantileStrips && !s.max_exists) p = kRangeHighProbability;
        q[i] = inverse_bisection(s, p);
    }
    double sum = 0.0;
    for (int i = 0; i < kQuantileStrips; ++i) {
        const double m = (q[i] + q[i + 1]) / 2;
        sum = sum + moment_integrand(s, kind, m) * kStripProbability;
    }
    return sum;
}

}  // namespace kvz
