// Cumulative-table draws on AVX2 (four doubles a vector). This file alone is compiled for
// that instruction set (see CMakeLists.txt) and runs only where the processor
// reports it.
#include "sampling/table_lanes.h"

namespace kvz {

void table_lanes_avx2(const DistSlot& s, const double* u, double* out, int count) {
    table_lanes<4>(s, u, out, count);
}

}  // namespace kvz
