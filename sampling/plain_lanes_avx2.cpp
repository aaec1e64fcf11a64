// The plain run on AVX2 (four doubles a vector). This file alone is compiled
// for AVX2 (see CMakeLists.txt) and runs only where the processor reports it.
#include "sampling/plain_lanes.h"

namespace kvz {

std::uint32_t plain_groups_avx2(std::uint32_t* lanes, std::uint32_t jump_a, std::uint32_t jump_c, double* out,
                                int groups) {
    return plain_groups_with(lanes, jump_a, jump_c, out, groups);
}

}  // namespace kvz
