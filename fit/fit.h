// Fitting a type to data by maximum likelihood (include/kvz_comp_fit.h).
#pragma once

#include <cstddef>

#include "include/kvz_comp_fit.h"

namespace kvz {

std::size_t fit_work_size(int dtype, int n);
int fit(int slot, int dtype, const double* data, int n, void* work, std::size_t work_bytes, kvz_fit_result* result);

}  // namespace kvz
