// The library-wide uniform generator: a 24-bit linear congruential base step,
// used plainly, through a shuffle table, or in stratified blocks.
#include <thread>
#include <utility>

#include "sampling/sampling.h"

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

// Quicksort: parts shorter than this go to straight insertion; the explicit
// stack holds pending (first, last) pairs.
constexpr int kInsertionLimit = 7;
constexpr int kSortStackSize = 50;

// Width of one stratum of a block.
constexpr double kStratumWidth = 0.001;
// Draws spent on one stratum before giving up. The base generator has full
// period 2^24, so within 2^24 successive steps it visits every state, and
// each stratum holds about 16777 of them: the bound is never reached.
constexpr long kStratumDrawLimit = 1L << 24;

void swap_entries(double* a, int* idx, int i, int j) {
    std::swap(a[i], a[j]);
    std::swap(idx[i], idx[j]);
}

// Straight insertion of a[l..ir] (inclusive), carrying idx along.
void insertion_sort(double* a, int* idx, int l, int ir) {
    for (int j = l + 1; j <= ir; ++j) {
        const double v = a[j];
        const int t = idx[j];
        int i = j - 1;
        for (; i >= l; --i) {
            if (a[i] <= v) break;
            a[i + 1] = a[i];
            idx[i + 1] = idx[i];
        }
        a[i + 1] = v;
        idx[i + 1] = t;
    }
}

// Ascending quicksort of a[0..n-1] carrying idx: median of three, insertion
// for small parts, larger part pushed, smaller part worked on next.
void sort_with_index(double* a, int* idx, int n) {
    int stack[kSortStackSize];
    int top = 0;
    int l = 0;
    int ir = n - 1;
    for (;;) {
        if (ir - l < kInsertionLimit) {
            insertion_sort(a, idx, l, ir);
            if (top == 0) return;
            ir = stack[--top];
            l = stack[--top];
            continue;
        }
        const int k = (l + ir) / 2;
        swap_entries(a, idx, k, l + 1);
        if (a[l] > a[ir]) swap_entries(a, idx, l, ir);
        if (a[l + 1] > a[ir]) swap_entries(a, idx, l + 1, ir);
        if (a[l] > a[l + 1]) swap_entries(a, idx, l, l + 1);
        int i = l + 1;
        int j = ir;
        const double pivot = a[l + 1];
        const int pivot_index = idx[l + 1];
        for (;;) {
            do ++i; while (a[i] < pivot);
            do --j; while (a[j] > pivot);
            if (j < i) break;
            swap_entries(a, idx, i, j);
        }
        a[l + 1] = a[j];
        a[j] = pivot;
        idx[l + 1] = idx[j];
        idx[j] = pivot_index;
        // Pushing the larger part keeps the depth below log2(n) pairs, far
        // inside the stack; should it ever be full, finish this part in place.
        if (top + 2 > kSortStackSize) {
            insertion_sort(a, idx, l, ir);
            if (top == 0) return;
            ir = stack[--top];
            l = stack[--top];
            continue;
        }
        if (ir - i + 1 >= j - l) {
            stack[top++] = i;
            stack[top++] = ir;
            ir = j - 1;
        } else {
            stack[top++] = l;
            stack[top++] = j - 1;
            l = i;
        }
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
// from the same state, so the stratum search and plain runs are not held up
// by the recurrence carrying each state into the next. The maps are kept
// shifted up by 8 bits: then the wrap-around of 32-bit arithmetic is the
// reduction modulo 2^24, and a state x appears as x << 8.
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
static_assert(kStratumDrawLimit % kLanes == 0, "the search visits whole groups of lanes");

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

// The states whose value lies in [lo, hi): one contiguous run, since the
// value never decreases as the state grows.
struct StateRun {
    std::uint32_t first;
    std::uint32_t last;
    bool empty;
};

StateRun states_between(double lo, double hi) {
    // Start from the estimates lo * divisor and hi * divisor and move to the
    // exact ends with the same double comparisons a drawn value faces.
    long first = static_cast<long>(lo * kLcgDivisor) - 2;
    if (first < 0) first = 0;
    while (first <= static_cast<long>(kLcgMask) && state_value(first) < lo) ++first;
    while (first > 0 && state_value(first - 1) >= lo) --first;
    long last = static_cast<long>(hi * kLcgDivisor);
    if (last > static_cast<long>(kLcgMask)) last = kLcgMask;
    while (last >= 0 && state_value(last) >= hi) --last;
    while (last < static_cast<long>(kLcgMask) && state_value(last + 1) < hi) ++last;
    if (last < first) return {0, 0, true};
    return {static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last), false};
}

// Advances the base generator to the first following state in `run` and
// returns its value, as drawing one base value after another until one
// lands in the run would; after kStratumDrawLimit steps (a whole period,
// which brings the state back to where it was) it reports false.
bool next_state_in(Generator& g, const StateRun& run, double& value) {
    if (run.empty) return false;
    // Shifted state z is in the run when z - first' <= span' (unsigned).
    const std::uint32_t first = run.first << kStateShift;
    const std::uint32_t span = (run.last - run.first) << kStateShift;
    LaneGroup lanes(g.rng_state);
    for (long step = 0; step < kStratumDrawLimit; step += kLanes) {
        std::uint32_t hits = 0;
        for (int k = 0; k < kLanes; ++k) hits |= (lanes.z[k] - first <= span) ? 1u : 0u;
        if (hits != 0) {
            int k = 0;
            while (!(lanes.z[k] - first <= span)) ++k;
            const std::uint32_t state = lanes.state(k);
            g.rng_state = state;
            value = state_value(state);
            return true;
        }
        lanes.advance();
    }
    return false;
}

// Replace value i until it lies in the i-th stratum [i / 1000, (i + 1) / 1000):
// the base values drawn for it are skipped over until the first that lands
// there, which becomes value i.
void stratify(Generator& g) {
    for (int i = 0; i < kRngBlockSize; ++i) {
        const double lo = i * kStratumWidth;
        const double hi = lo + kStratumWidth;
        if (!(g.rng_buffer[i] < lo || g.rng_buffer[i] >= hi)) continue;
        double value;
        if (next_state_in(g, states_between(lo, hi), value)) {
            g.rng_buffer[i] = value;
        } else {
            g.rng_buffer[i] = lo + kStratumWidth / 2;
        }
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
    for (int i = 0; i < kRngBlockSize; ++i) {
        g.rng_index[i] = i;
        g.rng_buffer[i] = rng_step();
    }
    sort_with_index(g.rng_buffer, g.rng_index, kRngBlockSize);
    stratify(g);
    mix(g);
    g.rng_pos = 0;
}

// A run of the plain kind: whole groups of lanes, then single steps.
void plain_run(Generator& g, double* out, int count) {
    std::uint32_t x = g.rng_state;
    int i = 0;
    if (count >= kLanes) {
        LaneGroup lanes(x);
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
