// The library-wide uniform generator: a 24-bit linear congruential base step,
// used plainly, through a shuffle table, or in stratified blocks.
#include <thread>
#include <utility>

#include "sampling/sampling.h"
#include "sampling/stratum_search.h"

namespace kvz {

// Static storage: zero before any export runs, i.e. plain kind from state 0.
Generator generator_detail::the_generator;
generator_detail::GeneratorLock generator_detail::the_lock;

namespace {
// A holder usually lets go within nanoseconds (one value) or microseconds (a
// batch); a stratified block or a long batch takes longer, and then a waiter
// gives its processor away between looks.
constexpr int kSpinsBeforeYield = 64;
}  // namespace

void generator_detail::wait_for_generator() {
    std::atomic<bool>& held = the_lock.held;
    for (int spins = 0;; ++spins) {
        // Look without writing until the guard is seen free, then try to take it.
        if (!held.load(std::memory_order_relaxed) && !held.exchange(true, std::memory_order_acquire)) {
            return;
        }
        if (spins >= kSpinsBeforeYield) std::this_thread::yield();
    }
}

namespace {

using generator_detail::the_generator;

constexpr std::uint32_t kSeedOffset = 327680u;  // 0x50000

// The sort of a block's drawn values. A value grows with its state, and 1000
// successive states of a full-period recurrence are distinct, so the values
// have one ascending order: sorting the states, each carrying the position it
// was drawn at, gives it. The sort is by radix, a byte of the state a pass
// from the lowest, each pass keeping the order of the one before.
constexpr int kRadixBits = 8;
constexpr int kRadixPasses = 3;  // 24-bit states
constexpr int kRadixBuckets = 1 << kRadixBits;
constexpr int kStateKeyShift = 32;  // a drawn entry: state << 32 | position

void sort_drawn(std::uint64_t* drawn, std::uint64_t* scratch, int n) {
    int start[kRadixPasses][kRadixBuckets] = {};
    for (int i = 0; i < n; ++i) {
        for (int p = 0; p < kRadixPasses; ++p) {
            ++start[p][(drawn[i] >> (kStateKeyShift + p * kRadixBits)) & (kRadixBuckets - 1)];
        }
    }
    for (int p = 0; p < kRadixPasses; ++p) {
        int sum = 0;
        for (int& b : start[p]) {
            const int count = b;
            b = sum;
            sum += count;
        }
    }
    std::uint64_t* from = drawn;
    std::uint64_t* to = scratch;
    for (int p = 0; p < kRadixPasses; ++p) {
        for (int i = 0; i < n; ++i) {
            to[start[p][(from[i] >> (kStateKeyShift + p * kRadixBits)) & (kRadixBuckets - 1)]++] = from[i];
        }
        std::swap(from, to);
    }
    if (from != drawn) {
        for (int i = 0; i < n; ++i) drawn[i] = from[i];
    }
}

void fill_shuffle_table(Generator& g) {
    for (int i = 0; i < kRngBlockSize; ++i) g.rng_buffer[i] = rng_step();
    g.rng_last = g.rng_buffer[kRngBlockSize - 1];
}

double next_shuffled(Generator& g) {
    int k = static_cast<int>(kRngBlockSize * g.rng_last);
    if (k < 0 || k >= kRngBlockSize) k = 0;  // only if the table was never filled
    g.rng_last = g.rng_buffer[k];
    g.rng_buffer[k] = rng_step();
    return g.rng_last;
}

// Jump-ahead: k steps of the base recurrence are one affine map,
// x -> (A_k x + C_k) mod 2^24. kLanes successive states are computed at once
// from the same state, so plain runs are not held up by the recurrence
// carrying each state into the next. The maps are kept shifted up by 8 bits:
// then the wrap-around of 32-bit arithmetic is the reduction modulo 2^24, and
// a state x appears as x << 8.
constexpr int kLanes = 8;
constexpr int kStateShift = 8;
struct JumpAhead {
    std::uint32_t a[kLanes];
    std::uint32_t c[kLanes];  // C_k << 8
};
constexpr JumpAhead make_jump_ahead() {
    JumpAhead j{};
    std::uint32_t a = 1;
    std::uint32_t c = 0;
    for (int k = 0; k < kLanes; ++k) {
        a = a * kLcgMultiplier;
        c = c * kLcgMultiplier + kLcgIncrement;
        j.a[k] = a;
        j.c[k] = c << kStateShift;
    }
    return j;
}
constexpr JumpAhead kJumpAhead = make_jump_ahead();

// kLanes successive states in flight, shifted: lane k holds the state k + 1
// steps after the group's start; one jump of kLanes steps, the same map for
// every lane, moves the whole group on.
struct LaneGroup {
    std::uint32_t z[kLanes];

