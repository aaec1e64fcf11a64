#include "eval/quantile_band.h"

#include <algorithm>
#include <cmath>

#include "eval/eval.h"
#include "eval/rules.h"
#include "interface/catalogue.h"
#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {

constexpr double kEndless = std::numeric_limits<double>::infinity();

// The largest |F − F_exact| of the cumulative distribution over a range of
// shapes, with a margin of at least 1.5: tests/accuracy/cumulative_bounds.py
// measures it over dense grids of abscissae (the 1e-12 to 1 − 1e-12
// quantiles, evenly in probability and in x, and far out in the tails)
// against SciPy, and docs/accuracy.md lists the figures. The normal goes
// through the incomplete gamma function P(1/2, z²/2), whose series and
// continued fraction stop at a relative change of 3e-7: worst 1.62e-8, for
// every z; the lognormal is that function at z = (ln x − lmean) / lstdev,
// plus the roundings of z (log_z_rounding). The
// gamma's error grows with the shape (1.2e-7 up to 20, 5.0e-7 at 300) until
// the 100-term limit of the series cuts it short (1e-5 at 514); the beta's
// stays below 5.5e-8 for shapes from 0.1 to 1000; the Student t's below
// 2.7e-8 up to 2000 degrees of freedom (1.8e-7 from about 3000). Rows are
// tried in order; a row without a shape range (shape_max 0) holds for every
// shape, and a shape outside every row of its type has no bound.
struct ErrorBoundRow {
    int base;
    double shape_min;  // shape_a for the gamma and Student t, both shapes for the beta
    double shape_max;
    double bound;
};

constexpr ErrorBoundRow kErrorBounds[] = {
    {kNormal, 0, 0, 2.5e-8},
    {kLognormal, 0, 0, 2.5e-8},
    {kGamma, 0.05, 20, 2e-7},
    {kGamma, 20, 300, 8e-7},
    {kBeta, 0.1, 1000, 1e-7},
    {kStudentT, 0.1, 2000, 5e-8},
};

// Room for the roundings around F that the measurement does not see: the
// scaling of x, the truncation transform, |f − p|.
constexpr double kRoundingSlack = 1e-12;
// The library's densities are good to far better than this, relatively
// (worst 2.8e-8 for the beta, docs/accuracy.md).
constexpr double kDensityTrust = 1e-6;
// Φ by the standard library's erfc, relatively.
constexpr double kReferenceTrust = 1e-14;
// A Newton search for the anchor stops this close to p (a closer anchor only
// narrows the band by the density's curvature over the distance) or after
// this many cumulative values.
constexpr double kAnchorClose = 3e-4;
constexpr int kMaxAnchorValues = 4;
// Tries at a step the density bounds confirm, the first one this much
// longer or shorter than the density at its start asks for.
constexpr int kMaxReachTries = 4;
constexpr double kFirstStepPad = 2e-4;

// How far the lognormal's computed z = (ln x − lmean) / lstdev can move F
// from Φ at the exact z: the logarithm (within an ulp), the subtraction and
// the division each round, wherever F is not yet 0 or 1 (|z| < 40, so
// |ln x| < |lmean| + 40 lstdev), and Φ changes by at most 0.4 per unit of z.
double log_z_rounding(const DistSlot& s) {
    const double log_x = std::fabs(s.lmean) + 40 * s.lstdev;
    const double in_z = (0x1p-52 * log_x + 0x1p-53 * (log_x + std::fabs(s.lmean))) / s.lstdev + 40 * 0x1p-53;
    return 0.4 * 2 * in_z;  // doubled for the roundings not counted one by one
}

bool shape_in(double v, const ErrorBoundRow& row) { return v >= row.shape_min && v <= row.shape_max; }

// The bound for the slot's type and parameters, or NaN where none holds.
double error_bound(const DistSlot& s, int base) {
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    for (const ErrorBoundRow& row : kErrorBounds) {
        if (row.base != base) continue;
        if (row.shape_max > 0 && !shape_in(s.shape_a, row)) continue;
        switch (base) {
            case kNormal:
                return std::isfinite(s.mean) && s.stdev > 0 && std::isfinite(s.stdev) ? row.bound : kNone;
            case kLognormal:
                // An e^lmean that overflows or underflows leaves the band
                // without a reference density, so |lmean| < 745 where it
                // serves, and the kernels keep their relative precision.
                return std::isfinite(s.lmean) && s.lstdev > 0 && std::isfinite(s.lstdev)
                           ? row.bound + log_z_rounding(s)
                           : kNone;
            case kGamma:
                return s.scale > 0 && std::isfinite(s.scale) ? row.bound : kNone;
            case kBeta:
                // Both shapes below 1 make the density U-shaped: not unimodal.
                if (s.shape_a < 1 && s.shape_b < 1) return kNone;
                return shape_in(s.shape_b, row) && s.maximum > s.minimum &&
                               std::isfinite(s.maximum - s.minimum)
                           ? row.bound
                           : kNone;
            case kStudentT:
                return row.bound;
            default:
                return kNone;
        }
    }
    return kNone;
}

