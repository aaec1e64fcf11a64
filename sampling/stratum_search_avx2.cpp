// The stratum search on AVX2, sixteen 16-bit lanes a
// vector. This file alone is compiled for AVX2 (see CMakeLists.txt) and runs
// only where the processor reports it (widest_vector_path).
#include "sampling/stratum_search.h"

#if defined(__AVX2__)
#include <immintrin.h>

#include "sampling/stratum_scan.h"

namespace kvz {

namespace {
// Sixteen 16-bit lanes; below() gives two mask bits a lane.
struct Avx2 : Lanes16<16> {
    static constexpr int kBitsPerLane = 2;
    static Vec min(Vec a, Vec b) { return Vec(_mm256_min_epi16(__m256i(a), __m256i(b))); }
    static __m256i less(Vec a, Vec b) { return _mm256_cmpgt_epi16(__m256i(b), __m256i(a)); }
    static unsigned below(Vec a, Vec b) { return static_cast<unsigned>(_mm256_movemask_epi8(less(a, b))); }
    // Packing interleaves the 128-bit halves; the permutation puts the
    // lanes back in column order.
    static std::uint64_t below2(Vec a0, Vec a1, Vec b) {
        const __m256i packed = _mm256_packs_epi16(less(a0, b), less(a1, b));
        return static_cast<unsigned>(_mm256_movemask_epi8(_mm256_permute4x64_epi64(packed, 0xD8)));
    }
};
}  // namespace

void stratify_states_avx2(StateWindow& window, std::uint32_t* states, std::uint32_t& state) {
    stratify_states_with<Avx2>(window, states, state);
}

}  // namespace kvz
#else
namespace kvz {
// Built without AVX2: never chosen by widest_vector_path; the SSE2 one stands in.
void stratify_states_avx2(StateWindow& window, std::uint32_t* states, std::uint32_t& state) {
    stratify_states_sse2(window, states, state);
}
}  // namespace kvz
#endif
