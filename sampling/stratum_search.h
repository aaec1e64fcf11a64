// The search of a stratified block for the next base state whose value lies
// in a given thousandth, many states a step.
//
// 2048 steps of the base recurrence are the map x -> A' x + C' with
// A' = A^2048 = 1 (mod 2^13): written x = h * 2^11 + l, they keep the low
// 11 bits l and add to the top 13 bits h a constant D(l) modulo 2^13. So the
// stream, laid out in rows of 2048 successive states, has in each column one
// fixed l, and in row q the h of row 0 plus q D(l). The window holds, for
// every column, the state's top 16 bits (h and the top 3 bits of l) and
// their growth a row (D << 3) as 16-bit numbers: a vector of 16-bit lanes
// works out and tests many columns of a row at once, with no state depending
// on another. Columns are tested in stream order, so the first state found in
// the thousandth is the one the one-by-one search finds.
#pragma once

#include <array>
#include <cstdint>

#include "sampling/sampling.h"
#include "sampling/vector_path.h"

namespace kvz {

// The states whose value lies in [lo, hi): one contiguous run, since the
// value never decreases as the state grows.
struct StateRun {
    std::uint32_t first;
    std::uint32_t last;
    bool empty;
};

// The run for [lo, hi): estimates lo * divisor and hi * divisor moved to the
// exact ends with the same double comparisons a drawn value faces.
constexpr StateRun states_between(double lo, double hi) {
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

// Width of one stratum of a block: value i belongs in [i * width, i * width + width).
constexpr double kStratumWidth = 0.001;
constexpr double stratum_low(int i) { return i * kStratumWidth; }
constexpr double stratum_high(int i) { return stratum_low(i) + kStratumWidth; }

// Layout of the stream in the window.
constexpr int kColumnBits = 11;
constexpr int kWindowColumns = 1 << kColumnBits;           // states a row
constexpr int kWindowRows = 1 << (24 - kColumnBits);       // rows a period
constexpr int kLowBits = 8;                                // a state is top << 8 | low
constexpr std::uint32_t kLowMask = (1u << kLowBits) - 1;
// Columns past the end of a row that the window also holds (the next row's
// first ones): room for a group of columns tested together (64 at the most)
// starting anywhere in a row.
constexpr int kWindowOverhang = 64;

// What the scan of one thousandth compares: a column is a candidate when
// int16(key - its top bits) < bound, i.e. they lie in [first >> 8, last >> 8];
// a candidate is the state when it lies in [first, last] itself.
struct StratumTarget {
    std::uint32_t first;
    std::uint32_t span;  // last - first
    std::uint16_t key;
    std::int16_t bound;
};

constexpr StratumTarget stratum_target(const StateRun& run) {
    const std::uint32_t top_first = run.first >> kLowBits;
    const std::uint32_t top_last = run.last >> kLowBits;
    // top_last - top, moved by half the 16-bit range, turns "top in
    // [top_first, top_last]" into one signed comparison.
    return {run.first, run.last - run.first, static_cast<std::uint16_t>((top_last + 0x8000u) & 0xFFFFu),
            static_cast<std::int16_t>(static_cast<int>(top_last - top_first) - 32768 + 1)};
}

constexpr std::array<StratumTarget, kRngBlockSize> make_stratum_targets() {
    std::array<StratumTarget, kRngBlockSize> t{};
    for (int i = 0; i < kRngBlockSize; ++i) t[i] = stratum_target(states_between(stratum_low(i), stratum_high(i)));
    return t;
}
inline constexpr std::array<StratumTarget, kRngBlockSize> kStratumTargets = make_stratum_targets();

// Every thousandth holds about 16777 states.
constexpr bool every_stratum_has_states() {
    for (int i = 0; i < kRngBlockSize; ++i) {
        if (states_between(stratum_low(i), stratum_high(i)).empty) return false;
    }
    return true;
}

// The kWindowColumns states of the stream after a given state, one column
// each, and where the search stands. Zero (not in use) at load.
struct StateWindow {
    alignas(64) std::uint16_t top[kWindowColumns + kWindowOverhang];     // state >> 8 in row 0
    alignas(64) std::uint16_t growth[kWindowColumns + kWindowOverhang];  // D(l) << 3: its growth a row
    std::uint8_t low[kWindowColumns + kWindowOverhang];                  // state & 255, the same in every row
    int row;     // the row being searched
    int column;  // its next column
    bool in_use;

    // The states after `state`, the first in column 0 of row 0.
    void start(std::uint32_t state);
    // Readies the window for a search after `state`, the last of `drawn`
    // states drawn since the window was left: it moves on past them when it
    // stood just before them, and starts afresh after `state` otherwise.
    void resume(std::uint32_t state, int drawn);
};

// Marks a stratum for which a whole period held no state.
constexpr std::uint32_t kNoState = 0xFFFFFFFFu;

// The stratification of a block: for each i in turn whose state in the
// sorted `states` lies outside stratum i, states[i] becomes the first state
// in stratum i after the last one found (after `state`, the generator's
// state once the block is drawn, for the first), as stepping one state at a
// time would, or kNoState when a whole period holds none; `state` ends as
// the last one found. One version for each path.
using StratifyStates = void (*)(StateWindow& window, std::uint32_t* states, std::uint32_t& state);
void stratify_states_scalar(StateWindow& window, std::uint32_t* states, std::uint32_t& state);
void stratify_states_sse2(StateWindow& window, std::uint32_t* states, std::uint32_t& state);
void stratify_states_avx2(StateWindow& window, std::uint32_t* states, std::uint32_t& state);
void stratify_states_avx512(StateWindow& window, std::uint32_t* states, std::uint32_t& state);

// The version of the path in use.
StratifyStates stratify_states();

}  // namespace kvz
