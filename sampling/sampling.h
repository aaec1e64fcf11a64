// Random sampling: the library-wide uniform generator, table look-up and
// interpolation, the per-slot tables and the random variates.
#pragma once

#include "interface/slot.h"

namespace kvz {

// Generator kinds chosen by set_rng_type; any other kind is plain.
constexpr int kRngStratified = 15;
constexpr int kRngShuffled = 20;

void set_rng_type(int kind, int seed);
double rng();         // the next uniform of the kind in force, in (0, 1)
double rng_step();    // one step of the base congruential generator

// Index of the first of four interpolation points, 0 <= k <= n - 5.
int table_locate(const double* a, int n, double u);
// Four-point Neville interpolation of b over a at u.
double table_interpolate(const double* a, const double* b, int n, double u);

void precalc(DistSlot& s);
bool table_extend_down(DistSlot& s, double u);
bool table_extend_up(DistSlot& s, double u);

double dvalue(DistSlot& s);

}  // namespace kvz
