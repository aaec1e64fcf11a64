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

// Base recurrence: full period 2^24 on the low 24 bits.
constexpr std::uint32_t kLcgMultiplier = 1140671485u;
constexpr std::uint32_t kLcgIncrement = 12820163u;  // 0xC39EC3
constexpr std::uint32_t kLcgMask = 0xFFFFFFu;
// 2^24 + 2: values run from 1/16777218 to 16777216/16777218, never 0 or 1.
constexpr double kLcgDivisor = 16777218.0;

namespace generator_detail {
// Defined in generator.cpp. Visible here so that the plain step, which every
// draw takes, compiles inline into its callers.
extern Generator the_generator;
}  // namespace generator_detail

inline Generator& generator() { return generator_detail::the_generator; }

void set_rng_type(int kind, int seed);

// One step of the base congruential generator.
inline double rng_step() {
    Generator& g = generator_detail::the_generator;
    g.rng_state = (g.rng_state * kLcgMultiplier + kLcgIncrement) & kLcgMask;
    return (static_cast<double>(g.rng_state) + 1.0) / kLcgDivisor;
}

double rng_shuffled();    // the next value through the shuffle table
double rng_stratified();  // the next value of the stratified block

// The next uniform of the kind in force, in (0, 1).
inline double rng() {
    switch (generator_detail::the_generator.rng_kind) {
        case kRngStratified: return rng_stratified();
        case kRngShuffled: return rng_shuffled();
        default: return rng_step();
    }
}

// Index of the first of four interpolation points, 0 <= k <= n - 5.
int table_locate(const double* a, int n, double u);
// Four-point Neville interpolation of b over a at u.
double table_interpolate(const double* a, const double* b, int n, double u);

// The slot's cumulative table with its guide (see DistSlot): the same block
// as table_locate and the same value as table_interpolate, bit for bit, for
// every u. Without a usable guide they are those two.
void build_table_guide(DistSlot& s);
int guided_locate(const DistSlot& s, double u);
double table_draw_interpolate(const DistSlot& s, double u);
// Up to kInterpolateLanes values at once (the same operations per value).
constexpr int kInterpolateLanes = 8;
void table_draw_interpolate_lanes(const DistSlot& s, const double* u, double* out, int count);

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
// `count` values, each equal to what dvalue would give in turn.
void dvalue_batch(DistSlot& s, double* out, int count);

}  // namespace kvz
