// The plain generator's runs eight states at a time, on GCC's generic vectors:
// each including file compiles this for its own instruction set, so the
// kernel has internal linkage (no copy built for a wider set can stand in for
// another's). A value is formed as a single step forms it (state_value): the
// 24-bit state converts exactly, adding 1 is exact, and the division rounds
// once in any width, so the values are the same bits.
#pragma once

#include <cstdint>
#include <cstring>

#include "sampling/sampling.h"

namespace kvz {
namespace {

constexpr int kPlainLanes = 8;
constexpr int kPlainStateShift = 8;
typedef std::uint32_t LaneStates __attribute__((vector_size(4 * kPlainLanes)));
typedef std::int32_t LaneInts __attribute__((vector_size(4 * kPlainLanes)));
typedef double LaneValues __attribute__((vector_size(8 * kPlainLanes)));

std::uint32_t plain_groups_with(std::uint32_t* lanes, std::uint32_t jump_a, std::uint32_t jump_c, double* out,
                                int groups) {
    LaneStates z;
    std::memcpy(&z, lanes, sizeof z);
    LaneStates written = z;
    for (int g = 0; g < groups; ++g) {
        // States lie below 2^24: a signed conversion is exact.
        const LaneValues v =
            (__builtin_convertvector(LaneInts(z >> kPlainStateShift), LaneValues) + 1.0) / kLcgDivisor;
        std::memcpy(out + kPlainLanes * g, &v, sizeof v);
        written = z;
        z = z * jump_a + jump_c;
    }
    std::memcpy(lanes, &z, sizeof z);
    return written[kPlainLanes - 1] >> kPlainStateShift;
}

}  // namespace
}  // namespace kvz
