// The stratum search: the window of states, the scalar and SSE2 versions of
// the search and the choice between them and the AVX2 and AVX-512 ones
// (stratum_search_avx2.cpp, stratum_search_avx512.cpp).
#include "sampling/stratum_search.h"

#include "sampling/stratum_scan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kvz {

namespace {

static_assert(every_stratum_has_states(), "each thousandth holds states of the base generator");
static_assert(kLcgIncrement % 2 == 1 && kLcgMultiplier % 4 == 1, "the base recurrence has full period 2^24");

// 2048 steps of the base recurrence as one map x -> A' x + C' (mod 2^24),
// and eight steps, which make the window's eight interleaved runs.
struct Jump {
    std::uint32_t a;
    std::uint32_t c;
};
constexpr Jump make_jump(int steps) {
    Jump j{1, 0};
    for (int k = 0; k < steps; ++k) {
        j.a = j.a * kLcgMultiplier;
        j.c = j.c * kLcgMultiplier + kLcgIncrement;
    }
    return j;
}
constexpr Jump kRowJump = make_jump(kWindowColumns);
static_assert((kRowJump.a & ((1u << (24 - kColumnBits)) - 1)) == 1, "a row adds a constant to the top bits");
constexpr int kStartRuns = 8;
constexpr Jump kRunJump = make_jump(kStartRuns);

// One 16-bit lane: the straightforward scan, for builds without SSE2.
struct Scalar {
    using Vec = std::uint16_t;
    static constexpr int kLanes = 1;
    static constexpr int kGroup = 8;
    static constexpr int kBitsPerLane = 1;
    static Vec load(const std::uint16_t* p) { return *p; }
    static Vec splat(std::int16_t x) { return static_cast<Vec>(x); }
    static Vec add(Vec a, Vec b) { return static_cast<Vec>(a + b); }
    static Vec sub(Vec a, Vec b) { return static_cast<Vec>(a - b); }
    static Vec mul(Vec a, Vec b) { return static_cast<Vec>(static_cast<std::uint32_t>(a) * b); }
    static Vec min(Vec a, Vec b) { return static_cast<std::int16_t>(a) < static_cast<std::int16_t>(b) ? a : b; }
    static unsigned below(Vec a, Vec b) { return static_cast<std::int16_t>(a) < static_cast<std::int16_t>(b); }
    static std::uint64_t below2(Vec a0, Vec a1, Vec b) { return below(a0, b) | below(a1, b) << 1; }
};

}  // namespace

void stratify_states_scalar(StateWindow& window, std::uint32_t* states, std::uint32_t& state) {
    stratify_states_with<Scalar>(window, states, state);
}

#if defined(__SSE2__)
namespace {
// Eight 16-bit lanes; below() gives two mask bits a lane.
struct Sse2 : Lanes16<8> {
    static constexpr int kBitsPerLane = 2;
    static Vec min(Vec a, Vec b) { return Vec(_mm_min_epi16(__m128i(a), __m128i(b))); }
    static __m128i less(Vec a, Vec b) { return _mm_cmpgt_epi16(__m128i(b), __m128i(a)); }
    static unsigned below(Vec a, Vec b) { return static_cast<unsigned>(_mm_movemask_epi8(less(a, b))); }
    static std::uint64_t below2(Vec a0, Vec a1, Vec b) {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(less(a0, b), less(a1, b))));
    }
};
}  // namespace

void stratify_states_sse2(StateWindow& window, std::uint32_t* states, std::uint32_t& state) {
    stratify_states_with<Sse2>(window, states, state);
}
#else
void stratify_states_sse2(StateWindow& window, std::uint32_t* states, std::uint32_t& state) {
    stratify_states_scalar(window, states, state);
}
#endif

StratifyStates stratify_states() {
    switch (vector_path()) {
        case VectorPath::kAvx512: return stratify_states_avx512;
        case VectorPath::kAvx2: return stratify_states_avx2;
        case VectorPath::kSse2: return stratify_states_sse2;
        default: return stratify_states_scalar;
    }
}

void StateWindow::start(std::uint32_t state) {
    // Column c + 8 is eight steps after column c: eight independent runs.
    std::uint32_t run[kStartRuns];
    std::uint32_t x = state;
    for (std::uint32_t& r : run) r = x = lcg_next(x);
    for (int c = 0; c < kWindowColumns; c += kStartRuns) {
        for (int k = 0; k < kStartRuns; ++k) {
            const std::uint32_t now = run[k];
            const std::uint32_t below = (kRowJump.a * now + kRowJump.c) & kLcgMask;  // the next row's
            top[c + k] = static_cast<std::uint16_t>(now >> kLowBits);
            growth[c + k] = static_cast<std::uint16_t>(((below - now) & kLcgMask) >> kLowBits);
            low[c + k] = static_cast<std::uint8_t>(now & kLowMask);
            run[k] = (kRunJump.a * now + kRunJump.c) & kLcgMask;
        }
    }
    // The overhang: the first columns again, one row on.
    for (int c = 0; c < kWindowOverhang; ++c) {
        top[kWindowColumns + c] = static_cast<std::uint16_t>(top[c] + growth[c]);
        growth[kWindowColumns + c] = growth[c];
        low[kWindowColumns + c] = low[c];
    }
    row = 0;
    column = 0;
}

void StateWindow::resume(std::uint32_t state, int drawn) {
    if (in_use) {
        const int at = (row % kWindowRows) * kWindowColumns + column + drawn;  // below 2^24 + 2^13
        row = at / kWindowColumns;
        column = at % kWindowColumns;
        // The state just before the new position (row - 1 may be -1: the
        // arithmetic is modulo 2^16, one row back).
        const int c = column > 0 ? column - 1 : kWindowColumns - 1;
        const int r = column > 0 ? row : row - 1;
        const std::uint32_t before = (static_cast<std::uint32_t>(top_in_row(*this, c, r)) << kLowBits) | low[c];
        if (before == (state & kLcgMask)) return;
    }
    start(state);
    in_use = true;
}

}  // namespace kvz
