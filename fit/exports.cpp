// The exported fit: every refusal is an in-band code, nothing escapes.
#include "fit/fit.h"

extern "C" {

size_t KVZ_CALL fit_pdf_work_size(int dtype, int n) { return kvz::fit_work_size(dtype, n); }

int KVZ_CALL fit_pdf(int slot, int dtype, const double* data, int n, void* work, size_t work_bytes,
                     kvz_fit_result* result) {
    return kvz::fit(slot, dtype, data, n, work, work_bytes, result);
}

}  // extern "C"
