// Inverse interpolation in a pre-calculated table: bisection for a block of
// four points, then Neville's algorithm on them.
#include <cmath>

#include "sampling/sampling.h"

namespace kvz {

namespace {

constexpr int kPoints = 4;          // cubic through four neighbouring entries
constexpr int kBlockClampSpan = 5;  // the block never reaches the last entry

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

}  // namespace

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
    int k = (n > 1 && u == a[1]) ? 1 : lo;
    if (k + kBlockClampSpan > n) k = n - kBlockClampSpan;
    if (k < 0) k = 0;  // tables shorter than five entries: start at the first
    return k;
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

}  // namespace kvz
