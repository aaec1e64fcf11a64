// The exported correlated draw: every argument checked before anything is
// drawn or written, then the draw.
#include <cstddef>

#include "corr/correlate.h"
#include "include/kvz_comp_corr.h"
#include "sampling/sampling.h"

namespace {

using kvz::CorrStatus;

static_assert(static_cast<int>(CorrStatus::null_array) == KVZ_CORR_NULL_ARRAY);
static_assert(static_cast<int>(CorrStatus::bad_k) == KVZ_CORR_BAD_K);
static_assert(static_cast<int>(CorrStatus::bad_n) == KVZ_CORR_BAD_N);
static_assert(static_cast<int>(CorrStatus::bad_slot) == KVZ_CORR_BAD_SLOT);
static_assert(static_cast<int>(CorrStatus::repeated_slot) == KVZ_CORR_REPEATED_SLOT);
static_assert(static_cast<int>(CorrStatus::bad_target) == KVZ_CORR_BAD_TARGET);
static_assert(static_cast<int>(CorrStatus::small_workspace) == KVZ_CORR_SMALL_WORKSPACE);
static_assert(static_cast<int>(CorrStatus::no_variates) == KVZ_CORR_NO_VARIATES);

// The records of the k slots, or the refusal they earn.
CorrStatus resolve_slots(const int* slots, int k, kvz::DistSlot** records) {
    for (int j = 0; j < k; ++j) {
        records[j] = kvz::slot_at(slots[j]);
        if (!records[j] || !records[j]->prepared) return CorrStatus::bad_slot;
    }
    for (int j = 0; j < k; ++j)
        for (int i = 0; i < j; ++i)
            if (slots[i] == slots[j]) return CorrStatus::repeated_slot;
    for (int j = 0; j < k; ++j)
        if (!kvz::draws_variates(*records[j])) return CorrStatus::no_variates;
    return CorrStatus::ok;
}

CorrStatus correlated(const int* slots, int k, int n, const double* target, double* out, double* achieved,
                      double* repaired, void* work, std::size_t work_bytes) {
    if (!slots || !target || !out || !repaired) return CorrStatus::null_array;
    if (k < 1 || k > kvz::kMaxCorrelated) return CorrStatus::bad_k;
    const std::size_t needed = kvz::correlated_work_size(k, n);
    if (needed == 0) return CorrStatus::bad_n;
    kvz::DistSlot* records[kvz::kMaxCorrelated];
    if (const CorrStatus s = resolve_slots(slots, k, records); s != CorrStatus::ok) return s;
    if (!kvz::valid_target(target, k)) return CorrStatus::bad_target;
    if (!work || work_bytes < needed) return CorrStatus::small_workspace;
    kvz::correlated_draw({records, k, n, target, out, achieved, repaired, work});
    return CorrStatus::ok;
}

}  // namespace

extern "C" {

size_t KVZ_CALL dvalue_correlated_work_size(int k, int n) { return kvz::correlated_work_size(k, n); }

int KVZ_CALL dvalue_correlated(const int* slots, int k, int n, const double* target, double* out, double* achieved,
                               double* repaired, void* work, size_t work_bytes) {
    return static_cast<int>(correlated(slots, k, n, target, out, achieved, repaired, work, work_bytes));
}

}  // extern "C"
