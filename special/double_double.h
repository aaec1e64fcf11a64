// Error-free transformations and double-double arithmetic from IEEE basic
// operations alone (Dekker, Knuth): no fused multiply-add, so that every
// build, with or without one in hardware, gives the same bits. A
// double-double value is hi + lo with |lo| <= ulp(hi) / 2.
#pragma once

namespace kvz::dd {

struct DD {
    double hi;
    double lo;
};

// a + b exactly, as the rounded sum and its error.
inline DD two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    const double e = (a - (s - bb)) + (b - bb);
    return {s, e};
}

// a + b exactly when |a| >= |b| (or a is zero).
inline DD fast_two_sum(double a, double b) {
    const double s = a + b;
    const double e = b - (s - a);
    return {s, e};
}

// a split into two halves of 26 bits each, a = hi + lo (|a| < 2^996).
inline DD split(double a) {
    constexpr double kSplitter = 134217729.0;  // 2^27 + 1
    const double t = kSplitter * a;
    const double hi = t - (t - a);
    return {hi, a - hi};
}

// a × b exactly, as the rounded product and its error (no overflow in the
// halves: |a|, |b| < 2^996).
inline DD two_prod(double a, double b) {
    const double p = a * b;
    const DD x = split(a);
    const DD y = split(b);
    const double e = ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo;
    return {p, e};
}

// Double-double sums and products, relative error a few units of 2^-104.
inline DD add(DD a, DD b) {
    const DD s = two_sum(a.hi, b.hi);
    const DD t = two_sum(a.lo, b.lo);
    DD r = fast_two_sum(s.hi, s.lo + t.hi);
    return fast_two_sum(r.hi, r.lo + t.lo);
}

inline DD add(DD a, double b) {
    const DD s = two_sum(a.hi, b);
    return fast_two_sum(s.hi, s.lo + a.lo);
}

inline DD mul(DD a, DD b) {
    const DD p = two_prod(a.hi, b.hi);
    return fast_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

inline DD mul(DD a, double b) {
    const DD p = two_prod(a.hi, b);
    return fast_two_sum(p.hi, p.lo + a.lo * b);
}

}  // namespace kvz::dd