// Where the density peaks.
double density_mode(const DistSlot& s, int base) {
    switch (base) {
        case kGamma:
            return s.shape_a > 1 ? (s.shape_a - 1) * s.scale : 0.0;
        case kBeta: {
            const double a = s.shape_a;
            const double b = s.shape_b;
            if (a <= 1) return s.minimum;
            if (b <= 1) return s.maximum;
            return s.minimum + (a - 1) / (a + b - 2) * (s.maximum - s.minimum);
        }
        case kStudentT:
            return 0.0;
        case kLognormal:
            return elem::exp(s.lmean - s.lstdev * s.lstdev);
        default:
            return s.mean;
    }
}

// Whether the density is mirrored about its mode: the farther of two points
// on either side then has the smaller density, without evaluating both.
bool density_symmetric(int base) { return base == kNormal || base == kStudentT; }

}  // namespace

QuantileBand::QuantileBand(const DistSlot& s, double p, double tolerance) {
    const int base = kCumulativeAlias(s.dtype);
    // The normal approximations evaluate a shifted normal and have no
    // normal density: only the types' own codes and their gamma aliases.
    if (kDensityAlias(s.dtype) != base) return;
    if (s.t_tail != kNoTail) return;
    if (!(s.t_factor >= 1 && std::isfinite(s.t_factor) && s.t_pbelow >= 0 && s.t_pbelow <= 1)) return;
    const double bound = error_bound(s, base);
    if (!(bound > 0)) return;
    slot_ = &s;
    base_ = base;
    error_ = s.t_factor * bound + kRoundingSlack;
    mode_ = density_mode(s, base);
    support_ = type_support(s);
    reference_ = reference_point();
    reference_density_ = density_across_cut(s, reference_);
    reference_kernel_ = log_kernel(reference_);
    if (!(reference_density_ > 0 && std::isfinite(reference_density_) && std::isfinite(reference_kernel_))) {
        slot_ = nullptr;
        return;
    }
    Anchor anchor{};
    if (!make_anchor(p, anchor)) return;
    // Below the support F is 0, above it 1: certain sides there too only
    // while p − tolerance stays above 0 and p + tolerance below 1.
    const double low_level = p - tolerance - error_;
    const double high_level = p + tolerance + error_;
    if (low_level > 0) below_edge_ = edge_at_most(anchor, low_level);
    if (high_level < 1) above_edge_ = edge_at_least(anchor, high_level);
    if (!(below_edge_ <= above_edge_)) {
        below_edge_ = -kEndless;
        above_edge_ = kEndless;
        return;
    }
    const double within_low = p - tolerance + error_;
    const double within_high = p + tolerance - error_;
    if (within_low > 0 && within_high < 1 && within_low < within_high) {
        find_within(anchor, within_low, within_high);
    }
}

// The stretch where the exact F lies in [low, high], inside the band: over
// the span of the band's edges and the anchor the density lies between its
// values at the span's ends and at the mode, all known by now.
void QuantileBand::find_within(const Anchor& anchor, double low, double high) {
    const double y = anchor.at;
    const double first = std::fmin(below_edge_, y);
    const double last = std::fmax(above_edge_, y);
    if (!std::isfinite(first) || !std::isfinite(last)) return;
    const double least = std::fmin(density_at(first), density_at(last)) * (1 - kDensityTrust);
    double peak = std::fmax(density_at(first), density_at(last));
    if (mode_ >= first && mode_ <= last) peak = std::fmax(peak, density_at(mode_));
    peak = peak * (1 + kDensityTrust);
    if (!(least > 0) || !std::isfinite(peak)) return;
    // The exact F at w, from the anchor, is at least `lowest` and at most `highest`.
    const auto lowest = [&](double w) { return w >= y ? anchor.low + (w - y) * least : anchor.low - (y - w) * peak; };
    const auto highest = [&](double w) { return w >= y ? anchor.high + (w - y) * peak : anchor.high - (y - w) * least; };
    const double from = anchor.low >= low ? y - (anchor.low - low) / peak : y + (low - anchor.low) / least;
    const double to = anchor.high <= high ? y + (high - anchor.high) / peak : y - (anchor.high - high) / least;
    if (!(from >= first && to <= last && from <= to)) return;
    if (!(lowest(from) >= low && highest(to) <= high)) return;
    within_from_ = from;
    within_to_ = to;
}

