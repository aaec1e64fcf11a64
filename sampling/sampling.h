// Random sampling: the library-wide uniform generator, table look-up and
// interpolation, the per-slot tables and the random variates.
#pragma once

#include <cstdint>

#include "interface/slot.h"

namespace kvz {

// Generator kinds chosen by set_rng_type; any other kind is plain.
constexpr int kRngStratified = 15;
constexpr int kRngShuffled = 20;
// Values per stratified block, and entries of the shuffle table.
constexpr int kRngBlockSize = 1000;

// The one library-wide generator state. Zero (plain kind, state 0) at load.
struct Generator {
    std::uint32_t rng_state;
    int rng_kind;
    int rng_pos;    // next value of the stratified block; kRngBlockSize = used up
    double rng_last;  // shuffled kind: the value handed out last
    double rng_buffer[kRngBlockSize];
    int rng_index[kRngBlockSize];
};
Generator& generator();

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

// The whole numbers a discrete table covers: the slot's range (truncation
// points or working bounds) inside the type's support. Empty when last < first.
struct DiscreteRange {
    double first;
    double last;
};
DiscreteRange discrete_range(const DistSlot& s);

double dvalue(DistSlot& s);

}  // namespace kvz
