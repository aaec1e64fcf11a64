// Preparation of a slot for drawing: the sampling method, the constants of
// the direct methods, the discrete and cumulative tables, and the draw-time
// extension of a cumulative table.
#include <cmath>
#include <limits>

#include "eval/eval.h"
#include "eval/masses.h"
#include "interface/catalogue.h"
#include "sampling/sampling.h"
#include "special/special.h"

namespace kvz {

namespace {


// Cumulative table: 500 equal steps each side of the median.
constexpr int kHalfSteps = 500;
constexpr int kCdfTableCount = 2 * kHalfSteps + 1;
// Each extension step moves the table's end 10 % further from the centre.
constexpr double kExtendGrowth = 1.1;

// Types without a truncation step (the degenerate type, and the codes that
// dinitialise does not initialise) ignore the truncation flags here too.
// A truncated slot draws from a table of its type's class. The class is the
// catalogue's for the type the slot holds now: it equals `dclass` after
// dinitialise, and a slot whose type changed without a new dinitialise (or
// that never had one) does not get a cumulative table summed from masses.
int choose_sample_type(const DistSlot& s) {
    if (truncation_applies(s)) {
        const TypeRow row = type_row(kInitialiseAlias(s.dtype));
        return row.dclass == 1 ? kSampleCdfTable : kSampleDiscreteTable;
    }
    return kSampleMethod(s.dtype);
}

void prepare_triangular(DistSlot& s) {
    s.sample_c1 = (s.mode - s.minimum) / (s.maximum - s.minimum);
    s.sample_c2 = (s.maximum - s.minimum) * (s.mode - s.minimum);
    s.sample_c3 = (s.maximum - s.minimum) * (s.maximum - s.mode);
}

// One entry per whole number first..last, each with the mass summed from
// `start_sum` on.
void fill_discrete(DistSlot& s, double first, int count, double start_sum) {
    double sum = start_sum;
    for (int i = 0; i < count; ++i) {
        const double v = first + i;
        sum = sum + density(s, v);
        s.table_x[i] = v;
        s.table_p[i] = sum;
    }
    s.table_count = count;
}

// A table whose masses could not be summed within the walks' bound holds one
// entry that is not a number: every draw from it answers not a number.
void mark_unsummed(DistSlot& s) {
    s.table_x[0] = std::numeric_limits<double>::quiet_NaN();
    s.table_p[0] = std::numeric_limits<double>::quiet_NaN();
    s.table_count = 1;
}

// A range wider than the table: the table holds the kTableSize whole numbers
// centred on the median of the range's mass, each with the mass summed from
// the range's start. Draws that fall outside it are served by walking the
// masses beyond the table's ends (dvalue).
void fill_discrete_window(DistSlot& s, const DiscreteRange& r) {
    // The total starts after the masses that underflowed to zero (they add
    // nothing) and ends once no later mass can change it, as the whole range
    // would give it, so a range reaching far beyond the mass costs nothing
    // extra.
    const double from = skip_zero_masses(s, r.first, r.last);
    double total = 0.0;
    const WalkRules rules{.settle = true, .two_zeros = true};
    if (walk_masses_up(s, {from, r.last}, rules, [&](double, double mass) { return add_mass(total, mass); }) ==
        WalkEnd::bound) {
        mark_unsummed(s);
        return;
    }
    // The running sums of the last values before the median stay in a ring,
    // so that the mass below a table starting kTableSize / 2 values under the
    // median comes out of the same pass, summed in the same order.
    constexpr int kRing = kTableSize / 2 + 2;
    double ring[kRing];
    // Without a positive total (masses that are not numbers, or none) there
    // is no median to look for: the table starts at the range's start.
    double centre = from;
    double run = 0.0;
    if (total > 0) {
        walk_masses_up(s, {from, r.last}, {}, [&](double v, double mass) {
            run += mass;
            ring[static_cast<long long>(v - from) % kRing] = run;
            if (run < total / 2) return Flow::more;
            centre = v;
            return Flow::done;
        });
    }
    double start = centre - kTableSize / 2;
    if (start < r.first) start = r.first;
    if (start + (kTableSize - 1) > r.last) start = r.last - (kTableSize - 1);
    double below = 0.0;
    if (start - 1 >= from && centre - (start - 1) < kRing && start - 1 <= centre) {
        below = ring[static_cast<long long>(start - 1 - from) % kRing];
    } else if (walk_masses_up(s, {from, start - 1}, {}, [&](double, double mass) {
                   below += mass;
                   return Flow::more;
               }) == WalkEnd::bound) {
        mark_unsummed(s);
        return;
    }
    fill_discrete(s, start, kTableSize, below);
    record_table_walks(s);
}

// Whether table_p never decreases (a negative or undefined mass breaks it).
bool probabilities_ordered(const DistSlot& s) {
    for (int i = 1; i < s.table_count; ++i) {
        if (!(s.table_p[i] >= s.table_p[i - 1])) return false;
    }
    return s.table_count == 0 || s.table_p[0] == s.table_p[0];
}

// A table left unsummed (the masses out of the walks' reach) of a type with a
// closed-form inverse: the slot draws by that inverse instead, over the whole
// numbers of its cut (or its support), with the ends in sample_c1, sample_c2.
void prepare_closed_form(DistSlot& s) {
    if (!(s.table_count == 1 && std::isnan(s.table_x[0]))) return;
    const int base = kInitialiseAlias(s.dtype);
    WholeRange r;
    if (base == kGeometric) {
        if (!(s.p > 0 && s.p < 1)) return;
        r = whole_range(s, s.t_min_flag ? s.t_min : 0.0,
                        s.t_max_flag ? s.t_max : std::numeric_limits<double>::infinity());
    } else if (base == kDiscreteUniform) {
        r = whole_range(s, s.t_min_flag ? s.t_min : s.minimum, s.t_max_flag ? s.t_max : s.maximum);
        if (!(std::isfinite(r.first) && std::isfinite(r.last))) return;
    } else {
        return;
    }
    if (!(r.last >= r.first)) return;
    s.sample_type = kSampleClosedForm;
    s.sample_c1 = r.first;
    s.sample_c2 = r.last;
}

void prepare_discrete_table(DistSlot& s) {
    s.walk_above.ready = 0;
    s.walk_below.ready = 0;
    const DiscreteRange r = discrete_range(s);
    if (!(r.last >= r.first)) {
        s.table_count = 0;
    } else if (const double count = r.last - r.first + 1; count <= kTableSize) {
        fill_discrete(s, r.first, static_cast<int>(count), 0.0);
    } else {
        fill_discrete_window(s, r);
        prepare_closed_form(s);
    }
    s.table_ordered = probabilities_ordered(s) ? 1 : 0;
}

void prepare_cdf_table(DistSlot& s) {
    s.step_low = (s.dmedian - s.dminimum) / kHalfSteps;
    s.step_high = (s.dmaximum - s.dmedian) / kHalfSteps;
    for (int i = 0; i <= kHalfSteps; ++i) {
        s.table_x[i] = i * s.step_low + s.dminimum;
        s.table_p[i] = cumulative(s, s.table_x[i]);
    }
    for (int i = kHalfSteps; i < kCdfTableCount; ++i) {
        s.table_x[i] = (i - kHalfSteps) * s.step_high + s.dmedian;
        s.table_p[i] = cumulative(s, s.table_x[i]);
    }
    s.table_count = kCdfTableCount;
    build_table_guide(s);
}

}  // namespace

void precalc(DistSlot& s) {
    s.guide_ready = 0;  // only a cumulative table gets a guide, below
    s.sample_type = choose_sample_type(s);
    switch (s.sample_type) {
        case kTriangular: prepare_triangular(s); break;
        case kSampleNormalBased: s.sample_c1 = rng_guarded(); break;
        case kLogistic: s.sample_c1 = std::sqrt(3.0) * s.stdev / kPi; break;
        case kRayleigh: s.sample_c1 = -2.0 * (s.scale * s.scale); break;
        case kSampleDiscreteTable: prepare_discrete_table(s); break;
        case kSampleCdfTable: prepare_cdf_table(s); break;
        default: break;
    }
    s.prepared = 1;
}

// The new lower end steps outward from the further out of `minimum` and the
// table's first value: for an untruncated slot the two are the same, while
// for a slot truncated above only `minimum` may lie inside the table. After
// the first step the table's first value is the further out. The steps leave
// `minimum` and `maximum` as dinitialise set them, so that precalc, which
// builds the table afresh, also starts its extensions afresh: a slot prepared
// again draws as it did the first time.
bool table_extend_down(DistSlot& s, double u) {
    if (s.table_count <= 0) return false;  // no table to extend
    const int count = s.table_count;
    while (s.table_p[0] > u && s.table_count < kTableSize) {
        const double end = s.minimum < s.table_x[0] ? s.minimum : s.table_x[0];
        const double next = s.mean - (s.mean - end) * kExtendGrowth;
        if (!(next < s.table_x[0])) break;
        for (int i = s.table_count - 1; i >= 0; --i) {
            s.table_x[i + 1] = s.table_x[i];
            s.table_p[i + 1] = s.table_p[i];
        }
        s.table_count = s.table_count + 1;
        if (s.cdf_exists) {
            s.table_p[0] = cumulative(s, next);
        } else {
            s.table_p[0] = s.table_p[1] - integrate_density(s, next, s.table_x[1]);
        }
        s.table_x[0] = next;
    }
    if (s.table_count != count) build_table_guide(s);
    if (u < s.table_p[0]) {
        s.pmin_extend = 1;
        return false;
    }
    return true;
}

// Mirror image of table_extend_down at the upper end.
bool table_extend_up(DistSlot& s, double u) {
    if (s.table_count <= 0) return false;
    const int count = s.table_count;
    while (s.table_p[s.table_count - 1] < u && s.table_count < kTableSize) {
        const double last = s.table_x[s.table_count - 1];
        const double end = s.maximum > last ? s.maximum : last;
        const double next = s.mean + (end - s.mean) * kExtendGrowth;
        if (!(next > last)) break;
        s.table_count = s.table_count + 1;
        const int m = s.table_count - 1;
        if (s.cdf_exists) {
            s.table_p[m] = cumulative(s, next);
        } else {
            s.table_p[m] = s.table_p[m - 1] + integrate_density(s, s.table_x[m - 1], next);
        }
        s.table_x[m] = next;
    }
    if (s.table_count != count) build_table_guide(s);
    if (s.table_p[s.table_count - 1] < u) {
        s.pmax_extend = 1;
        return false;
    }
    return true;
}

}  // namespace kvz
