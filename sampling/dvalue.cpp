// Random variates: one uniform per variate, turned into a value by the
// method precalc chose for the slot.
#include <cmath>
#include <limits>

#include "eval/eval.h"
#include "interface/catalogue.h"
#include "sampling/sampling.h"
#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {

double sample_triangular(const DistSlot& s, double u) {
    if (u == s.sample_c1) return s.mode;
    if (u < s.sample_c1) return s.minimum + std::sqrt(u * s.sample_c2);
    return s.maximum - std::sqrt((1 - u) * s.sample_c3);
}

double sample_logistic(const DistSlot& s, double u) {
    if (u == 0) return s.minimum;
    if (u == 1) return s.maximum;
    return s.mean + s.sample_c1 * elem::log((1 - u) / u);
}

double sample_rayleigh(const DistSlot& s, double u) {
    if (u == 1) return s.maximum;
    return std::sqrt(s.sample_c1 * elem::log(1 - u));
}

// minimum + u * (range + 1) rounded down: each of the range + 1 whole numbers
// takes an equal share of u, also below zero (where truncation toward zero
// would send both neighbours of 0 to 0).
double sample_discrete_uniform(const DistSlot& s, double u) {
    return std::floor(s.minimum + u * (s.range + 1));
}

double angle_sine(double u) { return elem::sin(2.0 * kPi * u); }

// The radius of the Box-Muller transform from the carried uniform, in two
// steps: the square root of radius_square.
double radius_square(double carried) { return -2.0 * elem::log(carried); }
double normal_radius(double carried) { return std::sqrt(radius_square(carried)); }

// The variate of the slot's type from the standard normal z.
inline double normal_based_variate(const DistSlot& s, double z) {
    switch (s.dtype) {
        case kLognormalByMoments:
        case kLognormal:
        case kLognormalByMedian: return elem::exp(s.lmean + s.lstdev * z);
        case kNormalBinomial: {
            double a = made_whole(z * s.stdev + s.mean);
            if (a < s.minimum) {
                a = s.minimum;
            } else if (a > s.maximum) {
                a = s.maximum;
            }
            return a;
        }
        case kNormalPoisson: {
            const double a = made_whole(z * s.stdev + s.mean);
            return a < 0 ? 0.0 : a;
        }
        default: return z * s.stdev + s.mean;
    }
}

// Sine half of the Box-Muller transform: the radius comes from the uniform
// carried in sample_c1, the angle from a new one, which is then carried on.
double sample_normal_based(DistSlot& s) {
    // The angle's uniform is drawn first so that the sine and the radius's
    // logarithm, which do not depend on each other, can overlap.
    const double u = rng();
    const double sine = angle_sine(u);
    const double z = sine * normal_radius(s.sample_c1);
    s.sample_c1 = u;
    return normal_based_variate(s, z);
}

// Normal-based draws in runs of kNormalRun: one uniform per value, in order,
// each carried to the next value's radius. The sines and the radii are taken
// grouped by the range of their uniform (the math library's sine takes a
// different branch per range of the angle and per quadrant, its logarithm
// another near 1), so that those branches stay predictable; each is the same
// function of the same uniform as in a single draw.
constexpr int kNormalRun = 256;
// Sixteen equal ranges of the uniform: finer than the ranges and quadrants the
// sine distinguishes, so every group stays inside one of them or nearly so.
constexpr int kUniformGroups = 16;

int uniform_group(double u) {
    const double w = u * kUniformGroups;
    if (!(w >= 1)) return 0;  // also a u that is no number
    return w < kUniformGroups ? static_cast<int>(w) : kUniformGroups - 1;
}

void normal_based_batch(DistSlot& s, double* out, int count) {
    double u[kNormalRun];
    double sine[kNormalRun];
    double square[kNormalRun + 1];  // radius_square for value i: of the uniform before it
    short order[kNormalRun];
    unsigned char group[kNormalRun];
    for (int start = 0; start < count; start += kNormalRun) {
        const int m = count - start < kNormalRun ? count - start : kNormalRun;
        int size[kUniformGroups] = {};
        rng_batch(u, m);
        for (int i = 0; i < m; ++i) {
            group[i] = static_cast<unsigned char>(uniform_group(u[i]));
            ++size[group[i]];
        }
        int at[kUniformGroups];
        for (int g = 0, sum = 0; g < kUniformGroups; sum += size[g], ++g) at[g] = sum;
        for (int i = 0; i < m; ++i) order[at[group[i]]++] = static_cast<short>(i);
        square[0] = radius_square(s.sample_c1);
        for (int i = 0; i < m; ++i) {
            // The logarithm can run while the sine waits on the floating-point
            // control register the math library reads on every call.
            const int j = order[i];
            sine[j] = angle_sine(u[j]);
            square[j + 1] = radius_square(u[j]);
        }
        for (int i = 0; i < m; ++i) {
            out[start + i] = normal_based_variate(s, sine[i] * std::sqrt(square[i]));
        }
        s.sample_c1 = u[m - 1];
    }
}

