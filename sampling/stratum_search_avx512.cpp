// The stratum search on AVX-512 (BW), thirty-two 16-bit lanes a vector. This
// file alone is compiled for AVX-512BW (see CMakeLists.txt) and runs only
// where the processor reports it (widest_vector_path).
#include "sampling/stratum_search.h"

#if defined(__AVX512BW__)
#include <immintrin.h>

#include "sampling/stratum_scan.h"

namespace kvz {

namespace {
// Thirty-two 16-bit lanes; comparisons give one mask bit a lane.
struct Avx512 : Lanes16<32> {
    static constexpr int kBitsPerLane = 1;
    static Vec min(Vec a, Vec b) { return Vec(_mm512_min_epi16(__m512i(a), __m512i(b))); }
    static unsigned below(Vec a, Vec b) {
        return static_cast<unsigned>(_mm512_cmplt_epi16_mask(__m512i(a), __m512i(b)));
    }
    static std::uint64_t below2(Vec a0, Vec a1, Vec b) {
        return static_cast<std::uint64_t>(below(a0, b)) | static_cast<std::uint64_t>(below(a1, b)) << 32;
    }
};
}  // namespace

void stratify_states_avx512(StateWindow& window, std::uint32_t* states, std::uint32_t& state) {
    stratify_states_with<Avx512>(window, states, state);
}

}  // namespace kvz
#else
namespace kvz {
// Built without AVX-512: never chosen by widest_vector_path; the AVX2 one stands in.
void stratify_states_avx512(StateWindow& window, std::uint32_t* states, std::uint32_t& state) {
    stratify_states_avx2(window, states, state);
}
}  // namespace kvz
#endif
