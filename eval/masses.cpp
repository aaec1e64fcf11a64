// Where the mass of a discrete slot lies: its support, the whole numbers of a
// window or a table, and the start of the masses that have not underflowed.
#include "eval/masses.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "eval/mass_ratio.h"
#include "interface/catalogue.h"
#include "special/elementary.h"

namespace kvz {

namespace {

// Widest range of whole numbers a discrete table (with its draw-time walks
// beyond the stored entries) covers.
constexpr double kDiscreteRangeLimit = 1e8;

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

// The normal approximations' masses are differences of neighbouring
// cumulative values: zero wherever the cumulative distribution stands still,
// as it does exactly (at 0 below, at 1 above, in the truncation transform's
// terms) far from the peak. The first whole number of [first, last] where it
// has moved from its value just below `first`: every mass before it is zero.
// `first` itself where it moves at once or no moving value is found at the peak.
double first_step(const DistSlot& s, double first, double last) {
    const double below = cumulative(s, first - 1);
    if (!(cumulative(s, first) == below)) return first;
    const double hi = std::fmin(std::floor(s.mean), last);
    if (!(hi > first) || !(cumulative(s, hi) > below)) return first;
    double lo = first;
    double up = hi;
    while (up - lo > 1) {
        const double mid = std::floor(lo + (up - lo) / 2);
        if (mid <= lo || mid >= up) break;  // beyond whole-number precision
        if (cumulative(s, mid) == below)
            lo = mid;
        else
            up = mid;
    }
    return up;
}

}  // namespace

void mass_walk_key(const DistSlot& s, double first, double last, MassKey& key) {
    const double inputs[kMassKeySize] = {
        static_cast<double>(s.dtype), static_cast<double>(s.n), s.mean, s.stdev, s.p, s.pop, s.popsuc,
        s.sam, s.shape_a, s.minimum, s.maximum, s.t_factor, s.t_pbelow, static_cast<double>(s.t_tail),
        s.t_log_tail_min, s.t_log_kept, static_cast<double>(s.t_min_flag), s.t_min,
        static_cast<double>(s.t_max_flag), s.t_max, first, last};
    for (int i = 0; i < kMassKeySize; ++i) key[i] = inputs[i];
}

WholeRange whole_range(const DistSlot& s, double lo, double hi) {
    const Support support = type_support(s);
    WholeRange r{std::floor(lo), std::floor(hi)};
    if (r.first < support.first) r.first = support.first;
    if (r.last > support.last) r.last = support.last;
    return r;
}

DiscreteRange discrete_range(const DistSlot& s) {
    const double lower = s.t_min_flag ? s.t_min : s.minimum;
    const double upper = s.t_max_flag ? s.t_max : s.maximum;
    WholeRange r = whole_range(s, lower, upper);
    if (!std::isfinite(r.first)) return {0.0, -1.0};
    if (r.last - r.first + 1 > kDiscreteRangeLimit) {
        // The limited range starts where the masses stop underflowing, so
        // that it covers the mass rather than the empty start of the range.
        const double from = skip_zero_masses(s, r.first, r.last);
        if (from > r.first && from <= r.last) r.first = from;
        if (r.last - r.first + 1 > kDiscreteRangeLimit) r.last = r.first + (kDiscreteRangeLimit - 1);
    }
    return r;
}

// Both from the catalogue's supports: the types whose masses live on whole
// numbers are the ones that form them directly.
bool zero_mass_ends_tail(const DistSlot& s) { return support_row(s.dtype).whole_numbers; }

bool upper_end_is_search_end(const DistSlot& s) {
    const SupportRow row = support_row(s.dtype);
    return row.whole_numbers && row.upper == End::open;
}

double last_moving_mass(const DistSlot& s, double first, double last) {
    if (zero_mass_ends_tail(s)) return last;
    const double top = cumulative(s, last);
    if (!(cumulative(s, last - 1) == top)) return last;
    const double lo_start = std::fmax(std::ceil(s.mean), first);
    if (!(lo_start < last) || !(cumulative(s, lo_start) < top)) return last;
    double lo = lo_start;
    double hi = last;
    while (hi - lo > 1) {
        const double mid = std::floor(lo + (hi - lo) / 2);
        if (mid <= lo || mid >= hi) break;
        if (cumulative(s, mid) == top)
            hi = mid;
        else
            lo = mid;
    }
    return hi;
}

double skip_zero_masses(const DistSlot& s, double first, double last) {
    if (!zero_mass_ends_tail(s)) return first_step(s, first, last);
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

namespace {

// Masses below this are not estimated (near underflow the library's masses
// lose their relative precision).
constexpr double kSmallestEstimatedMass = 1e-250;

bool estimable(double mass) { return mass >= kSmallestEstimatedMass && mass <= 1; }

// The bound on |estimated sum − exact sum| after `steps` masses whose
// estimates add up to `estimated`: kMassEstimateError of them, and for each
// step the rounding of both sums (2^-53 of at most twice the larger end's
// magnitude, each) with room for the rounding of the comparison itself.
struct SumBound {
    double per_step;
    double at(double estimated, double steps) const {
        return kMassEstimateError * estimated + steps * per_step;
    }
};

SumBound sum_bound(const SumStretch& st) { return {0x1p-49 * std::max(std::fabs(st.fa), std::fabs(st.fb))}; }

// The estimated sums find where u crosses them; as the exact sums never
// decrease, the crossing is certain once the two sums on either side of it
// are, whatever the estimates before them.

// Adds the masses up from F(a) to the first sum reaching u.
template <class Ratio>
double crossing_from_below(const SumStretch& st, Ratio ratio, double u) {
    const SumBound bound = sum_bound(st);
    double mass = st.lower_at == st.a ? st.lower_mass * ratio(st.a) : st.lower_mass;  // m(a + 1)
    double before = st.fa;  // F(v − 1), exact for v = a + 1
    double v = st.a + 1;
    for (; v < st.b; v += 1) {
        if (v > st.a + 1) mass *= ratio(v - 1);
        if (!estimable(mass)) return std::numeric_limits<double>::quiet_NaN();
        const double sum = before + mass;  // F(v), after v − a masses
        if (u <= sum) {
            if (!(u <= sum - bound.at(sum - st.fa, v - st.a))) return std::numeric_limits<double>::quiet_NaN();
            break;
        }
        before = sum;
    }
    // F(v) reaches u (certainly, or F(b) exactly); F(v − 1) must be below it.
    if (v > st.a + 1 && !(u > before + bound.at(before - st.fa, v - 1 - st.a))) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return v;
}

// Takes the masses off from F(b) to the first sum below u.
template <class Ratio>
double crossing_from_above(const SumStretch& st, Ratio ratio, double u) {
    const SumBound bound = sum_bound(st);
    double mass = st.upper_at == st.b ? st.upper_mass : st.upper_mass * ratio.inverse(st.b);  // m(b)
    double after = st.fb;  // F(v), exact for v = b
    double v = st.b;
    for (; v > st.a + 1; v -= 1) {
        // m(v) = m(v + 1) / r(v); the reciprocal is formed apart from the
        // chain of masses, which then waits on a product only.
        if (v < st.b) mass *= ratio.inverse(v);
        if (!estimable(mass)) return std::numeric_limits<double>::quiet_NaN();
        const double sum = after - mass;  // F(v − 1), after b − v + 1 masses
        if (u > sum) {
            if (!(u > sum + bound.at(st.fb - sum, st.b - v + 1))) return std::numeric_limits<double>::quiet_NaN();
            break;
        }
        after = sum;
    }
    // F(v − 1) is below u (certainly, or F(a) exactly); F(v) must reach it.
    if (v < st.b && !(u <= after - bound.at(st.fb - after, st.b - v))) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return v;
}

}  // namespace

double certified_crossing(const DistSlot& s, const SumStretch& st, double u) {
    if (!(st.fa < u && u <= st.fb && st.a < st.b)) return std::numeric_limits<double>::quiet_NaN();
    // From the end nearer to u (the masses of a stretch are close to equal),
    // or from the only end with an estimate.
    const bool nearer_below = u - st.fa < st.fb - u;
    const bool from_below = estimable(st.lower_mass) && (nearer_below || !estimable(st.upper_mass));
    return with_mass_ratio(s, [&](auto ratio) {
        return from_below ? crossing_from_below(st, ratio, u) : crossing_from_above(st, ratio, u);
    });
}

double search_end(const DistSlot& s, double start, double sum) {
    constexpr double kEndless = std::numeric_limits<double>::infinity();
    double last = start;
    // Masses that no longer change the sum (it falls short of the mark by
    // their rounding) end the search where they end.
    const WalkRules rules{.skip_zeros = true, .settle = true, .two_zeros = true};
    walk_masses_up(s, {start, kEndless}, rules, [&](double v, double mass) {
        const Flow flow = add_mass(sum, mass);
        last = v;
        return sum < kBoundSearchMass ? flow : Flow::done;
    });
    return last + 1;
}

double geometric_closed_cumulative(double p, double x) {
    if (x < 0) return 0;
    return -elem::expm1((std::floor(x) + 1) * elem::log1p(-p));
}

double geometric_closed_draw(double p, double first, double last, double u) {
    const double log_q = elem::log1p(-p);  // ln(1 − p), negative
    // ln of the survival aimed at: that of first − 1, less the share u of the
    // mass of first..last, (1 − p)^first (1 − u (1 − (1 − p)^(last−first+1))).
    const double kept = -elem::expm1((last - first + 1) * log_q);
    const double target = first * log_q + elem::log1p(-u * kept);
    double k = std::ceil(target / log_q) - 1;
    if (!(k >= first)) k = first;
    if (k > last) k = last;
    return k;
}

double discrete_uniform_closed_draw(double first, double last, double u) {
    const double v = std::floor(first + u * (last - first + 1));
    return v > last ? last : v;
}

}  // namespace kvz