// Whole number below the table: walk down from its first entry, taking off
// one mass at a time, until the cumulative probability below a value drops
// under u. A zero mass ends the walk at the value above it: below the peak
// no value further down has mass either (rounding in the running
// probability can leave it just above a tiny u). A walk that reaches its
// bound answers not a number. The walk starts at `from` with the probability
// `c` above it, after `walked` masses; `seen(c, mass)` is told of each value
// it takes off.
template <class Seen>
double walk_down_from(const DistSlot& s, const DiscreteRange& r, double from, double c, double walked, double u,
                      Seen&& seen) {
    double result = from;
    const WalkEnd end = walk_masses_down(
        s, from, r.first + 1,
        [&](double v, double mass) {
            result = v;
            if (mass == 0 && v < s.table_x[0]) {
                result = v + 1.0;
                return Flow::done;
            }
            const double below = c - mass;
            if (u > below || std::isnan(below)) return Flow::done;  // a sum that is no number ends the walk
            c = below;
            result = v - 1.0;
            seen(c, mass);
            return Flow::more;
        },
        walked);
    if (end == WalkEnd::bound) return std::numeric_limits<double>::quiet_NaN();
    return result;
}

// Whole number above the table: keep summing masses beyond its last entry
// until they reach u. When they never do, the range's last value; or, once
// the falling masses no longer change the sum (none later can), the value
// reached there. A walk that reaches its bound answers not a number. The
// walk starts at `next` with the sum `c` before it, the mass `previous`
// added last and `walked` masses behind it; `seen(c, mass)` is told of each
// value it adds.
template <class Seen>
double walk_up_from(const DistSlot& s, const DiscreteRange& r, double next, double c, double previous,
                    double walked, double u, Seen&& seen) {
    double result = next - 1.0;
    WalkRules rules{.settle = true};
    rules.previous = previous;
    rules.walked = walked;
    const WalkEnd end = walk_masses_up(s, {next, r.last}, rules, [&](double v, double mass) {
        result = v;
        const Flow flow = add_mass(c, mass);
        seen(c, mass);
        return u <= c ? Flow::done : flow;
    });
    if (end == WalkEnd::bound) return std::numeric_limits<double>::quiet_NaN();
    return result;
}

// The mass the walk above the table takes as the one before its first.
double mass_before_walk_up(const DistSlot& s) {
    const int last = s.table_count - 1;
    return s.table_count > 1 ? s.table_p[last] - s.table_p[last - 1] : 0.0;
}

constexpr auto kNothingSeen = [](double, double) {};

// The checkpoints precalc recorded for the slot's walks beyond the table
// hold their range, which the draw then need not work out again. The key
// of the draws' checkpoints leaves its last two values at 0: the range is a
// function of the inputs before them.
template <int N>
bool draw_checkpoints_hold(const DistSlot& s, const MassCheckpoints<N>& c) {
    return checkpoints_hold(s, c, 0, 0);
}

// The stretch of the walk above the table between checkpoint j (or the
// table's end, for j = -1) and checkpoint j + 1, which must exist. Entry k
// holds the sum through origin + (k + 1) stride − 1 and the mass added there.
SumStretch stretch_above(const DistSlot& s, const MassCheckpoints<kDrawCheckpoints>& c, int j) {
    const int last = s.table_count - 1;
    const double b = c.origin + checkpoint_walked(c, j + 1) - 1;
    SumStretch st{s.table_x[last], s.table_p[last], b, c.sum[j + 1], 0, 0, c.mass[j + 1], b};
    if (j >= 0) {
        st.a = c.origin + checkpoint_walked(c, j) - 1;
        st.fa = c.sum[j];
        st.lower_mass = c.mass[j];
        st.lower_at = st.a;
    }
    return st;
}

// The stretch of the walk below the table between checkpoint j + 1, which
// must exist, and checkpoint j (or the table's first entry, for j = -1).
// Entry k holds the probability through origin − (k + 1) stride, with the
// mass of the value above it, the last one taken off.
SumStretch stretch_below(const DistSlot& s, const MassCheckpoints<kDrawCheckpoints>& c, int j) {
    const double a = c.origin - checkpoint_walked(c, j + 1);
    SumStretch st{a, c.sum[j + 1], s.table_x[0], s.table_p[0], c.mass[j + 1], a + 1, 0, 0};
    if (j >= 0) {
        st.b = c.origin - checkpoint_walked(c, j);
        st.fb = c.sum[j];
        st.upper_mass = c.mass[j];
        st.upper_at = st.b + 1;
    }
    return st;
}

