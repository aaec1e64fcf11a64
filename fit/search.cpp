// Nested Brent searches. Each parameter moves along its own axis from its
// starting value (by units of the data's spread, by factors, or by odds), in a
// bracket that follows the best point when it lands on an edge.
#include <boost/math/tools/minima.hpp>
#include <cmath>
#include <cstdint>
#include <limits>

#include "fit/search.h"

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

double logit(double p) { return std::log(p / (1 - p)); }

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
            case Axis::positive: return origin[j] * std::exp(u);
            case Axis::unit: return 1 / (1 + std::exp(-(logit(origin[j]) + u)));
        }
        return origin[j];
    }

    // The best objective over parameters j..last-1, theta left at that point.
    double level(int j) {
        if (j == last) {
            const double v = objective(theta);
            return std::isnan(v) ? -std::numeric_limits<double>::infinity() : v;
        }
        double best = -std::numeric_limits<double>::infinity();
        double best_theta[kMaxParams];
        for (int k = 0; k < kMaxParams; ++k) best_theta[k] = theta[k];
        const double width = kHalfWidth[static_cast<int>(family.param[j].axis)];
        double centre = 0;
        for (int move = 0; move <= kMaxMoves; ++move) {
            auto negative = [&](double u) {
                theta[j] = value(j, u);
                const double v = level(j + 1);
                if (v > best) {
                    best = v;
                    for (int k = 0; k < kMaxParams; ++k) best_theta[k] = theta[k];
                }
                return std::isfinite(v) ? -v : kWorst;
            };
            std::uintmax_t iterations = kMaxIterations;
            const double u = boost::math::tools::brent_find_minima(negative, centre - width, centre + width,
                                                                   kToleranceBits, iterations).first;
            if (std::fabs(u - centre) < kEdgeShare * width) break;
            centre = u;
        }
        for (int k = 0; k < kMaxParams; ++k) theta[k] = best_theta[k];
        return best;
    }
};

}  // namespace

double maximise(const Family& family, int first, int last, double spread, Objective objective, double* theta) {
    Nest nest{family, objective, spread > 0 && std::isfinite(spread) ? spread : 1.0, last, {}, theta};
    for (int k = 0; k < kMaxParams; ++k) nest.origin[k] = theta[k];
    return nest.level(first);
}

}  // namespace kvz
