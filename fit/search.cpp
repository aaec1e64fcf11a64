// Nested Brent searches. Each parameter moves along its own axis from its
// starting value (by units of the data's spread, by factors, or by odds), in a
// bracket that follows the best point when it lands on an edge.
#include <boost/math/tools/minima.hpp>
#include <cmath>
#include <cstdint>
#include <limits>

#include "fit/search.h"
#include "special/elementary.h"

namespace kvz {

namespace {

// Half-width of a first bracket, in the axis's own steps: 5 spreads, a factor
// of e^3, odds times e^4.
constexpr double kHalfWidth[] = {5.0, 3.0, 4.0};
// A best point this far out in its bracket moves the bracket there; at most
// this many moves, each by up to its half-width.
constexpr double kEdgeShare = 0.95;
constexpr int kMaxMoves = 6;
// Brent's tolerance in bits of the axis step (about 1e-6 relative) and its
// iteration limit per search.
constexpr int kToleranceBits = 20;
constexpr std::uintmax_t kMaxIterations = 80;
// Stands in for a likelihood without a value, so that the search turns away.
constexpr double kWorst = std::numeric_limits<double>::max();
// Powell's search: half-width of a line search's first bracket (in the axes'
// steps), how often a line search may move its bracket, its rounds at most,
// and the relative gain of a round below which it stops.
constexpr double kLineHalfWidth = 1.0;
constexpr int kMaxLineMoves = 20;
constexpr int kMaxRounds = 200;
constexpr double kRoundGain = 1e-12;

double logit(double p) { return elem::log(p / (1 - p)); }

struct Nest {
    const Family& family;
    Objective objective;
    double spread;
    int last;
    double origin[kMaxParams];
    double* theta;

    double value(int j, double u) const {
        switch (family.param[j].axis) {
            case Axis::line: return origin[j] + u * spread;
            case Axis::positive: return origin[j] * elem::exp(u);
            case Axis::unit: return 1 / (1 + elem::exp(-(logit(origin[j]) + u)));
        }
        return origin[j];
    }

    // Set by level(): the best point lies where a search ran out of bracket
    // moves, at this level or one inside it: the maximum was not reached.
    bool escaped = false;

    // The best objective over parameters j..last-1, theta left at that point.
    double level(int j) {
        if (j == last) {
            escaped = false;
            const double v = objective(theta);
            return std::isfinite(v) ? v : -std::numeric_limits<double>::infinity();
        }
        double best = -std::numeric_limits<double>::infinity();
        double best_theta[kMaxParams];
        bool best_escaped = false;
        for (int k = 0; k < kMaxParams; ++k) best_theta[k] = theta[k];
        const double width = kHalfWidth[static_cast<int>(family.param[j].axis)];
        double centre = 0;
        bool at_edge = true;
        for (int move = 0; move <= kMaxMoves && at_edge; ++move) {
            auto negative = [&](double u) {
                theta[j] = value(j, u);
                const double v = level(j + 1);
                if (v > best) {
                    best = v;
                    best_escaped = escaped;
                    for (int k = 0; k < kMaxParams; ++k) best_theta[k] = theta[k];
                }
                return std::isfinite(v) ? -v : kWorst;
            };
            std::uintmax_t iterations = kMaxIterations;
            const double u = boost::math::tools::brent_find_minima(negative, centre - width, centre + width,
                                                                   kToleranceBits, iterations).first;
            at_edge = std::fabs(u - centre) >= kEdgeShare * width;
            centre = u;
        }
        for (int k = 0; k < kMaxParams; ++k) theta[k] = best_theta[k];
        escaped = at_edge || best_escaped;
        return best;
    }
};

// Powell's search by directions: one-dimensional Brent searches along each
// direction in turn from the best point so far, the first directions the
// parameters' own axes, and after each round the round's whole move (searched
// along too) in place of the direction that gained most. Unlike the nested
// searches it climbs from the starting point, so it follows a ridge that a
// truncated likelihood can have (towards a flat density over the cut) only
// as far as it rises.
struct Directions {
    const Nest& nest;
    int first;
    int count;
    double u[kMaxParams] = {};
    double best = 0;
    bool escaped = false;  // a line search of the last round ran out of bracket moves

    // theta at the point u + t d.
    void place(const double* d, double t) {
        for (int k = 0; k < count; ++k) nest.theta[first + k] = nest.value(first + k, u[k] + t * d[k]);
    }

    double at(const double* d, double t) {
        place(d, t);
        const double v = nest.objective(nest.theta);
        return std::isfinite(v) ? v : -std::numeric_limits<double>::infinity();
    }

    // Moves u to the best point along d (kept where no point is better); the gain.
    double line(const double* d) {
        double best_t = 0, best_v = best;
        double centre = 0;
        bool at_edge = true;
        for (int move = 0; move <= kMaxLineMoves && at_edge; ++move) {
            auto negative = [&](double t) {
                const double v = at(d, t);
                if (v > best_v) {
                    best_v = v;
                    best_t = t;
                }
                return std::isfinite(v) ? -v : kWorst;
            };
            std::uintmax_t iterations = kMaxIterations;
            const double t = boost::math::tools::brent_find_minima(negative, centre - kLineHalfWidth,
                                                                   centre + kLineHalfWidth, kToleranceBits,
                                                                   iterations).first;
            at_edge = std::fabs(t - centre) >= kEdgeShare * kLineHalfWidth;
            centre = t;
        }
        escaped = escaped || at_edge;
        for (int k = 0; k < count; ++k) u[k] += best_t * d[k];
        const double gain = best_v - best;
        best = best_v;
        return gain;
    }

    double run() {
        double d[kMaxParams][kMaxParams] = {};
        for (int k = 0; k < count; ++k) d[k][k] = 1;
        best = at(d[0], 0);
        for (int round = 0; round < kMaxRounds; ++round) {
            const double before = best;
            escaped = false;  // only the last round's line searches count
            double start[kMaxParams];
            for (int k = 0; k < count; ++k) start[k] = u[k];
            int most = 0;
            double most_gain = -1;
            for (int i = 0; i < count; ++i) {
                const double gain = line(d[i]);
                if (gain > most_gain) {
                    most_gain = gain;
                    most = i;
                }
            }
            if (!(best - before > kRoundGain * (1 + std::fabs(best)))) break;
            double moved[kMaxParams];
            for (int k = 0; k < count; ++k) moved[k] = u[k] - start[k];
            line(moved);
            for (int k = 0; k < count; ++k) d[most][k] = moved[k];
        }
        const double none[kMaxParams] = {};
        place(none, 0);
        return best;
    }
};

}  // namespace

double maximise_from_start(const Family& family, int first, int last, double spread, Objective objective,
                           double* theta) {
    Nest nest{family, objective, spread > 0 && std::isfinite(spread) ? spread : 1.0, last, {}, theta};
    for (int k = 0; k < kMaxParams; ++k) nest.origin[k] = theta[k];
    Directions search{nest, first, last - first};
    const double best = search.run();
    return search.escaped ? -std::numeric_limits<double>::infinity() : best;
}

double maximise(const Family& family, int first, int last, double spread, Objective objective, double* theta) {
    Nest nest{family, objective, spread > 0 && std::isfinite(spread) ? spread : 1.0, last, {}, theta};
    for (int k = 0; k < kMaxParams; ++k) nest.origin[k] = theta[k];
    const double best = nest.level(first);
    return nest.escaped ? -std::numeric_limits<double>::infinity() : best;
}

}  // namespace kvz