// The walks beyond the table. Between two checkpoints precalc recorded the
// value is settled by the masses' estimates where they leave no doubt
// (certified_crossing); otherwise the walk is taken up at the furthest
// checkpoint the walk for u passes (the same sums, so the same value).
// Kept out of line: a draw that ends inside the table stays a short call.
[[gnu::noinline]] double walk_down(const DistSlot& s, double u) {
    const MassCheckpoints<kDrawCheckpoints>& c = s.walk_below;
    if (draw_checkpoints_hold(s, c)) {
        const DiscreteRange r{c.range_first, c.range_last};
        const int j = last_checkpoint_reaching(c, u, &s.walk_below_guide);
        if (j + 1 < c.count) {
            const double v = certified_crossing(s, stretch_below(s, c, j), u);
            if (!std::isnan(v)) return v;
        }
        if (j >= 0) {
            const double walked = checkpoint_walked(c, j);
            return walk_down_from(s, r, c.origin - walked, c.sum[j], walked, u, kNothingSeen);
        }
        return walk_down_from(s, r, s.table_x[0], s.table_p[0], 0, u, kNothingSeen);
    }
    const DiscreteRange r = discrete_range(s);
    if (!(s.table_x[0] > r.first)) return s.table_x[0];
    return walk_down_from(s, r, s.table_x[0], s.table_p[0], 0, u, kNothingSeen);
}

[[gnu::noinline]] double walk_up(const DistSlot& s, double u) {
    const MassCheckpoints<kDrawCheckpoints>& c = s.walk_above;
    const int last = s.table_count - 1;
    DiscreteRange r{c.range_first, c.range_last};
    if (draw_checkpoints_hold(s, c)) {
        const int j = last_checkpoint_below(c, u, &s.walk_above_guide);
        if (j + 1 < c.count) {
            const double v = certified_crossing(s, stretch_above(s, c, j), u);
            if (!std::isnan(v)) return v;
        }
        if (j >= 0) {
            const double walked = checkpoint_walked(c, j);
            const double at = c.origin + walked - 1;
            return walk_up_from(s, r, at + 1, c.sum[j], density_across_cut(s, at), walked, u, kNothingSeen);
        }
    } else {
        r = discrete_range(s);
    }
    return walk_up_from(s, r, s.table_x[last] + 1.0, s.table_p[last], mass_before_walk_up(s), 0, u, kNothingSeen);
}

// Index of the first entry with u <= table_p, or table_count when none.
// An ordered table is bisected (without branches on the data, whose
// outcomes a processor cannot predict): in a non-decreasing table the first
// entry reaching u is the first not below it. Any other table is scanned.
int first_reaching(const DistSlot& s, double u) {
    const int n = s.table_count;
    if (!s.table_ordered) {
        for (int i = 0; i < n; ++i) {
            if (u <= s.table_p[i]) return i;
        }
        return n;
    }
    return leading_run(s.table_p, n, [u](double p) { return p < u; });
}

double sample_discrete_table(const DistSlot& s) { return discrete_table_value(s, rng()); }

// A u inside the table's probabilities needs no extension (both extensions
// would leave the table as it is and succeed).
bool table_covers(const DistSlot& s, double u) {
    return s.table_count > 0 && s.table_p[0] <= u && u <= s.table_p[s.table_count - 1];
}

double cdf_table_value(DistSlot& s, double u) {
    if (s.table_count <= 0) return 0.0;
    if (table_covers(s, u) || (table_extend_down(s, u) && table_extend_up(s, u))) {
        return table_draw_interpolate(s, u);
    }
    if (u > s.table_p[0]) return s.table_x[s.table_count - 1];
    return s.table_x[0];
}

double sample_cdf_table(DistSlot& s) { return cdf_table_value(s, rng()); }

// One uniform per value, in order, drawn kUniformRun at a time (nothing
// else draws meanwhile). The values whose u the table covers are
// interpolated together, kInterpolateLanes at a time; a u that needs the
// table extended first has those before it finished on the table they saw.
constexpr int kUniformRun = 256;
void cdf_table_batch(DistSlot& s, double* out, int count) {
    double drawn[kUniformRun];
    double u[kInterpolateLanes];
    int pending = 0;  // values out[first ..] waiting for interpolation
    int first = 0;
    const auto flush = [&] {
        table_draw_interpolate_lanes(s, u, out + first, pending);
        pending = 0;
    };
    for (int i = 0; i < count; ++i) {
        const int in_run = i % kUniformRun;
        if (in_run == 0) rng_batch(drawn, count - i < kUniformRun ? count - i : kUniformRun);
        const double v = drawn[in_run];
        if (table_covers(s, v)) {
            if (pending == 0) first = i;
            u[pending++] = v;
            if (pending == kInterpolateLanes) flush();
            continue;
        }
        if (pending > 0) flush();
        out[i] = cdf_table_value(s, v);
    }
    if (pending > 0) flush();
}

}  // namespace

