// dinitialise: resets, alias conversions, class and flags from the catalogue
// row, the type routine, and either the truncation hand-over or the
// statistics of the untruncated distribution.
#include <cmath>

#include "eval/eval.h"
#include "eval/rules.h"
#include "init/init.h"
#include "init/routines.h"
#include "interface/catalogue.h"
#include "special/elementary.h"

namespace kvz {

namespace {

// Cleared on every call, whatever the type code.
void reset_slot(DistSlot& s) {
    s.pmin_extend = 0;
    s.pmax_extend = 0;
    clear_truncation(s);
    s.prepared = 0;
    // Sums of masses recorded for the slot's former inputs.
    s.sum_checkpoints.ready = 0;
    s.walk_above.ready = 0;
    s.walk_below.ready = 0;
}

// Rewrites an alias's inputs as the inputs of its base type.
void convert_alias(DistSlot& s) {
    switch (s.dtype) {
        case kWald:
            s.mean = 1.0;
            break;
        case kLognormalByMoments: {
            const double ratio = s.stdev / s.mean;
            s.lstdev = std::sqrt(elem::log(ratio * ratio + 1));
            s.lmean = elem::log(s.mean) - 0.5 * (s.lstdev * s.lstdev);
            break;
        }
        case kChiSquare:
            s.scale = 2.0;
            break;
        case kLognormalByMedian:
            s.lmean = elem::log(s.median);
            break;
        default:
            break;
    }
}

void write_bit(Flag& field, Bit bit) {
    if (bit != Bit::routine) field = static_cast<Flag>(bit);
}

// Class, method flags and existence flags as the catalogue row gives them;
// bytes the row leaves to the routine are not touched here.
void write_row(DistSlot& s, const TypeRow& row) {
    s.dclass = row.dclass;
    write_bit(s.cdf_exists, row.cdf_exists);
    write_bit(s.inv_exists, row.inv_exists);
    write_bit(s.min_exists, row.min_exists);
    write_bit(s.max_exists, row.max_exists);
    write_bit(s.avg_exists, row.avg_exists);
    write_bit(s.var_exists, row.var_exists);
    write_bit(s.mod_exists, row.mod_exists);
    write_bit(s.med_exists, row.med_exists);
    write_bit(s.skw_exists, row.skw_exists);
    write_bit(s.krt_exists, row.krt_exists);
}

constexpr int kMomentsByQuantiles = 1;
constexpr int kMomentsByDensity = 2;

// Heavy or unbounded densities at a cut take their moments from quantile
// strips; the others integrate or sum the density.
int moment_method_for(const DistSlot& s, MomentRule rule) {
    const double a = s.shape_a;
    const double b = s.shape_b;
    bool by_quantiles = false;
    switch (rule) {
        case MomentRule::quantile:
            by_quantiles = true;
            break;
        case MomentRule::beta:
            by_quantiles = (s.t_min_flag != 0 && b < 1) || (s.t_max_flag != 0 && a < 1);
            break;
        case MomentRule::gamma:
            by_quantiles = a < 1;
            break;
        case MomentRule::power:
            by_quantiles = a < 1 || a > 10;
            break;
        case MomentRule::none:
        case MomentRule::density:
            break;
    }
    return by_quantiles ? kMomentsByQuantiles : kMomentsByDensity;
}

}  // namespace

void dinitialise(DistSlot& s) {
    reset_slot(s);
    convert_alias(s);
    const int base = kInitialiseAlias(s.dtype);
    const TypeRow row = type_row(base);
    if (!row.initialised) return;
    const TypeRoutine routine = row.dclass == 1 ? continuous_routine(base) : discrete_routine(base);
    if (routine.statistics == nullptr) return;

    write_row(s, row);
    if (routine.working != nullptr) routine.working(s);

    // The degenerate type has no truncation branch: its row carries no rule.
    if (truncation_applies(s)) {
        s.moment_method = moment_method_for(s, row.moment);
        truncate(s);
        return;
    }
    s.dminimum = s.minimum;
    s.dmaximum = s.maximum;
    routine.statistics(s);
}

}  // namespace kvz
