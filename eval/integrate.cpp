// Integral of a slot's density by the trapezoid rule, halving the step until
// two successive sums agree, and the rule that says when they do.
#include <cmath>

#include "eval/eval.h"

namespace kvz {

namespace {
// Levels after which the relative test applies; before it only an exact repeat stops.
constexpr int kRelativeTestFromLevel = 5;
constexpr double kRelativeTolerance = 1e-6;
}  // namespace

bool halving_settled(int level, double sum, double previous) {
    if (level > kRelativeTestFromLevel) return std::fabs(sum - previous) / std::fabs(sum + previous) < kRelativeTolerance;
    return level > 1 && sum == previous;
}

double integrate_density(const DistSlot& s, double u, double v) {
    if (u == v) return 0;
    double h = v - u;
    double sum = (density_across_cut(s, u) + density_across_cut(s, v)) * h / 2;
    return halved_until_settled([&](int n) {
        // Back to the plain sum of densities, then add the new midpoints.
        sum = sum / h;
        h = h / 2;
        double x = u + h;
        for (int i = 0; i < n; ++i) {
            sum = sum + density_across_cut(s, x);
            x = x + 2 * h;
        }
        sum = sum * h;
        return sum;
    });
}

}  // namespace kvz
