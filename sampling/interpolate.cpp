// Inverse interpolation in a pre-calculated table: bisection for a block of
// four points, then Neville's algorithm on them.
#include <cmath>
#include <cstdint>

#include "sampling/table_lanes.h"
#include "sampling/vector_path.h"

namespace kvz {

// Fallback for a block with two equal abscissae (a flat stretch of a
// cumulative table), where the cubic does not exist: linear interpolation
// between the last entry not above u and the next higher one. On a flat
// stretch hit exactly this returns the stretch's last ordinate, a value at
// which the table takes the probability u.
double flat_interpolate(const double* a, const double* b, int n, double u) {
    if (u <= a[0]) return b[0];
    int lo = 0;
    int hi = n;  // a[lo] <= u, and hi is one past the last candidate
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        if (a[mid] <= u) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    if (lo == n - 1 || !(a[lo + 1] > a[lo])) return b[lo];
    return b[lo] + (b[lo + 1] - b[lo]) * ((u - a[lo]) / (a[lo + 1] - a[lo]));
}

int table_locate(const double* a, int n, double u) {
    int lo = 0;
    int hi = n + 1;
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        // A probe one past the last entry counts as a value above u.
        if (mid < n && u >= a[mid]) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return block_start(a, n, u, lo);
}

double table_interpolate(const double* a, const double* b, int n, double u) {
    if (n < kPoints) return n > 0 ? flat_interpolate(a, b, n, u) : 0.0;
    const int k = table_locate(a, n, u);
    double c[kPoints];
    double d[kPoints];
    int ns = 0;
    double dif = std::fabs(u - a[k]);
    for (int i = 0; i < kPoints; ++i) {
        const double dift = std::fabs(u - a[k + i]);
        if (dift < dif) {
            ns = i;
            dif = dift;
        }
        c[i] = b[k + i];
        d[i] = b[k + i];
    }
    double y = b[k + ns];
    ns = ns - 1;
    for (int mm = 1; mm < kPoints; ++mm) {
        for (int i = 0; i < kPoints - mm; ++i) {
            const double ho = a[k + i] - u;
            const double hp = a[k + i + mm] - u;
            const double w = c[i + 1] - d[i];
            const double gap = ho - hp;
            if (gap == 0.0) return flat_interpolate(a, b, n, u);
            const double den = w / gap;
            d[i] = hp * den;
            c[i] = ho * den;
        }
        double correction;
        if (2 * (ns + 1) < kPoints - mm) {
            correction = c[ns + 1];
        } else {
            correction = d[ns];
            ns = ns - 1;
        }
        y = y + correction;
    }
    return y;
}

namespace {

bool guide_usable(const DistSlot& s) {
    return s.guide_ready != 0 && s.guide_count == s.table_count;
}

struct Block {
    double a[kPoints];
    double b[kPoints];
};

Block block_at(const DistSlot& s, int k) {
    Block q;
    for (int i = 0; i < kPoints; ++i) {
        q.a[i] = s.table_p[k + i];
        q.b[i] = s.table_x[k + i];
    }
    return q;
}

}  // namespace

void build_table_guide(DistSlot& s) {
    s.guide_ready = 0;
    const int n = s.table_count;
    if (n < kPoints || n > kTableSize) return;
    // Only a table that never decreases has a last entry not above u that
    // the bisection of table_locate is sure to find.
    if (!(s.table_p[0] == s.table_p[0])) return;
    for (int i = 1; i < n; ++i) {
        if (!(s.table_p[i] >= s.table_p[i - 1])) return;
    }
    int c = 0;
    for (int j = 0; j <= kGuideBuckets; ++j) {
        const double edge = static_cast<double>(j) / kGuideBuckets;
        while (c < n && s.table_p[c] <= edge) ++c;
        s.table_guide[j] = static_cast<std::uint16_t>(c);
    }
    s.guide_count = n;
    s.guide_ready = 1;
}

int guided_locate(const DistSlot& s, double u) {
    if (!guide_usable(s)) return table_locate(s.table_p, s.table_count, u);
    return guided_block(s, u);
}

double table_draw_interpolate(const DistSlot& s, double u) {
    if (!guide_usable(s)) return table_interpolate(s.table_p, s.table_x, s.table_count, u);
    const Block q = block_at(s, guided_block(s, u));
    bool flat = false;
    double y;
    neville_unrolled(q.a, q.b, u, y, flat);
    return flat ? flat_interpolate(s.table_p, s.table_x, s.table_count, u) : y;
}

void table_draw_interpolate_lanes(const DistSlot& s, const double* u, double* out, int count) {
    if (!guide_usable(s) || count > kInterpolateLanes) {
        for (int l = 0; l < count; ++l) out[l] = table_draw_interpolate(s, u[l]);
        return;
    }
    switch (vector_path()) {
        case VectorPath::kAvx512: table_lanes_avx512(s, u, out, count); return;
        case VectorPath::kAvx2: table_lanes_avx2(s, u, out, count); return;
        default: table_lanes<2>(s, u, out, count); return;  // SSE2 pairs on x86
    }
}

}  // namespace kvz
