// Walking over the probability masses of a discrete slot: the whole numbers
// its mass lives on, and the rules every sum, search and walk over them
// follows. A walk hands each mass to its caller, which adds it in its own
// order; the walk decides where to start, where to stop and when to give up.
#pragma once

#include <cmath>
#include <limits>

#include "eval/eval.h"
#include "eval/rules.h"
#include "interface/slot.h"

namespace kvz {

// Whole numbers first..last; empty when last < first (or either is not a number).
struct WholeRange {
    double first;
    double last;
};

// The whole numbers of [lo, hi] in the type's support: both ends rounded down,
// so that a cut at a lower t_min keeps the whole numbers from floor(t_min) on
// (it takes away the mass at and below t_min − 1), and the whole numbers not
// above an upper one.
WholeRange whole_range(const DistSlot& s, double lo, double hi);

// Closed forms of the two discrete types that have them, for where a walk
// over the masses would not end within its bound (a geometric p of 1e-6 has
// its median near 693,000 and its 0.99999 quantile near 1.15e7; a discrete
// uniform may span 1e12 values). Both count from whole_range's ends.
// The geometric's untruncated cumulative probability at x, 1 − (1 − p)^(⌊x⌋+1)
// (0 below 0), from log1p and expm1 so that a tiny p keeps its digits.
double geometric_closed_cumulative(double p, double x);
// The whole number a uniform u gives when drawn from the geometric masses on
// first..last (last may be infinite): the least k there whose survival
// (1 − p)^(k+1) has fallen to the share 1 − u of the range's mass, found from
// logarithms. A p so small that the value passes the largest double gives
// infinity.
double geometric_closed_draw(double p, double first, double last, double u);
// The discrete uniform value for u on first..last: each of the whole
// numbers takes an equal share of u.
double discrete_uniform_closed_draw(double first, double last, double u);

// The whole numbers a discrete table covers: the slot's range (truncation
// points or working bounds) as whole_range() gives it, at most 1e8 of them
// from the first mass that has not underflowed. Empty when last < first.
using DiscreteRange = WholeRange;
DiscreteRange discrete_range(const DistSlot& s);

// Most masses one walk evaluates. The widest sum within reach, that of a
// Poisson mean of 1e9 (or a binomial n of about 1e9), runs from where its
// masses stop underflowing, 38.6 standard deviations below the mean, to where
// they stop changing the sum, about 10 above: some 1.55 million masses. This
// bound leaves room above that and, at 50 to 100 ns a mass, still ends a walk
// that reaches it within about 0.15 s. A walk that reaches it answers not a
// number.
constexpr double kMaxMassTerms = 1.75 * (1 << 20);

// The first whole number from `first` (up to `last`) whose mass is not zero.
// Below the peak of a unimodal mass the values that underflow to zero form one
// run at the start, found by halving; adding them would change no sum. Past
// `last` when the stretch holds only such values; `first` itself when its mass
// is not zero or no positive mass is found at the peak. For the normal
// approximations, the run is where the cumulative distribution has not yet
// moved from its value below `first` (their masses are its differences).
double skip_zero_masses(const DistSlot& s, double first, double last);

// The mirror image above the peak for the normal approximations: the last
// whole number of [first, last] after which the cumulative distribution no
// longer moves, so that every later mass is zero. `last` for the other types
// (their sums end by the walk's rules) and wherever no such run is found.
double last_moving_mass(const DistSlot& s, double first, double last);

// Whether a zero mass after the peak means that every later mass is zero too:
// true for the discrete types whose masses are formed directly, false for the
// normal approximations, whose masses (differences of rounded normal
// probabilities) can be zero between positive ones.
bool zero_mass_ends_tail(const DistSlot& s);

// Whether the working `maximum` of a discrete type is where its upper-bound
// search stopped rather than a bound of the distribution (Poisson, geometric,
// logarithmic series): truncated, their upper side is free.
bool upper_end_is_search_end(const DistSlot& s);

// The upper-bound search of the unbounded discrete types stops once the
// masses it added reach this.
constexpr double kBoundSearchMass = 0.999999;

// From `start` (passing over the masses that underflowed to zero there), adds
// masses to `sum` until it reaches kBoundSearchMass, or until later masses can
// no longer change it; returns one above the last value added. After
// kMaxMassTerms masses, one above the last value reached.
double search_end(const DistSlot& s, double start, double sum);

// What a caller did with a mass it was handed.
enum class Flow {
    more,       // the mass changed the caller's sums (or it keeps no sums)
    unchanged,  // the mass changed none of them, and no later one will while masses fall
    done,       // the caller has what it walked for
    undefined,  // a sum is not a number: nothing later changes it
};

// Why a walk ended.
enum class WalkEnd {
    range,      // the whole range was walked
    settled,    // no later mass can change the sums (falling and absorbed, or two zero masses)
    done,       // the caller stopped it
    undefined,  // the caller's sums are not numbers
    bound,      // kMaxMassTerms masses were walked: the sums are partial
};

// The rules of an upward walk a caller chooses. The walk always stops at the
// caller's word, at a sum that is not a number and at kMaxMassTerms masses.
struct WalkRules {
    bool skip_zeros = false;  // start at the first mass that has not underflowed (skip_zero_masses)
    bool settle = false;      // end at a falling mass the caller reports unchanged
    bool two_zeros = false;   // end at two zero masses in a row, where zero_mass_ends_tail holds
    // The mass before the first one walked, for the settle rule; not a number
    // when there is none.
    double previous = std::numeric_limits<double>::quiet_NaN();
    // Masses already walked before r.first by a walk this one continues; they
    // count toward kMaxMassTerms.
    double walked = 0;
};

// Walks up over the whole numbers of r, handing visit(v, mass) each value and
// its mass (density_across_cut()) in ascending order.
template <class Visit>
WalkEnd walk_masses_up(const DistSlot& s, WholeRange r, const WalkRules& rules, Visit&& visit) {
    double v = rules.skip_zeros ? skip_zero_masses(s, r.first, r.last) : r.first;
    const bool zero_ends = rules.two_zeros && zero_mass_ends_tail(s);
    double previous = rules.previous;
    for (double terms = rules.walked; v <= r.last; v += 1.0, terms += 1.0) {
        if (terms >= kMaxMassTerms) return WalkEnd::bound;
        const double mass = density_across_cut(s, v);
        // Two zero masses in a row after the skipped ones: the masses are
        // falling (or all zero, as with a geometric p of 0) and none follows.
        if (zero_ends && mass == 0 && previous == 0) return WalkEnd::settled;
        const Flow flow = visit(v, mass);
        if (flow == Flow::done) return WalkEnd::done;
        if (flow == Flow::undefined) return WalkEnd::undefined;
        // Past the peak the masses fall: once one changes nothing, no later
        // (smaller) one can.
        if (rules.settle && flow == Flow::unchanged && mass < previous) return WalkEnd::settled;
        previous = mass;
    }
    return WalkEnd::range;
}

// Walks down from `from` to `first` (both included), handing visit(v, mass)
// each value and its mass in descending order. `walked` counts the masses a
// walk this one continues walked before `from`, toward kMaxMassTerms.
template <class Visit>
WalkEnd walk_masses_down(const DistSlot& s, double from, double first, Visit&& visit, double walked = 0) {
    double terms = walked;
    for (double v = from; v >= first; v -= 1.0, terms += 1.0) {
        if (terms >= kMaxMassTerms) return WalkEnd::bound;
        const Flow flow = visit(v, density_across_cut(s, v));
        if (flow == Flow::done) return WalkEnd::done;
        if (flow == Flow::undefined) return WalkEnd::undefined;
    }
    return WalkEnd::range;
}

// Whether a walk's sums are its answer: it did not give up at the bound or at
// a sum that is not a number.
inline bool walk_complete(WalkEnd end) { return end != WalkEnd::bound && end != WalkEnd::undefined; }

// The running sum of masses most walks keep: adds a mass, and reports whether
// it changed the sum, or whether the sum is no longer a number.
inline Flow add_mass(double& sum, double mass) {
    const double next = sum + mass;
    const bool unchanged = next == sum;
    sum = next;
    if (std::isnan(sum)) return Flow::undefined;
    return unchanged ? Flow::unchanged : Flow::more;
}

// The inputs a walk over the slot's masses reads (its parameters, rescaling
// and range), and two values `first` and `last` of the walk's own, for
// MassCheckpoints::key (compared by stored_for_inputs).
using MassKey = double[kMassKeySize];
void mass_walk_key(const DistSlot& s, double first, double last, MassKey& key);

// Whether checkpoints were recorded for the slot as it stands and this walk.
template <int N>
bool checkpoints_hold(const DistSlot& s, const MassCheckpoints<N>& c, double first, double last) {
    MassKey now;
    mass_walk_key(s, first, last, now);
    return stored_for_inputs(c.ready, c.key, now);
}

// Empties the checkpoints and gives them to the slot and the walk from
// `origin` over first..last.
template <int N>
void restart_checkpoints(const DistSlot& s, MassCheckpoints<N>& c, double first, double last, double origin) {
    mass_walk_key(s, first, last, c.key);
    c.ready = 1;
    c.ended = 0;
    c.frozen = 0;
    c.count = 0;
    c.origin = origin;
    c.stride = 1;
}

// Masses walked from the origin up to and including checkpoint j.
template <int N>
double checkpoint_walked(const MassCheckpoints<N>& c, int j) {
    return (j + 1) * c.stride;
}

// Records the running sum of a walk that starts at the checkpoints' frontier
// (their origin, or their last entry): the sum after every stride-th mass.
// A value counts once the walk has gone on past it (it visits
// the next one), so that a checkpoint never stands where the walk stopped. A
// mass that is negative or not a number ends the recording: the sums before
// it keep their order, so searches over them stay sound.
template <int N>
class CheckpointRecorder {
public:
    // Recording happens only when `at_frontier` (the walk continues the last
    // entry, or starts at the origin with none).
    CheckpointRecorder(MassCheckpoints<N>& c, bool at_frontier)
        : c_(c),
          on_(at_frontier && !c.frozen && !c.ended),
          walked_(c.count * c.stride),
          due_((c.count + 1) * c.stride) {}

