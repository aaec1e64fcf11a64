// Builds initialised-looking slots for the evaluation tests without going
// through dinitialise: the parameters as given, the normalisers the
// initialisation would store, and an untruncated slot's t_factor and t_pbelow.
#pragma once

#include <cmath>
#include <memory>

#include "interface/catalogue.h"
#include "interface/slot.h"
#include "special/special.h"

namespace kvz::test {

// Inputs and working values, in record order; designated initialisers name
// only what a case needs.
struct Params {
    int dtype = 0;
    double mean = 0, lmean = 0, mode = 0, stdev = 0, lstdev = 0, minimum = 0, maximum = 0;
    double scale = 0, shape_a = 0, shape_b = 0;
    int n = 0;
    double p = 0, pop = 0, popsuc = 0, sam = 0;
};

// The record is large (two 2000-entry tables): keep it off the stack.
inline std::unique_ptr<DistSlot> make_slot(const Params& in) {
    auto s = std::make_unique<DistSlot>();
    s->dtype = in.dtype;
    s->mean = in.mean;
    s->lmean = in.lmean;
    s->mode = in.mode;
    s->stdev = in.stdev;
    s->lstdev = in.lstdev;
    s->minimum = in.minimum;
    s->maximum = in.maximum;
    s->scale = in.scale;
    s->shape_a = in.shape_a;
    s->shape_b = in.shape_b;
    s->n = in.n;
    s->p = in.p;
    s->pop = in.pop;
    s->popsuc = in.popsuc;
    s->sam = in.sam;
    s->range = in.maximum - in.minimum;
    s->gamma_norm = std::exp(log_gamma(in.shape_a));
    s->beta_norm = beta_function(in.shape_a, in.shape_b);
    const TypeRow row = type_row(kInitialiseAlias(in.dtype));
    s->dclass = row.dclass;
    s->min_exists = row.min_exists == Bit::set;
    s->max_exists = row.max_exists == Bit::set;
    s->t_factor = 1;
    s->t_pbelow = 0;
    return s;
}

}  // namespace kvz::test