    explicit LaneGroup(std::uint32_t start) {
        const std::uint32_t x = start << kStateShift;
        for (int k = 0; k < kLanes; ++k) z[k] = kJumpAhead.a[k] * x + kJumpAhead.c[k];
    }
    void advance() {
        for (int k = 0; k < kLanes; ++k) z[k] = kJumpAhead.a[kLanes - 1] * z[k] + kJumpAhead.c[kLanes - 1];
    }
    std::uint32_t state(int k) const { return z[k] >> kStateShift; }
};

// The search window, used under the guard like the generator itself. It
// follows the stream from one block to the next while nothing else moves
// the generator.
StateWindow the_window;

// Replace value i until it lies in the i-th stratum [i / 1000, (i + 1) / 1000):
// the base values drawn for it are skipped over until the first that lands
// there, which becomes value i. Works on the sorted states, each stratum
// being a run of states, and leaves the values in rng_buffer.
void stratify(Generator& g, std::uint32_t* states) {
    stratify_states()(the_window, states, g.rng_state);
    bool missed = false;
    for (int i = 0; i < kRngBlockSize; ++i) {
        g.rng_buffer[i] = state_value(states[i]);
        missed |= states[i] == kNoState;
    }
    if (!missed) return;
    for (int i = 0; i < kRngBlockSize; ++i) {
        if (states[i] == kNoState) g.rng_buffer[i] = stratum_low(i) + kStratumWidth / 2;
    }
}

// One pass of swaps along the index permutation left by the sort.
void mix(Generator& g) {
    for (int j = 0; j < kRngBlockSize; ++j) {
        const int e = g.rng_index[j];
        const double v = g.rng_buffer[e];
        const int t = g.rng_index[e];
        g.rng_buffer[e] = g.rng_buffer[j];
        g.rng_index[e] = e;
        g.rng_buffer[j] = v;
        g.rng_index[j] = t;
    }
}

void make_block(Generator& g) {
    std::uint64_t drawn[kRngBlockSize];
    std::uint64_t scratch[kRngBlockSize];
    std::uint32_t x = g.rng_state;
    for (int i = 0; i < kRngBlockSize; ++i) {
        x = lcg_next(x);
        drawn[i] = (static_cast<std::uint64_t>(x) << kStateKeyShift) | static_cast<std::uint32_t>(i);
    }
    g.rng_state = x;
    sort_drawn(drawn, scratch, kRngBlockSize);
    std::uint32_t states[kRngBlockSize];
    for (int k = 0; k < kRngBlockSize; ++k) {
        states[k] = static_cast<std::uint32_t>(drawn[k] >> kStateKeyShift);
        g.rng_index[k] = static_cast<int>(drawn[k] & 0xFFFFFFFFu);
    }
    stratify(g, states);
    mix(g);
    g.rng_pos = 0;
}

static_assert(kLanes == 8, "the wide plain runs hold eight lanes");

// The wide plain run the vector path in use has, or none.
PlainGroups wide_plain_groups() {
    switch (vector_path()) {
        case VectorPath::kAvx512: return plain_groups_avx512;
        case VectorPath::kAvx2: return plain_groups_avx2;
        default: return nullptr;
    }
}

// A run of the plain kind: whole groups of lanes, then single steps.
void plain_run(Generator& g, double* out, int count) {
    std::uint32_t x = g.rng_state;
    int i = 0;
    if (count >= kLanes) {
        LaneGroup lanes(x);
        if (const PlainGroups wide = wide_plain_groups()) {
            const int groups = count / kLanes;
            x = wide(lanes.z, kJumpAhead.a[kLanes - 1], kJumpAhead.c[kLanes - 1], out, groups);
            i = groups * kLanes;
        }
        for (; i + kLanes <= count; i += kLanes) {
            for (int k = 0; k < kLanes; ++k) out[i + k] = state_value(lanes.state(k));
            x = lanes.state(kLanes - 1);
            lanes.advance();
        }
    }
    for (; i < count; ++i) {
        x = lcg_next(x);
        out[i] = state_value(x);
    }
    g.rng_state = x;
}

double next_stratified(Generator& g) {
    if (g.rng_pos < 0 || g.rng_pos >= kRngBlockSize) make_block(g);
    return g.rng_buffer[g.rng_pos++];
}

}  // namespace

void set_rng_type(int kind, int seed) {
    Generator& g = the_generator;
    g.rng_state = static_cast<std::uint32_t>(seed) + kSeedOffset;  // wraps modulo 2^32
    g.rng_pos = kRngBlockSize;
    if (kind == kRngShuffled) fill_shuffle_table(g);
    g.rng_kind = kind;
}

double rng_shuffled() { return next_shuffled(the_generator); }
double rng_stratified() { return next_stratified(the_generator); }

void rng_batch(double* out, int count) {
    Generator& g = the_generator;
    switch (g.rng_kind) {
        case kRngStratified:
            for (int i = 0; i < count; ++i) out[i] = next_stratified(g);
            break;
        case kRngShuffled:
            for (int i = 0; i < count; ++i) out[i] = next_shuffled(g);
            break;
        default: plain_run(g, out, count);
    }
}

}  // namespace kvz
