// What a quantile search can tell about the cumulative distribution before it
// evaluates it: most halvings of a bisection for p are decided in advance.
#pragma once

#include <cmath>
#include <limits>

#include "eval/rules.h"
#include "interface/slot.h"

namespace kvz {

// Where the computed cumulative value at a point lies against the searched p.
enum class Side {
    unknown,  // close enough to p that only evaluating it tells
    below,    // certainly below p − tolerance
    above,    // certainly above p + tolerance
};

// For one slot and one p: F, the slot's computed cumulative distribution
// (cumulative_across_cut), differs from the exact one by at most a bound E
// measured for the type over its parameter range (docs/accuracy.md). Where F
// is known within E at one point (the anchor), the density bounds the mass
// between points (its minimum over an interval lies at an end, its maximum at
// an end or at the mode, the densities served all being unimodal), which gives:
//  - edges below which F < p − tolerance and above which F > p + tolerance,
//    and a stretch where |F − p| ≤ tolerance;
//  - pairs of points whose exact cumulative values differ by more than 2E, so
//    that F certainly differs between them and keeps their order.
// A type, parameters or truncation without a bound give an inactive band:
// every point is unknown and the search evaluates F everywhere.
class QuantileBand {
public:
    QuantileBand() = default;
    QuantileBand(const DistSlot& s, double p, double tolerance);

    bool active() const { return slot_ != nullptr; }

    Side side(double x) const {
        if (x < below_edge_) return Side::below;
        if (x > above_edge_) return Side::above;
        return Side::unknown;
    }

    // |F(x) − p| ≤ tolerance, certainly: a bisection ends at such a midpoint
    // whatever F is there.
    bool within(double x) const { return x >= within_from_ && x <= within_to_; }

    // F(x) < F(y), certainly (x < y, both inside the support).
    bool ordered(double x, double y) const;
    // The same for two successive midpoints of a bisection on one side of
    // the band. The first such pair on a side fixes the stretch between its
    // outer point and the edge, where every later one lies (the bracket only
    // shrinks), and the density's least value there: most pairs are then
    // decided by their distance alone.
    // For a bisection of [lo, hi]: the density over the bracket is at least
    // its smaller value at the ends, so two midpoints farther apart than a
    // distance fixed here are ordered.
    void start_bisection(double lo, double hi);
    bool pair_ordered_by_distance(double x, double y) const { return std::fabs(y - x) > ordered_apart_; }

    bool ordered_on_side(double x, double y, Side side) const {
        const Stretch& stretch = side == Side::below ? below_stretch_ : above_stretch_;
        const bool inside = side == Side::below ? x >= stretch.from && y <= below_edge_
                                                : x >= above_edge_ && y <= stretch.from;
        if (inside && (y - x) * stretch.least_density > 2 * error_) return true;
        return ordered_on_side_slowly(x, y, side);
    }

    double below_edge() const { return below_edge_; }
    double above_edge() const { return above_edge_; }

private:
    // The exact cumulative value at `at` lies in [low, high].
    struct Anchor {
        double at;
        double low;
        double high;
    };

    bool ordered_on_side_slowly(double x, double y, Side side) const;
    double log_kernel(double x) const;
    double reference_point() const;
    double density_at(double x) const;
    double density_at_least(double x) const;
    enum class Densities { exact, known };
    double mass_at_least(double x, double y, Densities densities) const;
    double mass_at_most(double x, double y) const;
    bool make_anchor(double p, Anchor& anchor) const;
    bool normal_anchor(double p, Anchor& anchor) const;
    bool searched_anchor(double p, Anchor& anchor) const;
    double start_guess(double u) const;
    double edge_at_most(const Anchor& anchor, double level) const;
    double edge_at_least(const Anchor& anchor, double level) const;
    void find_within(const Anchor& anchor, double low, double high);

    // The stretch of one side that ordered_on_side() covers, and the least
    // density in it; `from` NaN until the first pair.
    struct Stretch {
        double from = std::numeric_limits<double>::quiet_NaN();
        double least_density = 0;
    };
    // The last densities evaluated: successive pairs and the edges share points.
    struct DensityMemo {
        double x = std::numeric_limits<double>::quiet_NaN();
        double density = 0;
    };

    const DistSlot* slot_ = nullptr;
    int base_ = 0;
    double error_ = 0;  // E in the slot's (truncated) cumulative values
    double mode_ = 0;
    double reference_ = 0;          // reference_point()
    double reference_density_ = 0;  // the library's density there
    double reference_kernel_ = 0;
    double below_edge_ = -std::numeric_limits<double>::infinity();
    double above_edge_ = std::numeric_limits<double>::infinity();
    // Where F lies within the tolerance of p, certainly; empty unless found.
    double within_from_ = std::numeric_limits<double>::infinity();
    double within_to_ = -std::numeric_limits<double>::infinity();
    double ordered_apart_ = std::numeric_limits<double>::infinity();
    Support support_{};
    mutable Stretch below_stretch_;
    mutable Stretch above_stretch_;
    static constexpr int kMemoSize = 2;
    mutable DensityMemo memo_[kMemoSize];
    mutable int memo_next_ = 0;
};

}  // namespace kvz