// First entry whose cumulative probability reaches u. A table that covers
// only part of its range (see precalc) hands the remainder to the walks; a u
// beyond the summed mass gives the range's last value.
double discrete_table_value(const DistSlot& s, double u) {
    if (s.table_count <= 0) return 0.0;
    // Beyond an ordered table's ends the search is known to give its ends.
    if (s.table_ordered && u > s.table_p[s.table_count - 1]) return walk_up(s, u);
    if (s.table_ordered && u <= s.table_p[0]) return walk_down(s, u);
    const int i = first_reaching(s, u);
    if (i == s.table_count) return walk_up(s, u);
    if (i == 0) return walk_down(s, u);
    return s.table_x[i];
}

void record_table_walks(DistSlot& s) {
    s.walk_above.ready = 0;
    s.walk_below.ready = 0;
    s.walk_above_guide.ready = 0;
    s.walk_below_guide.ready = 0;
    if (s.table_count <= 0) return;
    const DiscreteRange r = discrete_range(s);
    const int last = s.table_count - 1;
    // Each walk as the draw of the generator's most extreme uniform takes it:
    // every other draw stops on its way.
    restart_checkpoints(s, s.walk_above, 0, 0, s.table_x[last] + 1.0);
    s.walk_above.range_first = r.first;
    s.walk_above.range_last = r.last;
    CheckpointRecorder above(s.walk_above, true);
    walk_up_from(s, r, s.table_x[last] + 1.0, s.table_p[last], mass_before_walk_up(s), 0, kLargestUniform,
                 [&](double c, double mass) { above.visit(c, mass); });
    build_checkpoint_guide(s.walk_above, s.table_p[last], true, s.walk_above_guide);
    if (s.table_x[0] > r.first) {
        restart_checkpoints(s, s.walk_below, 0, 0, s.table_x[0]);
        s.walk_below.range_first = r.first;
        s.walk_below.range_last = r.last;
        CheckpointRecorder below(s.walk_below, true);
        walk_down_from(s, r, s.table_x[0], s.table_p[0], 0, kSmallestUniform,
                       [&](double c, double mass) { below.visit(c, mass); });
        build_checkpoint_guide(s.walk_below, s.table_p[0], false, s.walk_below_guide);
    }
}

namespace {
// A draw by the closed-form inverse over sample_c1..sample_c2 (precalc).
double sample_closed_form(const DistSlot& s, double u) {
    if (kInitialiseAlias(s.dtype) == kGeometric) return geometric_closed_draw(s.p, s.sample_c1, s.sample_c2, u);
    return discrete_uniform_closed_draw(s.sample_c1, s.sample_c2, u);
}
}  // namespace

bool draws_variates(const DistSlot& s) {
    if (s.dclass != 1 && s.dclass != 2) return false;  // never initialised
    switch (s.sample_type) {
        case kDegenerate:
        case kUniform:
        case kTriangular:
        case kSampleNormalBased:
        case kExponential:
        case kSampleDiscreteTable:
        case kPareto:
        case kCauchy:
        case kGumbel:
        case kWeibull:
        case kLaplace:
        case kPowerFunction:
        case kSampleCdfTable:
        case kLogistic:
        case kRayleigh:
        case kDiscreteUniform:
        case kSampleClosedForm: return true;
        default: return false;
    }
}

double dvalue(DistSlot& s) {
    switch (s.sample_type) {
        case kDegenerate: return degenerate_value(s);
        case kUniform: return s.minimum + rng() * s.range;
        case kTriangular: return sample_triangular(s, rng());
        case kSampleNormalBased: return sample_normal_based(s);
        case kExponential: return -s.mean * elem::log(rng());
        case kSampleDiscreteTable: return sample_discrete_table(s);
        case kPareto:
        case kCauchy:
        case kGumbel:
        case kWeibull:
        case kLaplace:
        case kPowerFunction: return inverse(s, rng());
        case kSampleCdfTable: return sample_cdf_table(s);
        case kLogistic: return sample_logistic(s, rng());
        case kRayleigh: return sample_rayleigh(s, rng());
        case kDiscreteUniform: return sample_discrete_uniform(s, rng());
        case kSampleClosedForm: return sample_closed_form(s, rng());
        default: return 0.0;
    }
}

void dvalue_batch(DistSlot& s, double* out, int count) {
    switch (s.sample_type) {
        case kSampleCdfTable: cdf_table_batch(s, out, count); return;
        case kSampleNormalBased: normal_based_batch(s, out, count); return;
        default:
            for (int i = 0; i < count; ++i) out[i] = dvalue(s);
            return;
    }
}

}  // namespace kvz
