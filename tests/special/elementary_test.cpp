// The library's exponential and logarithm: special values as C99 Annex F
// gives them, and arguments whose correctly rounded results are pinned
// (computed at 300 bits): near overflow and underflow, subnormal results,
// arguments next to 1, and the cancellations in expm1 and log1p.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "special/elementary.h"

namespace {

using Fn = double (*)(double);
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Case {
    const char* name;
    Fn f;
    double x;
    double want;
};

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

void expect_cases(const Case* cases, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const Case& c = cases[i];
        const double got = c.f(c.x);
        if (std::isnan(c.want)) {
            EXPECT_TRUE(std::isnan(got)) << c.name << "(" << std::hexfloat << c.x << ")";
        } else {
            EXPECT_EQ(bits(got), bits(c.want))
                << c.name << "(" << std::hexfloat << c.x << ") = " << got << ", want " << c.want;
        }
    }
}

TEST(Elementary, SpecialValuesOfExpAndLog) {
    const Case cases[] = {
        {"exp", kvz::elem::exp, 0.0, 1.0},          {"exp", kvz::elem::exp, -0.0, 1.0},
        {"exp", kvz::elem::exp, kInf, kInf},        {"exp", kvz::elem::exp, -kInf, 0.0},
        {"exp", kvz::elem::exp, kNaN, kNaN},        {"exp", kvz::elem::exp, 710.0, kInf},
        {"exp", kvz::elem::exp, -746.0, 0.0},       {"exp", kvz::elem::exp, 1e300, kInf},
        {"expm1", kvz::elem::expm1, 0.0, 0.0},      {"expm1", kvz::elem::expm1, -0.0, -0.0},
        {"expm1", kvz::elem::expm1, kInf, kInf},    {"expm1", kvz::elem::expm1, -kInf, -1.0},
        {"expm1", kvz::elem::expm1, kNaN, kNaN},    {"expm1", kvz::elem::expm1, -50.0, -1.0},
        {"expm1", kvz::elem::expm1, 0x1p-1074, 0x1p-1074},
        {"log", kvz::elem::log, 1.0, 0.0},          {"log", kvz::elem::log, 0.0, -kInf},
        {"log", kvz::elem::log, -0.0, -kInf},       {"log", kvz::elem::log, -1.0, kNaN},
        {"log", kvz::elem::log, -kInf, kNaN},       {"log", kvz::elem::log, kInf, kInf},
        {"log", kvz::elem::log, kNaN, kNaN},
        {"log1p", kvz::elem::log1p, 0.0, 0.0},      {"log1p", kvz::elem::log1p, -0.0, -0.0},
        {"log1p", kvz::elem::log1p, -1.0, -kInf},   {"log1p", kvz::elem::log1p, -1.5, kNaN},
        {"log1p", kvz::elem::log1p, kInf, kInf},    {"log1p", kvz::elem::log1p, -kInf, kNaN},
        {"log1p", kvz::elem::log1p, kNaN, kNaN},    {"log1p", kvz::elem::log1p, -0x1p-1074, -0x1p-1074},
    };
    expect_cases(cases, std::size(cases));
}

TEST(Elementary, PinnedCorrectlyRoundedResults) {
    const Case cases[] = {
        // exp: largest finite result, subnormal and first normal results
        {"exp", kvz::elem::exp, 0x1.62e42fefa39efp+9, 0x1.fffffffffff2ap+1023},
        {"exp", kvz::elem::exp, -0x1.74910d52d3051p+9, 0x0.0000000000001p-1022},
        {"exp", kvz::elem::exp, -0x1.6232bdd7abcd2p+9, 0x1.000000000007cp-1022},
        {"exp", kvz::elem::exp, -0x1.6p+9, 0x1.44a3824e5285fp-1016},
        {"exp", kvz::elem::exp, 0x1p-30, 0x1.0000000400000p+0},
        {"exp", kvz::elem::exp, -0x1.4p-2, 0x1.769652df22f7ep-1},
        {"exp", kvz::elem::exp, 1.0, 0x1.5bf0a8b145769p+1},
        // expm1: inside and outside the table step around 0, large results
        {"expm1", kvz::elem::expm1, -0x1p-20, -0x1.fffff00000555p-21},
        {"expm1", kvz::elem::expm1, 0x1p-40, 0x1.0000000000800p-40},
        {"expm1", kvz::elem::expm1, 0x1.8p-3, 0x1.a65c0b85ac1a9p-3},
        {"expm1", kvz::elem::expm1, -0x1.d4p-2, -0x1.77a4c286a2e6fp-2},
        {"expm1", kvz::elem::expm1, 0x1.8p+5, 0x1.304d6aeca254bp+69},
        {"expm1", kvz::elem::expm1, 0x1.62e42fefa39efp+9, 0x1.fffffffffff2ap+1023},
        // log: both neighbours of 1, smallest subnormal, largest double, √2
        {"log", kvz::elem::log, 0x1.fffffffffffffp-1, -0x1p-53},
        {"log", kvz::elem::log, 0x1.0000000000001p+0, 0x1.fffffffffffffp-53},
        {"log", kvz::elem::log, 0x0.0000000000001p-1022, -0x1.74385446d71c3p+9},
        {"log", kvz::elem::log, 0x1.fffffffffffffp+1023, 0x1.62e42fefa39efp+9},
        {"log", kvz::elem::log, 16.0, 0x1.62e42fefa39efp+1},
        {"log", kvz::elem::log, 0x1.6a09e667f3bcdp+0, 0x1.62e42fefa39f0p-2},
        // log1p: next to -1, tiny of both signs, huge (1 + x rounds to x)
        {"log1p", kvz::elem::log1p, -0x1.fffffffffffffp-1, -0x1.25e4f7b2737fap+5},
        {"log1p", kvz::elem::log1p, 0x1p-30, 0x1.fffffffc00000p-31},
        {"log1p", kvz::elem::log1p, -0x1p-30, -0x1.0000000200000p-30},
        {"log1p", kvz::elem::log1p, 0x1.fffffffffffffp+1023, 0x1.62e42fefa39efp+9},
        {"log1p", kvz::elem::log1p, 0x1.8p+60, 0x1.4ff4516e41581p+5},
        {"log1p", kvz::elem::log1p, 1.0, 0x1.62e42fefa39efp-1},
    };
    expect_cases(cases, std::size(cases));
}

}  // namespace