double QuantileBand::density_at(double x) const {
    for (const DensityMemo& m : memo_) {
        if (m.x == x) return m.density;
    }
    // The kernels cancel at the reference point itself.
    if (x == reference_) return reference_density_;
    DensityMemo& m = memo_[memo_next_];
    memo_next_ = (memo_next_ + 1) % kMemoSize;
    m = {x, reference_density_ * elem::exp(log_kernel(x) - reference_kernel_)};
    return m.density;
}

namespace {
// c ln v, with 0 for c = 0 (a flat factor) even at v = 0.
double log_factor(double c, double v) { return c == 0 ? 0.0 : c * elem::log(v); }
}  // namespace

// The logarithm of the density up to a constant: the density is the library's
// at the reference point times exp(kernel(x) − kernel(reference)). The same
// ratio as the library's densities to far better than kDensityTrust, for a
// log and an exp instead of the normalising gamma functions and powers.
double QuantileBand::log_kernel(double x) const {
    const DistSlot& s = *slot_;
    switch (base_) {
        case kNormal: {
            const double z = (x - s.mean) / s.stdev;
            return -0.5 * (z * z);
        }
        case kGamma:
            if (x < 0) return -kEndless;
            return log_factor(s.shape_a - 1, x / s.scale) - x / s.scale;
        case kBeta: {
            const double y = (x - s.minimum) / (s.maximum - s.minimum);
            if (y < 0 || y > 1) return -kEndless;
            return log_factor(s.shape_a - 1, y) + log_factor(s.shape_b - 1, 1 - y);
        }
        case kStudentT:
            return -(s.shape_a + 1) / 2 * elem::log1p(x * x / s.shape_a);
        case kLognormal: {
            if (!(x > 0)) return -kEndless;
            const double log_x = elem::log(x);
            const double z = (log_x - s.lmean) / s.lstdev;
            return -0.5 * (z * z) - log_x;
        }
        default:
            return std::numeric_limits<double>::quiet_NaN();
    }
}

// The mean, where every served density is positive and finite (0 for the
// Student t, which may have none; the median for the lognormal, whose mean
// overflows first).
double QuantileBand::reference_point() const {
    const DistSlot& s = *slot_;
    switch (base_) {
        case kNormal:
            return s.mean;
        case kGamma:
            return s.shape_a * s.scale;
        case kBeta:
            return s.minimum + s.shape_a / (s.shape_a + s.shape_b) * (s.maximum - s.minimum);
        case kLognormal:
            return elem::exp(s.lmean);
        default:
            return 0.0;
    }
}

// At most the density at x: a density already evaluated at a point beyond x
// as seen from the mode (the density falls away from it), or the density at x.
double QuantileBand::density_at_least(double x) const {
    double known = 0;
    for (const DensityMemo& m : memo_) {
        if (m.x == x) return m.density;
        const bool beyond = x <= mode_ ? m.x <= x : m.x >= x;
        if (beyond && std::isfinite(m.density)) known = std::fmax(known, m.density);
    }
    return known > 0 ? known : density_at(x);
}

// At least the exact mass between x < y: the interval's length times the
// density's least value on it, at the end farther from the mode (either end
// when the mode lies between, the farther one of a symmetric density); from
// the densities there, or from any known ones that bound them (cheaper, looser).
double QuantileBand::mass_at_least(double x, double y, Densities densities) const {
    const auto at = [&](double v) { return densities == Densities::exact ? density_at(v) : density_at_least(v); };
    double least;
    if (y <= mode_) least = at(x);
    else if (x >= mode_) least = at(y);
    else if (density_symmetric(base_)) least = at(mode_ - x >= y - mode_ ? x : y);
    else least = std::fmin(at(x), at(y));
    const double m = (y - x) * least * (1 - kDensityTrust);
    return std::isfinite(m) && m > 0 ? m : 0.0;
}

// At most the exact mass between x < y, both inside the support: the length
// times the density's largest value on it, at the end nearer the mode or at
// the mode where it lies between.
double QuantileBand::mass_at_most(double x, double y) const {
    // Beyond an end of the support the density may have a pole just inside it.
    if (!(x >= support_.first && y <= support_.last)) return kEndless;
    double peak;
    if (y <= mode_) peak = density_at(y);
    else if (x >= mode_) peak = density_at(x);
    else peak = density_at(mode_);
    const double m = (y - x) * peak * (1 + kDensityTrust);
    return std::isnan(m) ? kEndless : m;
}

