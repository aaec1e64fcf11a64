// Random sampling: the library-wide uniform generator, table look-up and
// interpolation, the per-slot tables and the random variates.
#pragma once

#include <atomic>
#include <cstdint>

#include "eval/masses.h"
#include "interface/slot.h"

namespace kvz {

// The sampling method of a discrete slot whose masses lie beyond the walks'
// reach but whose type has a closed-form inverse (the geometric, the discrete
// uniform); not a type code.
constexpr int kSampleClosedForm = 64;

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
// The smallest and the largest uniform any kind of generator hands out.
constexpr double kSmallestUniform = 1.0 / kLcgDivisor;
constexpr double kLargestUniform = (kLcgMask + 1.0) / kLcgDivisor;

namespace generator_detail {
// Defined in generator.cpp. Visible here so that the plain step, which every
// draw takes, and the uncontended guard compile inline into their callers.
extern Generator the_generator;
// Set while a thread holds the generator; on a cache line of its own, so that
// threads working on slots do not disturb it.
struct alignas(64) GeneratorLock {
    std::atomic<bool> held;
};
extern GeneratorLock the_lock;
// Waits, spinning and then yielding, until the guard is free, and takes it.
void wait_for_generator();
}  // namespace generator_detail

inline Generator& generator() { return generator_detail::the_generator; }

// Holds the generator for one thread from construction to destruction. Every
// exported call that draws from the generator or reseeds it takes the guard
// once, for the whole call: a variate's uniforms and a batch's values are
// then one unbroken run of the stream, and each value goes to one caller.
// Not reentrant: code running under the guard calls rng(), never anything
// that takes the guard again.
class GeneratorGuard {
public:
    GeneratorGuard() {
        if (generator_detail::the_lock.held.exchange(true, std::memory_order_acquire)) {
            generator_detail::wait_for_generator();
        }
    }
    ~GeneratorGuard() { generator_detail::the_lock.held.store(false, std::memory_order_release); }
    GeneratorGuard(const GeneratorGuard&) = delete;
    GeneratorGuard& operator=(const GeneratorGuard&) = delete;
};

void set_rng_type(int kind, int seed);

// The base recurrence on a state, and the value a state stands for.
constexpr std::uint32_t lcg_next(std::uint32_t x) { return (x * kLcgMultiplier + kLcgIncrement) & kLcgMask; }
constexpr double state_value(std::uint32_t x) { return (static_cast<double>(x) + 1.0) / kLcgDivisor; }

// One step of the base congruential generator.
inline double rng_step() {
    Generator& g = generator_detail::the_generator;
    g.rng_state = lcg_next(g.rng_state);
    return state_value(g.rng_state);
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

// rng() under the guard, for a call whose only use of the generator is one
// value.
inline double rng_guarded() {
    GeneratorGuard guard;
    return rng();
}

// `count` successive values of the kind in force, the same as `count` calls
// of rng(); nothing is drawn when count <= 0.
void rng_batch(double* out, int count);

// Plain runs on wide vectors (plain_lanes.h), each built for its instruction
// set and used only where the processor has it: `groups` groups of eight
// values into out, from eight lane states shifted up by 8 bits (lane k the
// state k + 1 steps on) that each group moves on by the shifted eight-step
// map jump_a, jump_c. Returns the last state written, unshifted.
using PlainGroups = std::uint32_t (*)(std::uint32_t* lanes, std::uint32_t jump_a, std::uint32_t jump_c,
                                      double* out, int groups);
std::uint32_t plain_groups_avx2(std::uint32_t* lanes, std::uint32_t jump_a, std::uint32_t jump_c, double* out,
                                int groups);
std::uint32_t plain_groups_avx512(std::uint32_t* lanes, std::uint32_t jump_a, std::uint32_t jump_c, double* out,
                                  int groups);

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
// Records the checkpoints of the walks a discrete draw takes beyond the two
// ends of its table (a table covering part of its range); clears them first.
void record_table_walks(DistSlot& s);
// The value a draw from a discrete table gives for the uniform u (the
// method behind dvalue for such a slot).
double discrete_table_value(const DistSlot& s, double u);
bool table_extend_down(DistSlot& s, double u);
bool table_extend_up(DistSlot& s, double u);

// Whether the slot has been initialised and its sampling method (precalc's
// choice) draws variates: dvalue below answers 0 for a slot without one (the
// F type, the untruncated Student t).
bool draws_variates(const DistSlot& s);
double dvalue(DistSlot& s);
// `count` values, each equal to what dvalue would give in turn.
void dvalue_batch(DistSlot& s, double* out, int count);

}  // namespace kvz
