// The guided look-up of a block of a cumulative table and the unrolled
// four-point interpolation on it, for one draw or a vector of draws. Each
// including file compiles this for its own instruction set (interpolate.cpp
// for the baseline, table_lanes_avx2.cpp and table_lanes_avx512.cpp for the
// wide vectors), so everything here has internal linkage and calls nothing
// built for another set: no copy built for a wider set can stand in for
// another's. Every operation on a vector is the IEEE operation on each
// double, so each lane gives what one draw gives.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>

#include "sampling/sampling.h"

// The small steps of a draw, inlined into every caller.
#define KVZ_INLINE inline __attribute__((always_inline))

namespace kvz {

// Fallback for a block with two equal abscissae (a flat stretch of a
// cumulative table), where the cubic does not exist: linear interpolation
// between the last entry not above u and the next higher one. On a flat
// stretch hit exactly this returns the stretch's last ordinate, a value at
// which the table takes the probability u.
double flat_interpolate(const double* a, const double* b, int n, double u);

// Draws through the wide vectors, where the processor has them: table_lanes
// for four or eight lanes.
void table_lanes_avx2(const DistSlot& s, const double* u, double* out, int count);
void table_lanes_avx512(const DistSlot& s, const double* u, double* out, int count);

namespace {

constexpr int kPoints = 4;          // cubic through four neighbouring entries
constexpr int kBlockClampSpan = 5;  // the block never reaches the last entry

// The first of the four points for the last entry not above u (`lo`, or 0
// when none is): an exact hit on the second entry starts at the first, and
// the block never runs past the table's end.
KVZ_INLINE int block_start(const double* a, int n, double u, int lo) {
    int k = (n > 1 && u == a[1]) ? 1 : lo;
    if (k + kBlockClampSpan > n) k = n - kBlockClampSpan;
    if (k < 0) k = 0;  // tables shorter than five entries: start at the first
    return k;
}

// Vectors go by reference and come back through one, so that the kernel
// has one form for a double and for a vector of them.
template <class V>
KVZ_INLINE void magnitude(const V& v, V& out) {
    using Bits = decltype(v < v);  // integers of a double's width
    constexpr long long kNoSign = 0x7FFFFFFFFFFFFFFFLL;  // what fabs does: clear the sign bit
    out = reinterpret_cast<V>(reinterpret_cast<Bits>(v) & kNoSign);
}
KVZ_INLINE void magnitude(const double& v, double& out) { out = std::fabs(v); }

// y[ns] + first[ns] + second[ns] + third[ns], left to right, for the
// nearest point ns = 3 if m3, else 2 if m2, else 1 if m1, else 0. One draw
// indexes by ns (whose comparisons a processor cannot predict, so no branch
// depends on them); a vector of draws blends lane by lane.
KVZ_INLINE void path_sum(const bool& m1, const bool& m2, const bool& m3, const double* y,
                         const double* first, const double* second, const double* third,
                         double& out) {
    const int k1 = m1, k2 = m2, k3 = m3;  // 0 or 1: arithmetic, not jumps
    const int ns = k3 * 3 + (k3 ^ 1) * (k2 * 2 + (k2 ^ 1) * k1);
    out = ((y[ns] + first[ns]) + second[ns]) + third[ns];
}
template <class V, class Mask>
KVZ_INLINE void path_sum(const Mask& m1, const Mask& m2, const Mask& m3, const V* y,
                         const V* first, const V* second, const V* third, V& out) {
    const V y0 = m3 ? y[3] : m2 ? y[2] : m1 ? y[1] : y[0];
    const V f = m3 ? first[3] : m2 ? first[2] : m1 ? first[1] : first[0];
    const V g = m3 ? second[3] : m2 ? second[2] : m1 ? second[1] : second[0];
    const V h = m3 ? third[3] : m2 ? third[2] : m1 ? third[1] : third[0];
    out = ((y0 + f) + g) + h;
}

// Neville's algorithm on one block of four points (abscissae a, ordinates b),
// unrolled: every intermediate value of table_interpolate's loop is formed by the same
// operations in the same order, and the corrections the loop's path through
// the tableau picks are chosen by selects instead of branches. `flat` is set
// where a difference of abscissae is zero, where the loop would hand the draw
// to flat_interpolate. V is one double or a vector of draws.
template <class V>
KVZ_INLINE void neville_unrolled(const V* a, const V* b, const V& u, V& y, decltype(u < u)& flat) {
    const V zero{};
    const V h0 = a[0] - u, h1 = a[1] - u, h2 = a[2] - u, h3 = a[3] - u;
    const V r0 = u - a[0], r1 = u - a[1], r2 = u - a[2], r3 = u - a[3];
    V e0, e1, e2, e3;
    magnitude(r0, e0);
    magnitude(r1, e1);
    magnitude(r2, e2);
    magnitude(r3, e3);
    // The nearest point, the first of equally near ones: ns = 3, 2, 1 or 0.
    const auto m1 = e1 < e0;
    const V dif1 = m1 ? e1 : e0;
    const auto m2 = e2 < dif1;
    const V dif2 = m2 ? e2 : dif1;
    const auto m3 = e3 < dif2;
    // Columns of the tableau: c and d of step mm at row i.
    const V g10 = h0 - h1, g11 = h1 - h2, g12 = h2 - h3;
    const V den10 = (b[1] - b[0]) / g10;
    const V den11 = (b[2] - b[1]) / g11;
    const V den12 = (b[3] - b[2]) / g12;
    const V c10 = h0 * den10, d10 = h1 * den10;
    const V c11 = h1 * den11, d11 = h2 * den11;
    const V c12 = h2 * den12, d12 = h3 * den12;
    const V g20 = h0 - h2, g21 = h1 - h3;
    const V den20 = (c11 - d10) / g20;
    const V den21 = (c12 - d11) / g21;
    const V c20 = h0 * den20, d20 = h2 * den20;
    const V c21 = h1 * den21, d21 = h3 * den21;
    const V g30 = h0 - h3;
    const V den30 = (c21 - d20) / g30;
    const V c30 = h0 * den30, d30 = h3 * den30;
    flat = (g10 == zero) | (g11 == zero) | (g12 == zero) | (g20 == zero) | (g21 == zero) |
           (g30 == zero);
    // The path from the nearest point: ns 0 takes c, c, c; 1 takes c, d, c;
    // 2 takes d, d, c; 3 takes d, d, d.
    const V first[kPoints] = {c10, c11, d11, d12};
    const V second[kPoints] = {c20, d20, d20, d21};
    const V third[kPoints] = {c30, c30, c30, d30};
    path_sum(m1, m2, m3, b, first, second, third, y);
}

// The count of entries not above u, from the guide: those below the
// bucket's first candidate all are, those from its last on all are not. A
// bucket holds at most two entries almost everywhere (the table's steps in
// probability are wider than a bucket except far in its tails): those are
// counted without branches, longer runs are bisected.
KVZ_INLINE int guided_count(const DistSlot& s, double u) {
    const int j = static_cast<int>(u * kGuideBuckets);  // exact: a power of two
    const int from = s.table_guide[j];
    const int len = s.table_guide[j + 1] - from;
    if (len <= 2) {
        const int second = from + 1 < kTableSize ? from + 1 : from;  // read only inside the table
        return from + ((len > 0) & (s.table_p[from < kTableSize ? from : 0] <= u)) +
               ((len > 1) & (s.table_p[second] <= u));
    }
    return from + leading_run(s.table_p + from, len, [u](double p) { return p <= u; });
}

// guided_locate for a slot whose guide is usable.
KVZ_INLINE int guided_block(const DistSlot& s, double u) {
    const int n = s.table_count;
    if (!(u >= 0.0 && u < 1.0)) return table_locate(s.table_p, n, u);
    const int count = guided_count(s, u);
    return block_start(s.table_p, n, u, count > 0 ? count - 1 : 0);
}

// One vector of W draws gathered from the table: lane j's entry k[j] + i.
template <class V, std::size_t... J>
KVZ_INLINE V gathered(const double* t, const int* k, int i, std::index_sequence<J...>) {
    return V{t[k[J] + i]...};
}
template <class V, std::size_t... J>
KVZ_INLINE V of_lanes(const double* w, std::index_sequence<J...>) {
    return V{w[J]...};
}

// W doubles in one vector (the vector extension of the compilers the library
// is built with; the width must be spelt out, not taken from a template).
template <int W>
struct LaneVector;
template <>
struct LaneVector<2> {
    typedef double type __attribute__((vector_size(16)));
};
template <>
struct LaneVector<4> {
    typedef double type __attribute__((vector_size(32)));
};
template <>
struct LaneVector<8> {
    typedef double type __attribute__((vector_size(64)));
};

// `count` draws of a slot whose guide is usable, W to a vector: each lane's
// block put into its register straight from the table (a round trip through
// memory would stall the loads); an idle lane repeats the first of its vector.
template <int W>
KVZ_INLINE void table_lanes(const DistSlot& s, const double* u, double* out, int count) {
    using V = typename LaneVector<W>::type;
    constexpr auto lanes = std::make_index_sequence<W>();
    for (int l = 0; l < count; l += W) {
        double w[W];
        int k[W];
        for (int j = 0; j < W; ++j) {
            w[j] = l + j < count ? u[l + j] : u[l];
            k[j] = guided_block(s, w[j]);
        }
        V a[kPoints];
        V b[kPoints];
        for (int i = 0; i < kPoints; ++i) {
            a[i] = gathered<V>(s.table_p, k, i, lanes);
            b[i] = gathered<V>(s.table_x, k, i, lanes);
        }
        const V v = of_lanes<V>(w, lanes);
        decltype(v < v) flat;
        V y;
        neville_unrolled(a, b, v, y, flat);
        for (int j = 0; j < W && l + j < count; ++j) {
            out[l + j] = flat[j] ? flat_interpolate(s.table_p, s.table_x, s.table_count, w[j]) : y[j];
        }
    }
}

}  // namespace
}  // namespace kvz