bool QuantileBand::make_anchor(double p, Anchor& anchor) const {
    const bool found = base_ == kNormal || base_ == kLognormal ? normal_anchor(p, anchor) : searched_anchor(p, anchor);
    if (!found || !(anchor.low <= anchor.high)) return false;
    if (place_in_support(*slot_, anchor.at) != Place::inside) return false;
    const double d = density_at(anchor.at);
    return d > 0 && std::isfinite(d);
}

// The anchor of the normal and the lognormal costs no cumulative value of its
// own: the estimate of the quantile, with Φ there from the standard library
// (for the lognormal at the computed z, whose roundings widen the margin).
bool QuantileBand::normal_anchor(double p, Anchor& anchor) const {
    const DistSlot& s = *slot_;
    const double u = s.t_pbelow + p / s.t_factor;
    const bool log_scale = base_ == kLognormal;
    const double z = normal_quantile_estimate(u);
    const double x = log_scale ? elem::exp(s.lmean + s.lstdev * z) : s.mean + s.stdev * z;
    if (!std::isfinite(x)) return false;
    const double phi = normal_cdf_reference(log_scale ? (elem::log(x) - s.lmean) / s.lstdev : (x - s.mean) / s.stdev);
    const double f = (phi - s.t_pbelow) * s.t_factor;
    const double margin =
        s.t_factor * (phi * kReferenceTrust + (log_scale ? log_z_rounding(s) : 0.0)) + kRoundingSlack;
    anchor = {x, f - margin, f + margin};
    return std::isfinite(f);
}

// The other types' anchor: Newton steps on the slot's own F from a start
// guess, each F known within E.
bool QuantileBand::searched_anchor(double p, Anchor& anchor) const {
    const DistSlot& s = *slot_;
    double x = start_guess(s.t_pbelow + p / s.t_factor);
    if (!std::isfinite(x) || place_in_support(s, x) != Place::inside) return false;
    double f = cumulative_across_cut(s, x);
    for (int i = 1; i < kMaxAnchorValues && std::fabs(f - p) > kAnchorClose; ++i) {
        const double d = density_at(x);
        if (!(d > 0 && std::isfinite(d))) break;
        double next = x + (p - f) / d;
        // A step out of the support goes half the way, and again.
        for (int k = 0; k < 60 && std::isfinite(next) && place_in_support(s, next) != Place::inside; ++k) {
            next = x + (next - x) / 2;
        }
        if (!std::isfinite(next) || next == x || place_in_support(s, next) != Place::inside) break;
        x = next;
        f = cumulative_across_cut(s, x);
    }
    anchor = {x, f - error_, f + error_};
    return std::isfinite(f);
}

// A rough quantile of the untruncated distribution at probability u, for the
// Newton steps to start from.
double QuantileBand::start_guess(double u) const {
    const DistSlot& s = *slot_;
    const double z = normal_quantile_estimate(u);
    const double a = s.shape_a;
    switch (base_) {
        case kGamma: {
            // Wilson and Hilferty's cube of a normal; near 0, P(a, x) ≈ x^a / Γ(a + 1).
            const double c = 1 / (9 * a);
            const double w = 1 - c + z * std::sqrt(c);
            if (a >= 1 && w > 0) return a * w * w * w * s.scale;
            return elem::exp((elem::log(u) + log_gamma(a) + elem::log(a)) / a) * s.scale;
        }
        case kStudentT: {
            // The first terms of the expansion of t in the normal quantile.
            const double z2 = z * z;
            const double t = z + z * (z2 + 1) / (4 * a) + z * ((5 * z2 + 16) * z2 + 3) / (96 * a * a);
            return std::isfinite(t) ? t : z;
        }
        case kBeta: {
            // A normal of the same mean and variance; towards an end, where
            // that runs out of (0, 1), I_y(a, b) ≈ y^a / (a B(a, b)) (and the
            // same from the upper end) takes over.
            const double b = s.shape_b;
            const double mean = a / (a + b);
            const double sd = std::sqrt(a * b / ((a + b) * (a + b) * (a + b + 1)));
            const double log_beta = log_gamma(a) + log_gamma(b) - log_gamma(a + b);
            // The normal quantile corrected for the skewness (Cornish and Fisher).
            const double skew = 2 * (b - a) * std::sqrt(a + b + 1) / ((a + b + 2) * std::sqrt(a * b));
            double y = mean + (z + (z * z - 1) * skew / 6) * sd;
            if (z < 0) {
                const double near_end = elem::exp((elem::log(u * a) + log_beta) / a);
                if (near_end < mean) y = std::fmax(y, near_end);
            } else {
                const double near_end = 1 - elem::exp((elem::log((1 - u) * b) + log_beta) / b);
                if (near_end > mean) y = std::fmin(y, near_end);
            }
            y = std::clamp(y, mean * 1e-3, 1 - (1 - mean) * 1e-3);
            return s.minimum + y * (s.maximum - s.minimum);
        }
        default:
            return std::numeric_limits<double>::quiet_NaN();
    }
}

