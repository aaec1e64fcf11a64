// The type routines of dinitialise. Each base type's routine is split at the
// truncation test: `working` stores the working values the other operations
// read (both branches), `statistics` stores the derived statistics of an
// untruncated slot. Internal to init/.
#pragma once

#include "interface/slot.h"

namespace kvz {

struct TypeRoutine {
    void (*working)(DistSlot&);     // nullptr: no working values
    void (*statistics)(DistSlot&);  // nullptr: no routine for this code
};

// The routine of a continuous (discrete) base type; {nullptr, nullptr} for a
// code without one.
TypeRoutine continuous_routine(int base);
TypeRoutine discrete_routine(int base);

// Upper-bound search of the unbounded discrete types: `maximum` becomes the
// search_end() from `start`. A slot whose parameters are outside the type's
// domain (`admissible` false) keeps the range [start, start].
void upper_bound_search(DistSlot& s, double start, bool admissible);

// Mode of a unimodal mass over minimum..maximum (ties keep the lower value),
// passing over the zero masses below the peak and stopping once the masses
// have fallen well below the best. A peak not reached within kMaxMassTerms
// masses leaves the mode not a number, its flag cleared.
void mode_search(DistSlot& s);

}  // namespace kvz
