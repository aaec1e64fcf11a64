// The stratum search over vectors of 16-bit lanes, for a set of vector
// operations `V` (see the files that include this one). Each including file
// compiles it for its own instruction set, so everything here has internal
// linkage and calls nothing but V and built-ins: no copy built for a wider
// instruction set can stand in for another's.
//
// V provides Vec (kLanes lanes of 16 bits), kGroup (vectors tested
// together, an even number), load, splat, add, sub, mul (low
// 16 bits of the product), min (signed), below(a, b): the lanes where a < b
// (signed) as a mask of kBitsPerLane bits a lane, and below2(a0, a1, b): the
// same for two vectors, one bit a lane, a0's lanes first. Lanes16 gives the
// wrapping arithmetic for any width; each instruction set adds min and the
// comparisons.
#pragma once

#include <cstdint>

#include "sampling/stratum_search.h"

namespace kvz {
namespace {

// Arithmetic on N lanes of 16 bits, wrapping modulo 2^16.
template <int N>
struct Lanes16 {
    typedef std::uint16_t Vec __attribute__((vector_size(2 * N)));
    static constexpr int kLanes = N;
    static constexpr int kGroup = 64 / N;  // vectors tested together: 64 columns
    static Vec load(const std::uint16_t* p) {
        Vec v;
        __builtin_memcpy(&v, p, sizeof v);
        return v;
    }
    static Vec splat(std::int16_t x) { return Vec{} + static_cast<std::uint16_t>(x); }
    static Vec add(Vec a, Vec b) { return a + b; }
    static Vec sub(Vec a, Vec b) { return a - b; }
    static Vec mul(Vec a, Vec b) { return a * b; }
};

// Column c's top 16 bits in row `row`; c may lie in the window's overhang.
inline std::uint16_t top_in_row(const StateWindow& w, int c, int row) {
    return static_cast<std::uint16_t>(w.top[c] + static_cast<std::uint32_t>(static_cast<std::uint16_t>(row)) *
                                                     w.growth[c]);
}

// key - h for the columns of the vector at column `at`: a column is a
// candidate where this is below the target's bound.
template <class V>
inline typename V::Vec differences(const StateWindow& w, int at, typename V::Vec row, typename V::Vec key) {
    return V::sub(key, V::add(V::load(w.top + at), V::mul(row, V::load(w.growth + at))));
}

// The lowest of n differences, pairwise so that the test of a group waits
// on few steps.
template <class V, int n>
inline typename V::Vec lowest_of(const typename V::Vec* d) {
    if constexpr (n == 1) {
        return d[0];
    } else {
        return V::min(lowest_of<V, n / 2>(d), lowest_of<V, n - n / 2>(d + n / 2));
    }
}

// The offset of the first candidate in a group whose differences are `d`:
// one bit a column in 64-bit words, then the first word that holds one,
// without a branch a vector.
template <class V>
inline int first_in_group(const typename V::Vec* d, typename V::Vec bound) {
    constexpr int kPairBits = 2 * V::kLanes;
    constexpr int kWords = (V::kGroup * V::kLanes + 63) / 64;
    std::uint64_t words[kWords] = {};
#pragma GCC unroll 8
    for (int j = 0; j < V::kGroup / 2; ++j) {
        const int bit = j * kPairBits;
        words[bit / 64] |= V::below2(d[2 * j], d[2 * j + 1], bound) << (bit % 64);
    }
    unsigned holding = 0;
    for (int k = 0; k < kWords; ++k) holding |= static_cast<unsigned>(words[k] != 0) << k;
    const int k = __builtin_ctz(holding);
    return 64 * k + __builtin_ctzll(words[k]);
}

// Moves the window on to the first following state in stratum i and stores
// it in `state`, as stepping one state at a time would; false after a whole
// period without one. Groups run on past the end of a row into the window's
// overhang, which holds the start of the next row: the columns are looked
// at in stream order, and a group never has to stop short.
template <class V>
inline bool find_in_stratum_with(StateWindow& w, int i, std::uint32_t& state) {
    using Vec = typename V::Vec;
    constexpr int kLanes = V::kLanes;
    static_assert(V::kGroup * kLanes <= kWindowOverhang && kWindowColumns % kLanes == 0, "groups fit the window");
    const StratumTarget& t = kStratumTargets[i];
    const Vec key = V::splat(static_cast<std::int16_t>(t.key));
    const Vec bound = V::splat(t.bound);
    int row = w.row;
    int from = w.column;  // the first column still to look at, < kWindowColumns
    const int last_row = row + kWindowRows;  // a period and a row: every state seen
    for (;;) {
        if (row > last_row) {
            w.row = row;
            w.column = from;
            return false;
        }
        Vec row_factor = V::splat(static_cast<std::int16_t>(row));
        // The vector holding `from`, without the columns before it; then whole groups.
        int base = from & ~(kLanes - 1);
        int c;
        const unsigned head = V::below(differences<V>(w, base, row_factor, key), bound) &
                              static_cast<unsigned>(~0ull << ((from - base) * V::kBitsPerLane));
        if (head != 0) {
            c = base + static_cast<int>(__builtin_ctz(head)) / V::kBitsPerLane;
        } else {
            for (base += kLanes;; base += V::kGroup * kLanes) {
                if (base >= kWindowColumns) {
                    base -= kWindowColumns;
                    if (++row > last_row) {
                        w.row = row;
                        w.column = 0;
                        return false;
                    }
                    row_factor = V::splat(static_cast<std::int16_t>(row));
                }
                Vec d[V::kGroup];
#pragma GCC unroll 8
                for (int k = 0; k < V::kGroup; ++k) d[k] = differences<V>(w, base + k * kLanes, row_factor, key);
                const Vec lowest = lowest_of<V, V::kGroup>(d);
                if (V::below(lowest, bound) != 0) {
                    c = base + first_in_group<V>(d, bound);
                    break;
                }
            }
        }
        const std::uint32_t x = (static_cast<std::uint32_t>(top_in_row(w, c, row)) << kLowBits) | w.low[c];
        from = c + 1;
        if (from >= kWindowColumns) {
            from -= kWindowColumns;
            ++row;
        }
        if (x - t.first <= t.span) {
            w.row = row;
            w.column = from;
            state = x;
            return true;
        }
    }
}

// See StratifyStates.
template <class V>
inline void stratify_states_with(StateWindow& w, std::uint32_t* states, std::uint32_t& state) {
    bool ready = false;
    for (int i = 0; i < kRngBlockSize; ++i) {
        const StratumTarget& t = kStratumTargets[i];
        if (states[i] - t.first <= t.span) continue;
        if (!ready) {
            w.resume(state, kRngBlockSize);
            ready = true;
        }
        std::uint32_t found;
        if (find_in_stratum_with<V>(w, i, found)) {
            states[i] = state = found;
        } else {
            states[i] = kNoState;
        }
    }
}

}  // namespace
}  // namespace kvz