namespace {

// How far from y, in direction `dir`, an interval certainly holds a mass of
// at least `gap` (at_least) or at most `gap`: a step from the density at y,
// corrected by the bound on the interval it gives. NaN when none is found.
template <class Mass>
double reach(double y, double gap, int dir, bool at_least, double density, Mass mass) {
    if (!(density > 0) || !std::isfinite(density)) return std::numeric_limits<double>::quiet_NaN();
    // The density changes over the step: a first step a little longer (or
    // shorter) than the density at y asks for mostly passes at once.
    double step = gap / density * (at_least ? 1 + kFirstStepPad : 1 - kFirstStepPad);
    for (int i = 0; i < kMaxReachTries; ++i) {
        const double x = y + dir * step;
        const double m = dir > 0 ? mass(y, x) : mass(x, y);
        if (at_least ? m >= gap : m <= gap) return x;
        if (!(m > 0) || !std::isfinite(m)) break;
        // m / step is the density the bound used: the step it needs, a little over.
        step = step * (gap / m) * (at_least ? 1 + 1e-9 : 1 - 1e-9);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

// A point at which the exact F is certainly at most `level`; −∞ if none found.
double QuantileBand::edge_at_most(const Anchor& anchor, double level) const {
    const double y = anchor.at;
    const double d = density_at(y);
    if (anchor.high <= level) {
        const double x = reach(y, level - anchor.high, +1, false, d,
                               [this](double u, double v) { return mass_at_most(u, v); });
        return std::isnan(x) ? y : x;
    }
    const double x = reach(y, anchor.high - level, -1, true, d,
                           [this](double u, double v) { return mass_at_least(u, v, Densities::exact); });
    return std::isnan(x) ? -kEndless : x;
}

// A point at which the exact F is certainly at least `level`; +∞ if none found.
double QuantileBand::edge_at_least(const Anchor& anchor, double level) const {
    const double y = anchor.at;
    const double d = density_at(y);
    if (anchor.low >= level) {
        const double x = reach(y, anchor.low - level, -1, false, d,
                               [this](double u, double v) { return mass_at_most(u, v); });
        return std::isnan(x) ? y : x;
    }
    const double x = reach(y, level - anchor.low, +1, true, d,
                           [this](double u, double v) { return mass_at_least(u, v, Densities::exact); });
    return std::isnan(x) ? kEndless : x;
}

void QuantileBand::start_bisection(double lo, double hi) {
    ordered_apart_ = kEndless;
    if (!active() || !(lo < hi) || !std::isfinite(hi - lo)) return;
    // A bracket from an end of the support, where the density falls to 0 or
    // has a pole, has no useful least density.
    if (lo <= support_.first || hi >= support_.last) return;
    const double least = mass_at_least(lo, hi, Densities::exact) / (hi - lo);
    if (least > 0) ordered_apart_ = 2 * error_ / least;
}

bool QuantileBand::ordered(double x, double y) const {
    if (!active() || !(x < y)) return false;
    return mass_at_least(x, y, Densities::known) > 2 * error_;
}

bool QuantileBand::ordered_on_side_slowly(double x, double y, Side side) const {
    if (!active() || !(x < y)) return false;
    const bool below = side == Side::below;
    Stretch& stretch = below ? below_stretch_ : above_stretch_;
    if (std::isnan(stretch.from)) {
        // The first pair on this side.
        stretch.from = below ? x : y;
        const double edge = below ? below_edge_ : above_edge_;
        const double from = stretch.from;
        const double length = below ? edge - from : from - edge;
        // The mass bound over the stretch, per unit length: its least density.
        stretch.least_density = length > 0 ? (below ? mass_at_least(from, edge, Densities::known)
                                         : mass_at_least(edge, from, Densities::known)) / length : 0.0;
    }
    const bool inside = below ? x >= stretch.from && y <= below_edge_ : x >= above_edge_ && y <= stretch.from;
    if (inside && (y - x) * stretch.least_density > 2 * error_) return true;
    return ordered(x, y);
}

}  // namespace kvz
