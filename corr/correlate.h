// Correlated sampling across slots: each slot's own draws, reordered so that
// the rank correlation of the columns approaches a target matrix.
#pragma once

#include <cstddef>

#include "interface/slot.h"

namespace kvz {

// Most slots one correlated draw takes: every slot of the table.
constexpr int kMaxCorrelated = kSlotCount;

// The refusals of a correlated draw, in the order they are checked.
enum class CorrStatus : int {
    ok = 0,
    null_array = -1,
    bad_k = -2,
    bad_n = -3,
    bad_slot = -4,
    repeated_slot = -5,
    bad_target = -6,
    small_workspace = -7,
    no_variates = -8,
};

// Bytes of workspace for k columns of n values; 0 when k lies outside
// 1..kMaxCorrelated, n is below 2 or the size does not fit a size_t.
std::size_t correlated_work_size(int k, int n);

// Whether a k x k row-major matrix may serve as a target: symmetric, unit
// diagonal, every entry a number in [-1, 1].
bool valid_target(const double* target, int k);

// What a correlated draw works on; the caller has checked every argument.
struct CorrelatedDraw {
    DistSlot* const* slots;  // k prepared slots, none twice
    int k;
    int n;
    const double* target;  // k x k, a valid target
    double* out;           // n x k, row-major
    double* achieved;      // k x k, or null
    double* repaired;      // the repair distance
    void* work;            // correlated_work_size(k, n) bytes
};

// Draws the columns in slot order and writes them reordered.
void correlated_draw(const CorrelatedDraw& d);

}  // namespace kvz
