// The library-wide uniform generator: a 24-bit linear congruential base step,
// used plainly, through a shuffle table, or in stratified blocks.
#include <utility>

#include "sampling/sampling.h"

namespace kvz {

namespace {

// Static storage: zero before any export runs, i.e. plain kind from state 0.
Generator the_generator;

// Base recurrence: full period 2^24 on the low 24 bits.
constexpr std::uint32_t kLcgMultiplier = 1140671485u;
constexpr std::uint32_t kLcgIncrement = 12820163u;  // 0xC39EC3
constexpr std::uint32_t kLcgMask = 0xFFFFFFu;
// 2^24 + 2: values run from 1/16777218 to 16777216/16777218, never 0 or 1.
constexpr double kLcgDivisor = 16777218.0;
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

// Replace value i until it lies in the i-th stratum [i / 1000, (i + 1) / 1000).
void stratify(Generator& g) {
    for (int i = 0; i < kRngBlockSize; ++i) {
        const double lo = i * kStratumWidth;
        const double hi = lo + kStratumWidth;
        long draws = 0;
        while (g.rng_buffer[i] < lo || g.rng_buffer[i] >= hi) {
            if (++draws > kStratumDrawLimit) {
                g.rng_buffer[i] = lo + kStratumWidth / 2;
                break;
            }
            g.rng_buffer[i] = rng_step();
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

double next_stratified(Generator& g) {
    if (g.rng_pos < 0 || g.rng_pos >= kRngBlockSize) make_block(g);
    return g.rng_buffer[g.rng_pos++];
}

}  // namespace

Generator& generator() { return the_generator; }

double rng_step() {
    Generator& g = the_generator;
    g.rng_state = (g.rng_state * kLcgMultiplier + kLcgIncrement) & kLcgMask;
    return (static_cast<double>(g.rng_state) + 1.0) / kLcgDivisor;
}

void set_rng_type(int kind, int seed) {
    Generator& g = the_generator;
    g.rng_state = static_cast<std::uint32_t>(seed) + kSeedOffset;  // wraps modulo 2^32
    g.rng_pos = kRngBlockSize;
    if (kind == kRngShuffled) fill_shuffle_table(g);
    g.rng_kind = kind;
}

double rng() {
    Generator& g = the_generator;
    switch (g.rng_kind) {
        case kRngStratified: return next_stratified(g);
        case kRngShuffled: return next_shuffled(g);
        default: return rng_step();
    }
}

}  // namespace kvz
