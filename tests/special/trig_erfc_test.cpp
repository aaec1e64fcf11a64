// sin, tan and atan: special values, and arguments where the reduction or
// the rounding is delicate, pinned to their correctly rounded results
// (computed with 2000-bit arithmetic).
#include <cmath>
#include <cstddef>
#include <iterator>
#include <limits>

#include <gtest/gtest.h>

#include "special/elementary.h"

namespace {

using kvz::elem::atan;
using kvz::elem::sin;
using kvz::elem::tan;

struct Pin {
    double x;
    double expected;
};

// Multiples of pi/2 (the result is the reduction error), the pi/4 switch
// to reduction, both sides of the k/64 table steps, both sides of 2^20
// where the reduction changes method, and huge arguments including the
// double closest to a multiple of pi/2.
constexpr Pin kSinPins[] = {
    {0x1.921fb54442d18p+0, 0x1.0000000000000p+0},
    {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53},
    {0x1.921fb54442d18p+2, -0x1.1a62633145c07p-52},
    {0x1.921fb54442d18p-1, 0x1.6a09e667f3bccp-1},
    {0x1.9200000000000p-1, 0x1.69f379f0044d7p-1},
    {0x1.0000000000000p-27, 0x1.0000000000000p-27},
    {0x1.8000000000000p-6, 0x1.7ff7001033255p-6},
    {0x1.9000000000000p-1, 0x1.6888a4e134b2fp-1},
    {0x1.0000000000000p+1, 0x1.d18f6ead1b446p-1},
    {0x1.0000000000000p+2, -0x1.837b9dddc1eaep-1},
    {0x1.86a0000000000p+16, 0x1.24daa9c527e96p-5},
    {0x1.fffffffffffffp+19, 0x1.526ccb2de52a8p-2},
    {0x1.0000000000000p+20, 0x1.526ccb2fc8656p-2},
    {0x1.0000000000001p+20, 0x1.526ccb338edb1p-2},
    {0x1.0f0cf064dd592p+73, -0x1.b453ab76bf397p-1},
    {0x1.6ac5b262ca1ffp+849, 0x1.0000000000000p+0},
    {0x1.fffffffffffffp+1023, 0x1.452fc98b34e97p-8},
    {0x1.550f7dca70000p+51, 0x1.77f46d55870efp-5},
    {-0x1.6300000000000p+8, 0x1.f9bd0307d1de3p-16},
};

constexpr Pin kTanPins[] = {
    {0x1.921fb54442d18p+0, 0x1.d02967c31cdb5p+53},
    {0x1.921fb54442d18p+1, -0x1.1a62633145c07p-53},
    {0x1.921fb54442d18p+2, -0x1.1a62633145c07p-52},
    {0x1.921fb54442d18p-1, 0x1.fffffffffffffp-1},
    {0x1.9200000000000p-1, 0x1.ffc099648e404p-1},
    {0x1.0000000000000p-27, 0x1.0000000000000p-27},
    {0x1.8000000000000p-6, 0x1.8012010341f4fp-6},
    {0x1.9000000000000p-1, 0x1.fbc511df5917fp-1},
    {0x1.0000000000000p+1, -0x1.17af62e0950f8p+1},
    {0x1.0000000000000p+2, 0x1.2866f9be4de13p+0},
    {0x1.86a0000000000p+16, -0x1.250a9d503313dp-5},
    {0x1.fffffffffffffp+19, 0x1.6692e575533f1p-2},
    {0x1.0000000000000p+20, 0x1.6692e5779206fp-2},
    {0x1.0000000000001p+20, 0x1.6692e57c0f96cp-2},
    {0x1.0f0cf064dd592p+73, -0x1.a0f79c1b6b257p+0},
    {0x1.6ac5b262ca1ffp+849, -0x1.d9ba9a7975636p+60},
    {0x1.fffffffffffffp+1023, -0x1.4530cfe729484p-8},
    {0x1.550f7dca70000p+51, 0x1.7859f0c7dbc4ep-5},
    {-0x1.6300000000000p+8, -0x1.f9bd030bacc16p-16},
};

// Both sides of the i/64 table steps and of 1 (where 1/x takes over),
// the 2^60 switch to pi/2 - 1/x, and huge arguments.
constexpr Pin kAtanPins[] = {
    {0x1.0000000000000p-27, 0x1.0000000000000p-27},
    {0x1.8000000000000p-8, 0x1.7ffee00184ca6p-8},
    {0x1.0400000000000p-6, 0x1.03fa69e0a67d7p-6},
    {0x1.0000000000000p-1, 0x1.dac670561bb4fp-2},
    {0x1.fffffffffffffp-1, 0x1.921fb54442d18p-1},
    {0x1.0000000000000p+0, 0x1.921fb54442d18p-1},
    {0x1.0000000000001p+0, 0x1.921fb54442d19p-1},
    {0x1.8000000000000p+0, 0x1.f730bd281f69bp-1},
    {0x1.9000000000000p+6, 0x1.8f905eb2def22p+0},
    {0x1.0000000000000p+60, 0x1.921fb54442d18p+0},
    {0x1.0000000000001p+60, 0x1.921fb54442d18p+0},
    {0x1.7e43c8800759cp+996, 0x1.921fb54442d18p+0},
    {-0x1.8000000000000p+1, -0x1.3fc176b7a8560p+0},
    {0x1.f800000000000p-1, 0x1.8e17aa99cc05ep-1},
    {0x1.c000000000000p-5, 0x1.bf8ddf139c444p-5},
};

// Each function is odd, so -x is checked with every pin.
void expect_pins(double (*f)(double), const Pin* pins, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const Pin& p = pins[i];
        EXPECT_EQ(f(p.x), p.expected) << std::hexfloat << "x = " << p.x;
        EXPECT_EQ(f(-p.x), -p.expected) << std::hexfloat << "x = " << -p.x;
    }
}

TEST(TrigPinned, SinCorrectlyRounded) { expect_pins(sin, kSinPins, std::size(kSinPins)); }
TEST(TrigPinned, TanCorrectlyRounded) { expect_pins(tan, kTanPins, std::size(kTanPins)); }
TEST(TrigPinned, AtanCorrectlyRounded) { expect_pins(atan, kAtanPins, std::size(kAtanPins)); }

TEST(TrigSpecial, ZerosInfinitiesAndNaN) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double tiny = std::numeric_limits<double>::denorm_min();
    for (double (*f)(double) : {sin, tan, atan}) {
        EXPECT_EQ(f(0.0), 0.0);
        EXPECT_FALSE(std::signbit(f(0.0)));
        EXPECT_TRUE(std::signbit(f(-0.0)));
        EXPECT_EQ(f(tiny), tiny);
        EXPECT_EQ(f(-tiny), -tiny);
        EXPECT_TRUE(std::isnan(f(nan)));
    }
    for (double (*f)(double) : {sin, tan}) {
        EXPECT_TRUE(std::isnan(f(inf)));
        EXPECT_TRUE(std::isnan(f(-inf)));
    }
    EXPECT_EQ(atan(inf), 0x1.921fb54442d18p+0);
    EXPECT_EQ(atan(-inf), -0x1.921fb54442d18p+0);
}

}  // namespace