    // The walk took a value, leaving `sum` after adding its `mass`.
    void visit(double sum, double mass) {
        if (!on_) return;
        if (held_) commit();
        if (!(mass >= 0)) {
            c_.frozen = 1;
            on_ = false;
            return;
        }
        held_ = true;
        held_sum_ = sum;
        held_mass_ = mass;
    }

    // The walk ended by its own rules at `v`, the last value it took, with
    // `sum`: every later value gets that sum.
    void end(double v, double sum) {
        if (!on_) return;
        c_.ended = 1;
        c_.end_value = v;
        c_.end_sum = sum;
    }

private:
    void commit() {
        held_ = false;
        walked_ += 1;
        if (walked_ != due_) return;
        if (c_.count == N) {
            // Full: keep the entries at even multiples of the stride. This
            // value, an odd multiple of the old stride, is not one of them.
            for (int k = 0; k < N / 2; ++k) {
                c_.sum[k] = c_.sum[2 * k + 1];
                c_.mass[k] = c_.mass[2 * k + 1];
            }
            c_.count = N / 2;
            c_.stride *= 2;
        } else {
            c_.sum[c_.count] = held_sum_;
            c_.mass[c_.count] = held_mass_ <= std::numeric_limits<float>::max()
                                    ? static_cast<float>(held_mass_)
                                    : std::numeric_limits<float>::infinity();
            ++c_.count;
        }
        due_ = (c_.count + 1) * c_.stride;
    }

