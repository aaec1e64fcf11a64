#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sampling/sampling.h"

namespace kvz {
namespace {

double cubic(double x) { return ((2.0 * x - 0.5) * x - 1.0) * x + 0.25; }

std::vector<double> tenths() {
    std::vector<double> a;
    for (int i = 0; i <= 10; ++i) a.push_back(i * 0.1);
    return a;
}

TEST(TableLocate, BlockStartsAtEntryBelowUAndIsClampedToCountMinusFive) {
    const std::vector<double> a = tenths();  // n = 11, clamp at 6
    struct Case {
        double u;
        int k;
    };
    const Case cases[] = {
        {0.0, 0}, {0.05, 0}, {0.1, 1}, {0.35, 3}, {0.55, 5},
        {0.65, 6}, {0.75, 6}, {0.95, 6}, {1.0, 6},
    };
    for (const auto& c : cases) EXPECT_EQ(table_locate(a.data(), 11, c.u), c.k) << c.u;
}

TEST(TableLocate, UHittingSecondEntryExactlySelectsOneDespiteRepeats) {
    const double a[] = {0.0, 0.3, 0.3, 0.3, 0.7, 0.9, 1.0};
    EXPECT_EQ(table_locate(a, 7, 0.3), 1);
    EXPECT_EQ(table_locate(a, 7, 0.29), 0);
    EXPECT_EQ(table_locate(a, 7, 0.0), 0);
}

TEST(TableInterpolate, ReproducesACubicWhereverTheBlockLies) {
    // Uneven abscissae; the ordinates are a cubic of them, so the four-point
    // interpolant is that cubic (closed form), up to rounding.
    std::vector<double> a, b;
    for (int i = 0; i < 40; ++i) {
        const double x = i * 0.025 + 0.0004 * i * i;
        a.push_back(x);
        b.push_back(cubic(x));
    }
    const int n = static_cast<int>(a.size());
    for (double u : {0.0, 0.013, 0.025, 0.3337, 0.71, 1.5, a[n - 2] + 0.01, a[n - 1]}) {
        EXPECT_NEAR(table_interpolate(a.data(), b.data(), n, u), cubic(u), 1e-12) << u;
    }
}

TEST(TableInterpolate, UpperEndIsExtrapolatedWithoutTheLastEntry) {
    const std::vector<double> a = tenths();
    std::vector<double> b;
    for (double x : a) b.push_back(cubic(x));
    b[10] = 1e6;  // entry 10 never takes part
    EXPECT_NEAR(table_interpolate(a.data(), b.data(), 11, 0.95), cubic(0.95), 1e-12);
}

TEST(TableInterpolate, FlatStretchGivesFiniteValueInsideIt) {
    struct Case {
        std::vector<double> a;
        double u, lo, hi;
    };
    const Case cases[] = {
        // u on the flat stretch itself: any x of the stretch has probability u.
        {{0.0, 0.2, 0.5, 0.5, 0.5, 0.8, 1.0}, 0.5, 2.0, 4.0},
        // u next to a stretch: between the neighbouring entries around it.
        {{0.0, 0.2, 0.5, 0.5, 0.5, 0.8, 1.0}, 0.35, 1.0, 2.0},
        {{0.0, 0.2, 0.5, 0.5, 0.5, 0.8, 1.0}, 0.65, 4.0, 5.0},
        // a cumulative table that has reached 1 at several neighbouring points
        {{0.5, 0.9, 0.99, 0.999, 1.0, 1.0, 1.0}, 0.9995, 3.0, 4.0},
    };
    for (const auto& c : cases) {
        std::vector<double> b;
        for (size_t i = 0; i < c.a.size(); ++i) b.push_back(static_cast<double>(i));
        const double y = table_interpolate(c.a.data(), b.data(), static_cast<int>(c.a.size()), c.u);
        EXPECT_TRUE(std::isfinite(y)) << c.u;
        EXPECT_GE(y, c.lo) << c.u;
        EXPECT_LE(y, c.hi) << c.u;
    }
}

}  // namespace
}  // namespace kvz