    MassCheckpoints<N>& c_;
    bool on_;
    double walked_;  // masses from the origin up to the last value the walk went past
    double due_;     // the count at which the next entry falls due
    bool held_ = false;
    double held_sum_ = 0;
    double held_mass_ = 0;
};

// A stretch of a walk's running sum between two points where it is known
// exactly (two checkpoints, or the table's end and a checkpoint): F(a) and
// F(b) at whole numbers a < b, with F non-decreasing and F(v) − F(v − 1) the
// mass at v up to the rounding of one addition or subtraction. The walk took
// every mass of the stretch without stopping by any rule of its own, so that
// where the walk of a u with F(a) < u <= F(b) stops depends on u alone: at
// the v with F(v − 1) < u <= F(v) (an upward walk stops at the first sum
// reaching u, a downward one at the first value whose take-off leaves the
// sum below u; both are that v).
struct SumStretch {
    double a;
    double fa;
    double b;
    double fb;
    // The masses recorded at the two ends (a checkpoint's float): the lower
    // one at lower_at (a or a + 1), the upper one at upper_at (b or b + 1);
    // 0 where there is none.
    double lower_mass;
    double lower_at;
    double upper_mass;
    double upper_at;
};

// Relative error allowed for a mass estimated from a recorded mass by the
// type's ratio (mass_ratio) against the library's own mass there. It covers
// the float the estimate starts from (6e-8), the rounding of up to ~1000
// steps of the recurrence (about 1e-13) and the library's masses' departure
// from the exact recurrence: the estimate carried up to 1024 steps from a
// library mass, against the library's masses over the whole walks beyond the
// table of Poisson means 1e6 to 1e8, binomial n 5000 to 1e8, geometric,
// logarithmic series and hypergeometric slots (direct formulas and
// saddle-point logarithms alike), departs by at most 1.2e-12 relative (the
// binomial's direct formula at n 5000; 5e-15 to 2e-13 elsewhere);
// MassRatiosFollowTheLibrarysMasses in tests/sampling/fast_paths_test.cpp
// keeps it below a hundredth of this bound. A generous bound costs only
// draws falling undecided (about 2e-5 of those beyond the table), which then
// take the exact walk.
constexpr double kMassEstimateError = 1e-6;

// Where the walk of u stops in the stretch, without forming its masses: the
// masses are estimated by the type's ratio from the nearer end, and the sums
// F(v) by adding them up (or taking them off from F(b)), with a bound on
// their distance from the exact sums (kMassEstimateError of the masses
// estimated, plus the rounding of both sums). The answer is given only where
// the bound leaves no doubt on either side of the crossing; not a number
// otherwise (u outside (F(a), F(b)], no estimate to start from, masses the
// estimate cannot hold, or u within the bound of a sum), for the caller to
// walk the exact masses instead.
double certified_crossing(const DistSlot& s, const SumStretch& stretch, double u);

// How many of the first n entries of `a` pass `passes`, which holds for a
// leading run of them and for none after it. Halves without branches on the
// data (whose outcomes a processor cannot predict).
template <class Passes>
int leading_run(const double* a, int n, Passes passes) {
    if (n <= 0) return 0;
    const double* base = a;
    int len = n;
    while (len > 1) {
        const int half = len / 2;
        base = passes(base[half]) ? base + half : base;
        len -= half;
    }
    return static_cast<int>(base - a) + (passes(*base) ? 1 : 0);
}

// The guide's bucket of x: 0 for what lies before the first bucket (and for a
// value that is not a number), the last for what lies past it. Never
// decreases along the walk's order.
inline int guide_bucket(const CheckpointGuide& g, double x) {
    const double w = (x - g.origin) * g.scale;
    if (!(w >= 0)) return 0;
    return w < kCheckpointGuideBuckets ? static_cast<int>(w) : kCheckpointGuideBuckets - 1;
}

// Builds the guide to the checkpoints' sums, which run from near `origin`
// in the direction of `rising`; none when they span no width.
template <int N>
void build_checkpoint_guide(const MassCheckpoints<N>& c, double origin, bool rising, CheckpointGuide& g) {
    g.ready = 0;
    if (c.count <= 0) return;
    const double span = rising ? c.sum[c.count - 1] - origin : origin - c.sum[c.count - 1];
    if (!(span > 0) || !std::isfinite(span)) return;
    g.origin = origin;
    g.scale = (rising ? kCheckpointGuideBuckets : -kCheckpointGuideBuckets) / span;
    int k = 0;
    for (int j = 0; j <= kCheckpointGuideBuckets; ++j) {
        while (k < c.count && guide_bucket(g, c.sum[k]) < j) ++k;
        g.first[j] = static_cast<std::uint16_t>(k);
    }
    g.first[kCheckpointGuideBuckets] = static_cast<std::uint16_t>(c.count);
    g.count = c.count;
    g.ready = 1;
}

// The leading run of entries passing `passes` (see leading_run), searched in
// the guide's bucket of u alone where the guide holds: an entry in an
// earlier bucket passes (it lies before u in the walk's order), one in a
// later bucket does not.
template <int N, class Passes>
int guided_leading_run(const MassCheckpoints<N>& c, const CheckpointGuide* g, double u, Passes passes) {
    if (g == nullptr || !g->ready || g->count != c.count) return leading_run(c.sum, c.count, passes);
    const int j = guide_bucket(*g, u);
    const int from = g->first[j];
    return from + leading_run(c.sum + from, g->first[j + 1] - from, passes);
}

// The last checkpoint of an upward walk whose sum is below u (the walk
// passed it for u), or -1 for none. The sums never decrease.
template <int N>
int last_checkpoint_below(const MassCheckpoints<N>& c, double u, const CheckpointGuide* g = nullptr) {
    return guided_leading_run(c, g, u, [u](double sum) { return sum < u; }) - 1;
}

// The last checkpoint of a downward walk whose sum is at least u, or -1 for
// none. The sums never increase.
template <int N>
int last_checkpoint_reaching(const MassCheckpoints<N>& c, double u, const CheckpointGuide* g = nullptr) {
    return guided_leading_run(c, g, u, [u](double sum) { return sum >= u; }) - 1;
}

}  // namespace kvz
